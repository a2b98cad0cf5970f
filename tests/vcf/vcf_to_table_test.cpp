// The built vcf_to_table on small files: output, standard output and exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <sys/stat.h>

#include "test_util.hpp"

namespace {

using wes::test::data_path;
using wes::test::read_file;
using wes::test::run_program;
using wes::test::ScratchDir;
using wes::test::write_file;

std::string line(const std::string& chrom, const std::string& pos, const std::string& ref, const std::string& alt,
                 const std::string& info, const std::string& sample) {
    return chrom + "\t" + pos + "\t.\t" + ref + "\t" + alt + "\t50\tPASS\t" + info + "\tGT:AD:DP:GQ\t" + sample + "\n";
}

}  // namespace

TEST(VcfToTable, SampleFileGivesTheExpectedTable) {
    ScratchDir dir;
    auto r = run_program("vcf_to_table", {data_path("vcf/sample.vcf"), dir.path("out.tsv")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(read_file(dir.path("out.tsv")), read_file(data_path("vcf/sample.expected.tsv")));
}

TEST(VcfToTable, GzipAndBgzipInputGiveTheSameRows) {
    ScratchDir dir;
    std::string text = read_file(data_path("vcf/sample.vcf"));
    std::string want = read_file(data_path("vcf/sample.expected.tsv"));
    wes::test::write_gzip(dir.path("one.vcf.gz"), text);
    wes::test::write_gzip(dir.path("many.vcf.gz"), text, 1000);
    for (const char* name : {"one.vcf.gz", "many.vcf.gz"}) {
        auto r = run_program("vcf_to_table", {dir.path(name), dir.path("out.tsv")});
        EXPECT_EQ(r.status, 0) << name;
        EXPECT_EQ(read_file(dir.path("out.tsv")), want) << name;
    }
}

TEST(VcfToTable, FullRowsAndFractions) {
    ScratchDir dir;
    write_file(dir.path("in.vcf"),
               line("chr1", "1000", "A", "G", "AC=1;MQ=60.00;QD=2", "0/1:12,8:20:99") +
                   line("chr1", "1001", "A", "G", "AC=1;MQ=58.25;QD=2", "0/1:10,5:15:99") +
                   line("chr1", "1002", "A", "G", "AC=1;MQ=1;QD=2", "0/1:157,3:160:99") +
                   line("chr1", "1003", "A", "G", "AC=1;MQ=1;QD=2", "./.:0,0:0:0") +
                   line("chr1", "1004", "A", "G", "AC=1;MQ=1;QD=2", "0/1:0,5:0:0"));
    auto r = run_program("vcf_to_table", {dir.path("in.vcf"), dir.path("out.tsv")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(dir.path("out.tsv")),
              "chr1\t1000\t1000\tA\tG\t.\t60.0000\t8/20=0.4000\n"
              "chr1\t1001\t1001\tA\tG\t.\t58.2500\t5/15=0.3333\n"
              "chr1\t1002\t1002\tA\tG\t.\t1.0000\t3/160=0.0188\n"
              "chr1\t1003\t1003\tA\tG\t.\t1.0000\t0/0=-nan\n"
              "chr1\t1004\t1004\tA\tG\t.\t1.0000\t5/0=inf\n");
}

TEST(VcfToTable, NoValueCrossesIntoTheNextLine) {
    ScratchDir dir;
    write_file(dir.path("in.vcf"),
               line("chr1", "100", "A", "G", "X;MQ=40;Y", "0/1:1,2:30:9") +
                   line("chr1", ".", "A", "G", "X;MQ=41;Y", "0/1:1,2:30:9") +   // POS does not convert
                   line("chr1", "102", "A", "G", "X;MQ=.;Y", "0/1:1,2:.:9") +   // MQ and DP do not
                   line("chr1", "103", "C", "T,G,A", "X;MQ=42;Y", "0/1:1,4:30:9") +  // one AD for three ALT
                   line("chr1", "104", "C", "T", "X;MQ=42;Y", "0/1:1,4,5,6:30:9"));  // three AD for one ALT
    auto r = run_program("vcf_to_table", {dir.path("in.vcf"), dir.path("out.tsv")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(dir.path("out.tsv")),
              "chr1\t100\t100\tA\tG\t.\t40.0000\t2/30=0.0667\n"
              "chr1\t102\t102\tA\tG\t.\t0.0000\t2/0=inf\n"
              "chr1\t103\t103\tC\tT\t.\t42.0000\t4/30=0.1333\n"
              "chr1\t104\t104\tC\tT\t.\t42.0000\t4/30=0.1333\n");
}

TEST(VcfToTable, LongLinesAndTextsAreKeptWhole) {
    ScratchDir dir;
    std::string chrom = "chr" + std::string(40, 'U');
    std::string info = std::string(3000, 'K') + ";MQ=12.5;END";
    std::string alts;
    std::string ad = "1";
    for (int i = 0; i < 12; ++i) {
        alts += (i ? "," : "") + std::string("G") + std::string(static_cast<std::size_t>(i), 'T');
        ad += "," + std::to_string(i);
    }
    write_file(dir.path("in.vcf"), line(chrom, "5", "A", alts, info, "0/1:" + ad + ":66:9"));
    auto r = run_program("vcf_to_table", {dir.path("in.vcf"), dir.path("out.tsv")});
    EXPECT_EQ(r.status, 0);
    std::string out = read_file(dir.path("out.tsv"));
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 12);
    EXPECT_EQ(out.rfind(chrom + "\t5\t5\tA\tG\t.\t12.5000\t0/66=0.0000\n", 0), 0u);
    EXPECT_NE(out.find(chrom + "\t5\t6\t-\t" + std::string(11, 'T') + "\t.\t12.5000\t11/66=0.1667\n"), std::string::npos);
}

TEST(VcfToTable, FilesThatDoNotOpen) {
    ScratchDir dir;
    write_file(dir.path("out.tsv"), "keep me\n");
    auto r = run_program("vcf_to_table", {dir.path("missing.vcf"), dir.path("out.tsv")});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "File open filed!\n");
    EXPECT_EQ(read_file(dir.path("out.tsv")), "keep me\n");

    r = run_program("vcf_to_table", {data_path("vcf/sample.vcf"), dir.path("no/such/dir/out.tsv")});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "File open filed!\n");

    // A file without data lines leaves an empty table.
    write_file(dir.path("header.vcf"), "##fileformat=VCFv4.2\n#CHROM\tPOS\n");
    r = run_program("vcf_to_table", {dir.path("header.vcf"), dir.path("out.tsv")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(dir.path("out.tsv")), "");
}

TEST(VcfToTable, ReadAndWriteFailuresAreNotSuccess) {
    ScratchDir dir;
    std::string text;
    for (int i = 0; i < 2000; ++i) text += line("chr1", std::to_string(i + 1), "A", "G", "X;MQ=1;Y", "0/1:1,2:3:4");
    wes::test::write_gzip(dir.path("in.vcf.gz"), text);
    std::string gz = read_file(dir.path("in.vcf.gz"));
    write_file(dir.path("cut.vcf.gz"), gz.substr(0, gz.size() / 2));
    auto r = run_program("vcf_to_table", {dir.path("cut.vcf.gz"), dir.path("out.tsv")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out.rfind("Error: cannot read " + dir.path("cut.vcf.gz") + ": ", 0), 0u) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);

    // A directory is not a file that opens.
    r = run_program("vcf_to_table", {dir.dir(), dir.path("out.tsv")});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "File open filed!\n");

    struct stat st;
    if (::stat("/dev/full", &st) == 0) {
        r = run_program("vcf_to_table", {dir.path("in.vcf.gz"), "/dev/full"});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out.rfind("Error: cannot write /dev/full: ", 0), 0u) << r.out;
    }
}

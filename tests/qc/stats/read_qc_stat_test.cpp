#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <vector>

#include "test_util.hpp"

namespace {

using wes::test::data_path;
using wes::test::file_exists;
using wes::test::read_file;
using wes::test::run_program;
using wes::test::ScratchDir;
using wes::test::write_file;
using wes::test::write_gzip;

const char* const k_suffixes[] = {".quality", ".GC_content", ".totstat"};

int count_of(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) ++n;
    return n;
}

std::string fastq(const std::vector<std::pair<std::string, std::string>>& reads) {
    std::string out;
    int i = 0;
    for (const auto& [seq, qual] : reads) out += "@r" + std::to_string(i++) + "\n" + seq + "\n+\n" + qual + "\n";
    return out;
}

// n records with a mix of bases and scores.
std::string sample(int n, int salt) {
    std::vector<std::pair<std::string, std::string>> reads;
    for (int i = 0; i < n; ++i) {
        std::string seq, qual;
        for (int k = 0; k < 30 + (i * 7 + salt) % 20; ++k) {
            seq += "ACGTN"[(i * 31 + k * 7 + salt) % 5];
            qual += static_cast<char>('!' + (i * 13 + k * 3 + salt) % 42);
        }
        reads.emplace_back(seq, qual);
    }
    return fastq(reads);
}

class QcCli : public ::testing::Test {
protected:
    ScratchDir dir;
    std::string path(const std::string& n) { return dir.path(n); }
    std::string reports(const std::string& out) {
        std::string all;
        for (const char* s : k_suffixes) all += read_file(out + s);
        return all;
    }
    bool any_report(const std::string& out) {
        for (const char* s : k_suffixes)
            if (file_exists(out + s)) return true;
        return file_exists(out + ".read_stats");
    }
};

}  // namespace

TEST_F(QcCli, SingleRecordExampleGivesTheKnownReports) {
    auto r = run_program("read_qc_stat", {data_path("qc/single_1.fq"), data_path("qc/single_2.fq"), path("o")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(read_file(path("o.totstat")),
              "read1_len\t4\nread2_len\t4\npair_number\t2\nread1base_number\t4\nread2base_number\t4\n"
              "base_number\t8\nGC_number\t5\nGC_content\t0.625000\nQ_20\t0.375000\nQ_30\t0.250000\nQ_tot\t8\n");
    for (const char* s : {".quality", ".GC_content"})
        EXPECT_EQ(read_file(path("o") + s), read_file(data_path("qc/single") + s)) << s;
}

TEST_F(QcCli, QualityErrorsEndTheRunWithoutReports) {
    // A quality line one byte short, in read 1 and then in read 2, in the second pair.
    write_file(path("g_1.fq"), sample(5, 1));
    write_file(path("g_2.fq"), sample(5, 2));
    write_file(path("s_1.fq"), fastq({{"ACGT", "IIII"}, {"ACGTA", "IIII"}}));
    write_file(path("s_2.fq"), fastq({{"ACGT", "IIII"}, {"ACGTA", "IIIII"}}));
    auto r = run_program("read_qc_stat", {path("g_1.fq"), path("g_2.fq"), path("s_1.fq"), path("s_2.fq"), path("o")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "MQ error !\nACGTA\n\nIIII\n\n4\n\n\n-23\n");
    EXPECT_FALSE(any_report(path("o")));

    write_file(path("s_1.fq"), fastq({{"ACGT", "IIII"}, {"ACGTA", "IIIII"}}));
    write_file(path("s_2.fq"), fastq({{"ACGT", "IIII"}, {"ACGTA", "II I"}}));
    r = run_program("read_qc_stat", {path("s_1.fq"), path("s_2.fq"), path("o")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "MQ error !\t:-1\n");
    EXPECT_FALSE(any_report(path("o")));
}

TEST_F(QcCli, ThreePairsAddUpAndTopScoresShareColumn40) {
    std::vector<std::string> args;
    for (int p = 0; p < 3; ++p) {
        std::string a = path("p" + std::to_string(p) + "_1.fq"), b = path("p" + std::to_string(p) + "_2.fq");
        std::string q40 = p == 0 ? "J" : p == 1 ? "~" : "I";
        std::vector<std::pair<std::string, std::string>> reads(5, {"A", q40});
        write_file(a, fastq(reads));
        write_file(b, fastq(reads));
        args.push_back(a);
        args.push_back(b);
    }
    args.push_back(path("o"));
    auto r = run_program("read_qc_stat", args);
    EXPECT_EQ(r.status, 0);
    std::string tot = read_file(path("o.totstat"));
    EXPECT_NE(tot.find("\npair_number\t30\n"), std::string::npos);
    EXPECT_NE(tot.find("\nQ_30\t1.000000\n"), std::string::npos);
    std::string q = read_file(path("o.quality"));
    std::size_t row1 = q.find("\n1\t") + 1;
    std::string line = q.substr(row1, q.find('\n', row1) - row1);
    EXPECT_EQ(line.substr(line.size() - 14), "\t0.0000\t1.0000");
}

TEST_F(QcCli, AnUnopenablePairIsSkippedAndFailsTheRun) {
    write_file(path("a_1.fq"), sample(7, 1));
    write_file(path("a_2.fq"), sample(7, 2));
    write_file(path("b_1.fq"), sample(9, 3));
    write_file(path("b_2.fq"), sample(9, 4));
    auto good = run_program("read_qc_stat", {path("a_1.fq"), path("a_2.fq"), path("b_1.fq"), path("b_2.fq"), path("g")});
    ASSERT_EQ(good.status, 0);
    auto r = run_program("read_qc_stat", {path("a_1.fq"), path("a_2.fq"), path("a_1.fq"), path("nope.fq"),
                                          path("b_1.fq"), path("b_2.fq"), path("o")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "File open error!\n");
    EXPECT_EQ(reports(path("o")), reports(path("g")));
}

TEST_F(QcCli, GzipAndPlainFilesGiveIdenticalReports) {
    std::string one = sample(400, 5), two = sample(400, 6);
    write_file(path("a_1.fq"), one);
    write_file(path("a_2.fq"), two);
    write_gzip(path("a_1.fq.gz"), one);
    write_gzip(path("a_2.fq.gz"), two, 1000);  // many members, as bgzip writes
    auto plain = run_program("read_qc_stat", {path("a_1.fq"), path("a_2.fq"), path("p")});
    auto gz = run_program("read_qc_stat", {path("a_1.fq.gz"), path("a_2.fq.gz"), path("z")});
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(gz.status, 0);
    EXPECT_EQ(reports(path("p")), reports(path("z")));
    EXPECT_NE(read_file(path("z.totstat")).find("\npair_number\t800\n"), std::string::npos);
}

TEST_F(QcCli, UnevenAndTruncatedPairsCountTheirCompleteRecordsAndFail) {
    write_file(path("r_1.fq"), sample(200, 1));
    write_file(path("r_2.fq"), sample(200, 2));
    write_file(path("s_1.fq"), sample(150, 1));
    write_file(path("s_2.fq"), sample(150, 2));
    auto ref = run_program("read_qc_stat", {path("s_1.fq"), path("s_2.fq"), path("ref")});
    ASSERT_EQ(ref.status, 0);

    // Read 2 holds more records: never filled from the previous record, never ignored.
    auto r = run_program("read_qc_stat", {path("s_1.fq"), path("r_2.fq"), path("o")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "Error: " + path("s_1.fq") + " and " + path("r_2.fq") +
                         " hold different numbers of records (150 complete record pairs counted)\n");
    EXPECT_EQ(reports(path("o")), reports(path("ref")));

    // A gzip file cut short; the next pair is still read.
    write_gzip(path("t_2.fq.gz"), sample(200, 2));
    std::string gz = read_file(path("t_2.fq.gz"));
    write_file(path("t_2.fq.gz"), gz.substr(0, gz.size() - 8));  // its trailer lost
    r = run_program("read_qc_stat", {path("r_1.fq"), path("t_2.fq.gz"), path("s_1.fq"), path("s_2.fq"), path("o")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out.rfind("Error: cannot read " + path("t_2.fq.gz") + ": ", 0), 0u) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
    EXPECT_TRUE(file_exists(path("o.totstat")));
}

TEST_F(QcCli, LongReadsFillCycle160AndAreNoted) {
    // The per-cycle reports stop at cycle 160; the per-read figures take the whole read,
    // lengths beyond 1,000 together, and qc_report reads them back.
    write_file(path("l_1.fq"), fastq({{std::string(160, 'A'), std::string(160, 'I')},
                                      {std::string(175, 'A'), std::string(175, 'I')},
                                      {std::string(1000, 'A') + "AGATCGGAAGAG", std::string(1012, 'I')}}));
    write_file(path("l_2.fq"), fastq({{std::string(160, 'G'), std::string(160, '5')},
                                      {std::string(160, 'G'), std::string(160, '5')},
                                      {std::string(160, 'G'), std::string(160, '5')}}));
    auto r = run_program("read_qc_stat", {path("l_1.fq"), path("l_2.fq"), path("o")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "2 reads were longer than 160 bases; their bases after cycle 160 were not counted\n");
    std::string gc = read_file(path("o.GC_content"));
    EXPECT_NE(gc.find("\n160\t1.0000\t0.0000\t0.0000\t0.0000\t0.0000\n"), std::string::npos);
    EXPECT_NE(gc.find("\n320\t0.0000\t0.0000\t0.0000\t1.0000\t0.0000\n"), std::string::npos);
    EXPECT_NE(read_file(path("o.totstat")).find("read1_len\t160\nread2_len\t160\n"), std::string::npos);
    const std::string stats = read_file(path("o.read_stats"));
    for (const char* line : {"\nSN\tmax_length_1\t1012\n", "\nSN\tadapter_reads_1\t1\n", "\nLEN\t1\t175\t1\n",
                             "\nLEN\t1\t>1000\t1\n", "\nADAPTER\t1\t1000\t0\t0\t0\n", "\nADAPTER\t2\t1\t0\t0\t0\n"})
        EXPECT_NE(stats.find(line), std::string::npos) << line;
    EXPECT_EQ(count_of(stats, "\nADAPTER\t1\t"), 1000);  // the adapter at cycle 1001 is in adapter_reads_1 alone
    auto page = run_program("qc_report", {path("o")});
    EXPECT_EQ(page.status, 0) << page.out;
    EXPECT_NE(read_file(path("o.html")).find("1 reads longer than 1,000 bases are not drawn."), std::string::npos);
}

TEST_F(QcCli, AFailedReportWriteIsNamedAndFails) {
    write_file(path("a_1.fq"), sample(3, 1));
    write_file(path("a_2.fq"), sample(3, 2));
    auto r = run_program("read_qc_stat", {path("a_1.fq"), path("a_2.fq"), path("none/o")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "Error: cannot write " + path("none/o.quality") + ": No such file or directory\n");

    // A full disk: the report is opened but cannot be written.
    ASSERT_EQ(::symlink("/dev/full", path("f.GC_content").c_str()), 0);
    r = run_program("read_qc_stat", {path("a_1.fq"), path("a_2.fq"), path("f")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "Error: cannot write " + path("f.GC_content") + ": No space left on device\n");
    EXPECT_TRUE(file_exists(path("f.quality")));
    EXPECT_FALSE(file_exists(path("f.totstat")) || file_exists(path("f.read_stats")));

    // The per-read report, written last, fails the run the same way.
    ASSERT_EQ(::symlink("/dev/full", path("g.read_stats").c_str()), 0);
    r = run_program("read_qc_stat", {path("a_1.fq"), path("a_2.fq"), path("g")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "Error: cannot write " + path("g.read_stats") + ": No space left on device\n");
    EXPECT_TRUE(file_exists(path("g.totstat")));
}

TEST_F(QcCli, NamesThatCannotWorkAreRefusedBeforeReading) {
    write_file(path("a_1.fq"), sample(3, 1));
    write_file(path("a_2.fq"), sample(3, 2));
    const std::string twice = "Error: standard input (-) is given for more than one FASTQ file; it can be read only once\n";
    struct Case {
        std::vector<std::string> args;
        std::string said;
    };
    const Case cases[] = {
        {{"-", "-", path("o")}, twice},
        {{"-", path("a_2.fq"), path("a_1.fq"), "-", path("o")}, twice},
        {{path("a_1.fq"), path("a_2.fq"), ""}, "Error: the output name is empty\n"},
        {{path("a_1.fq"), path("a_2.fq"), dir.dir() + "/"}, "Error: the output name " + dir.dir() + "/ names a folder, not a file\n"},
        {{path("a_1.fq"), path("a_2.fq"), dir.dir() + "/.."}, "Error: the output name " + dir.dir() + "/.. names a folder, not a file\n"},
    };
    for (const Case& c : cases) {
        auto r = run_program("read_qc_stat", c.args);
        EXPECT_EQ(r.status, 2) << c.said;
        EXPECT_EQ(r.out, c.said);
        EXPECT_FALSE(any_report(path("o")) || any_report(path(""))) << c.said;
    }
}

TEST_F(QcCli, ReadStatsHoldEachModuleOfAHandMadePair) {
    // Five record pairs: the first three alike; read 1 of three lengths (8, 15, 30), one
    // with the Illumina adapter from cycle 4; read 2 with Nextera from cycle 1.
    const std::string r1_1 = "GGCCAATT", r2_1 = "ACGTACGTACGTACGTACGT";
    const std::string r1_4 = "AAAAGATCGGAAGAG", r2_4 = "CTGTCTCTTATAGGGGGGGGGGGGGGGGGG";
    const std::string r1_5(30, 'T'), r2_5 = "CCCCCCCC";
    auto q = [](const std::string& s) { return std::string(s.size(), '5'); };
    write_file(path("a\tb_1.fq"), fastq({{r1_1, q(r1_1)}, {r1_1, q(r1_1)}, {r1_1, q(r1_1)}, {r1_4, q(r1_4)}, {r1_5, q(r1_5)}}));
    write_file(path("a_2.fq"), fastq({{r2_1, q(r2_1)}, {r2_1, q(r2_1)}, {r2_1, q(r2_1)}, {r2_4, q(r2_4)}, {r2_5, q(r2_5)}}));
    auto r = run_program("read_qc_stat", {path("a\tb_1.fq"), path("a_2.fq"), path("o")});
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string stats = read_file(path("o.read_stats"));
    auto has = [&](const std::string& line) { return stats.find("\n" + line + "\n") != std::string::npos; };
    const std::vector<std::string> lines = {
        "SN\tread_pairs\t5", "SN\tbases_1\t69", "SN\tmin_length_1\t8", "SN\tmax_length_1\t30", "SN\tadapter_reads_1\t1",
        "SN\tadapter_reads_2\t1", "SN\ttracked_sequences\t3", "SN\ttracked_pairs\t5", "SN\tduplicate_share\t0.400000",
        "LEN\t1\t8\t3", "LEN\t1\t15\t1", "LEN\t1\t30\t1", "LEN\t2\t8\t1", "LEN\t2\t20\t3", "QUAL\t1\t20\t5",
        "GC\t1\t50\t3", "GC\t1\t40\t1", "GC\t1\t0\t1", "GC\t2\t100\t1",
        "ADAPTER\t1\t3\t0\t0\t0", "ADAPTER\t1\t4\t1\t0\t0", "ADAPTER\t1\t30\t1\t0\t0", "ADAPTER\t2\t1\t0\t1\t0",
        "DUP\t1\t2\t2\t0.400000", "DUP\t3\t1\t3\t0.600000", "DUP\t10+\t0\t0\t0.000000",
        "OVER\t3\t0.600000\tGGCCAATT\tACGTACGTACGTACGTACGT\t-\t-",
        "INPUT\t1\t1\t" + std::to_string(read_file(path("a\tb_1.fq")).size()) + "\t" , // completed below
    };
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) EXPECT_TRUE(has(lines[i])) << lines[i] << "\n" << stats;
    EXPECT_EQ(stats.rfind("# read_stats format 1\nVERSION\twes-suite " WES_VERSION "\nDATE\t2", 0), 0u) << stats;
    // The input's size and time, and its name with the tab escaped.
    EXPECT_NE(stats.find(lines.back()), std::string::npos) << stats;
    EXPECT_NE(stats.find("Z\t" + dir.dir() + "/a\\tb_1.fq\n"), std::string::npos) << stats;
    EXPECT_EQ(count_of(stats, "\nADAPTER\t"), 60);  // cycles 1-30 of each read
    EXPECT_EQ(count_of(stats, "\nOVER\t"), 1);
}

TEST_F(QcCli, StandardInputIsRecordedWithASizeWhereItIsAFile) {
    // Where standard input is a file (< file) its size and time are taken; from a pipe, "-".
    const std::string fq = sample(3, 1);
    write_file(path("a_1.fq"), fq);
    write_file(path("a_2.fq"), sample(3, 2));
    for (bool pipe : {false, true}) {
        wes::test::Start how{.args = {"-", path("a_2.fq"), path("o")}, .stdin_pipe = pipe, .stdin_file = path("a_1.fq")};
        wes::test::Child c = wes::test::start_path(wes::test::bin_path("read_qc_stat"), how);
        if (pipe) {
            EXPECT_EQ(::write(c.in, fq.data(), fq.size()), static_cast<ssize_t>(fq.size()));
        }
        EXPECT_EQ(c.finish().status, 0);
        const std::string stats = read_file(path("o.read_stats"));
        const std::string size = pipe ? "-\t-" : std::to_string(fq.size()) + "\t2";  // then the year
        EXPECT_NE(stats.find("\nINPUT\t1\t1\t" + size), std::string::npos) << stats;
        EXPECT_NE(stats.find("Z\t" + path("a_2.fq") + "\n"), std::string::npos) << stats;
    }
}

#include <gtest/gtest.h>
#include <string>

#include "test_util.hpp"

namespace {

using wes::test::data_path;
using wes::test::read_file;
using wes::test::run_program;
using wes::test::ScratchDir;
using wes::test::write_file;
using wes::test::write_gzip;

// Runs mark_repeat on table text against repeat text (written plain into dir).
wes::test::RunResult mark(const ScratchDir& dir, const std::string& table, const std::string& ssr) {
    write_file(dir.path("in.txt"), table);
    write_file(dir.path("ssr.bed"), ssr);
    return run_program("mark_repeat", {dir.path("in.txt"), "unused", dir.path("out.txt")},
                       {{"WES_SSR_FILE", dir.path("ssr.bed")}});
}

const std::string k_ssr = "NC_000001.10\t100\t110\ta\tb\t(AT)6\nNC_000001.10\t200\t230\ta\tb\t(CAG)8/(CA)11\n";

}  // namespace

TEST(RepeatMarkRepeat, WorkedExampleThroughEveryInputRoute) {
    ScratchDir dir;
    const std::string table = read_file(data_path("repeat/example_table.txt"));
    const std::string ssr = read_file(data_path("repeat/example_ssr.bed"));
    const std::string expected = read_file(data_path("repeat/example_expected.txt"));
    write_file(dir.path("t.txt"), table);
    write_gzip(dir.path("t.gz"), table);
    write_gzip(dir.path("t.bgz"), table, 37);
    write_file(dir.path("s.bed"), ssr);
    write_gzip(dir.path("s.gz"), ssr);
    write_gzip(dir.path("s.bgz"), ssr, 29);
    for (const char* t : {"t.txt", "t.gz", "t.bgz"}) {
        for (const char* s : {"s.bed", "s.gz", "s.bgz"}) {
            SCOPED_TRACE(std::string(t) + " " + s);
            // The second argument names a missing file: it is never read.
            auto r = run_program("mark_repeat", {dir.path(t), dir.path("missing.bed"), dir.path("out.txt")},
                                 {{"WES_SSR_FILE", dir.path(s)}});
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err, "");
            EXPECT_EQ(read_file(dir.path("out.txt")), expected);
        }
    }
}

TEST(RepeatMarkRepeat, OpenFailuresAreReportedWithStatusTwo) {
    ScratchDir dir;
    write_file(dir.path("in.txt"), "h\n");
    write_file(dir.path("ssr.bed"), k_ssr);
    auto r = run_program("mark_repeat", {dir.path("nope.txt"), "x", dir.path("o1")},
                         {{"WES_SSR_FILE", dir.path("ssr.bed")}});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "infile open failed\n");
    EXPECT_EQ(read_file(dir.path("o1")), "");  // created before the inputs are checked

    r = run_program("mark_repeat", {dir.path("in.txt"), "x", dir.path("o2")},
                    {{"WES_SSR_FILE", dir.path("nope.bed")}});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "repeat_file open failed\n");
    EXPECT_EQ(read_file(dir.path("o2")), "");

    // An empty WES_SSR_FILE leaves the compiled-in path, absent on this machine.
    r = run_program("mark_repeat", {dir.path("in.txt"), "x", dir.path("o3")}, {{"WES_SSR_FILE", ""}});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "repeat_file open failed\n");

    const std::string bad_out = dir.path("no/such/dir/out.txt");
    r = run_program("mark_repeat", {dir.path("in.txt"), "x", bad_out}, {{"WES_SSR_FILE", dir.path("ssr.bed")}});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "Error: cannot write " + bad_out + ": No such file or directory\n");
}

TEST(RepeatMarkRepeat, FailedWriteIsReportedWithStatusTwo) {
    ScratchDir dir;
    std::string table = "h\n";
    for (int i = 0; i < 50000; ++i) table += "NC_000001.10\t" + std::to_string(100 + i) + "\t100\tA\tG\n";
    write_file(dir.path("in.txt"), table);
    write_file(dir.path("ssr.bed"), k_ssr);
    auto r = run_program("mark_repeat", {dir.path("in.txt"), "x", "/dev/full"},
                         {{"WES_SSR_FILE", dir.path("ssr.bed")}});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "Error: cannot write /dev/full: No space left on device\n");
}

TEST(RepeatMarkRepeat, OutputPathIsTheFirstWordOfTheThirdArgument) {
    ScratchDir dir;
    write_file(dir.path("in.txt"), "h\nNC_000001.10 105 105\n");
    write_file(dir.path("ssr.bed"), k_ssr);
    auto r = run_program("mark_repeat", {dir.path("in.txt"), "x", dir.path("out.txt") + " extra"},
                         {{"WES_SSR_FILE", dir.path("ssr.bed")}});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(dir.path("out.txt")), "h \tssr\nNC_000001.10 105 105 \tY=6\n");
}

TEST(RepeatMarkRepeat, HeaderOnlyAndEmptyInputs) {
    ScratchDir dir;
    auto r = mark(dir, "Chr\tStart\tEnd\n", k_ssr);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(dir.path("out.txt")), "Chr\tStart\tEnd \tssr\n");
    r = mark(dir, "", k_ssr);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(dir.path("out.txt")), "");
    r = mark(dir, "Chr", k_ssr);  // a header without its newline still gets the blank
    EXPECT_EQ(read_file(dir.path("out.txt")), "Chr \tssr\n");
}

TEST(RepeatMarkRepeat, BlankMalformedAndUnterminatedLines) {
    ScratchDir dir;
    const std::string table =
        "h\n"
        "NC_000001.10\t105\t105\tx\n"
        "\n"                                 // blank: no output line
        " \t\r\n"                            // white space only: blank too
        "NC_000001.10\t150\n"                // too few fields: N=0, no read
        "NC_000001.10\t12abc\t300\n"         // not a number: N=0, cursor kept
        "NC_000001.10\t108\t108\tstill\n"    // so the cursor (100-110) still serves
        "NC_000001.10\r210\r210\r\n"         // CR separates fields and stays in the line
        "NC_000001.10\t220\t220\tlast";      // no newline at the end
    auto r = mark(dir, table, k_ssr);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(dir.path("out.txt")),
              "h \tssr\n"
              "NC_000001.10\t105\t105\tx \tY=6\n"
              "NC_000001.10\t150 \tN=0\n"
              "NC_000001.10\t12abc\t300 \tN=0\n"
              "NC_000001.10\t108\t108\tstill \tY=6\n"
              "NC_000001.10\r210\r210\r \tY=11\n"
              "NC_000001.10\t220\t220\tlast \tY=11\n");
}

TEST(RepeatMarkRepeat, LongLinesAndNamesAreHandledWhole) {
    ScratchDir dir;
    const std::string tail(200000, 'q');
    const std::string chrom = "NC_" + std::string(300, '7');
    const std::string motif = "(" + std::string(5000, 'A') + ")42";
    const std::string ssr = chrom + "\t10\t20\ta\tb\t" + motif + "\n";
    auto r = mark(dir, "h" + tail + "\n" + chrom + "\t15\t15\t" + tail + "\n", ssr);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(dir.path("out.txt")),
              "h" + tail + " \tssr\n" + chrom + "\t15\t15\t" + tail + " \tY=42\n");
}

TEST(RepeatMarkRepeat, CorruptCompressedInputIsAnError) {
    ScratchDir dir;
    std::string table = "h\n";
    for (int i = 0; i < 20000; ++i) table += "NC_000001.10\t" + std::to_string(1000 + i) + "\t" + std::to_string(1000 + i) + "\n";
    write_gzip(dir.path("full.gz"), table);
    std::string gz = read_file(dir.path("full.gz"));
    write_file(dir.path("cut.gz"), gz.substr(0, gz.size() / 2));
    write_file(dir.path("ssr.bed"), k_ssr);
    auto r = run_program("mark_repeat", {dir.path("cut.gz"), "x", dir.path("out.txt")},
                         {{"WES_SSR_FILE", dir.path("ssr.bed")}});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out.rfind("Error: cannot read " + dir.path("cut.gz") + ": ", 0), 0u) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);

    // The same for the repeat file, read only as far as the rows need.
    std::string ssr;
    for (int i = 0; i < 20000; ++i) ssr += "NC_000001.10\t" + std::to_string(10 * i) + "\t" + std::to_string(10 * i + 2) + "\ta\tb\t(A)3\n";
    write_gzip(dir.path("ssr.gz"), ssr);
    std::string sgz = read_file(dir.path("ssr.gz"));
    write_file(dir.path("ssr_cut.gz"), sgz.substr(0, sgz.size() / 2));
    write_file(dir.path("late.txt"), "h\nNC_000001.10\t5\t5\nNC_000002.11\t5\t5\n");
    r = run_program("mark_repeat", {dir.path("late.txt"), "x", dir.path("out.txt")},
                    {{"WES_SSR_FILE", dir.path("ssr_cut.gz")}});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out.rfind("Error: cannot read " + dir.path("ssr_cut.gz") + ": ", 0), 0u) << r.out;
}

TEST(RepeatMarkRepeat, WarnsOnceWhenAnInputGoesOutOfOrder) {
    ScratchDir dir;
    auto r = mark(dir, "h\nNC_000001.10 205 205\nNC_000001.10 105 105\nNC_000001.10 101 101\n", k_ssr);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(dir.path("in.txt") + ": line 3: out of order"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
    // The sweep goes on as it stands: rows before the cursor get N=0.
    EXPECT_EQ(read_file(dir.path("out.txt")),
              "h \tssr\nNC_000001.10 205 205 \tY=11\nNC_000001.10 105 105 \tN=0\nNC_000001.10 101 101 \tN=0\n");

    r = mark(dir, "h\nNC_000001.10 500 500\n",
             "NC_000001.10 300 310 a b (A)2\nNC_000001.10 100 110 a b (A)3\nNC_000001.10 50 60 a b (A)4\n");
    EXPECT_NE(r.err.find(dir.path("ssr.bed") + ": line 2: out of order"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

TEST(RepeatMarkRepeat, WarnsWhenChromosomeNamesNeverMeet) {
    ScratchDir dir;
    auto r = mark(dir, "h\nchr1 105 105\nchr1 220 220\n", k_ssr);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(dir.path("out.txt")), "h \tssr\nchr1 105 105 \tN=0\nchr1 220 220 \tN=0\n");
    EXPECT_NE(r.err.find("\"chr1\""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\"NC_000001.10\""), std::string::npos) << r.err;

    r = mark(dir, "h\nNC_000001.10 105 105\n", k_ssr);  // names that meet: silent
    EXPECT_EQ(r.err, "");
}

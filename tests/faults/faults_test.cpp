// Fault injection, end to end: the built programs under what a busy cluster and a
// careless caller do to them. No run may end by a signal, destroy an input, or call a
// failure a success.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include "../bgzf_writer.hpp"
#include "test_util.hpp"

namespace {

using wes::test::read_file;
using wes::test::RunResult;
using wes::test::write_file;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool k_sanitized = true;  // address-space limits and timings mean nothing here
#else
constexpr bool k_sanitized = false;
#endif

using wes::test::Child;
using wes::test::Start;

Child start(const std::string& program, const Start& how) { return wes::test::start_path(wes::test::bin_path(program), how); }
RunResult run(const std::string& program, const Start& how) { return start(program, how).finish(); }

// Writes data through a deflate stream into path: level 0 gives stored blocks, whose
// bytes appear in the file as they are.
void write_deflated(const std::string& path, const std::string& data, int level) {
    gzFile f = gzopen(path.c_str(), level == 0 ? "wb0" : "wb9");
    gzwrite(f, data.data(), static_cast<unsigned>(data.size()));
    gzclose(f);
}

// The BGZF form: blocks of 60,000 bytes, the end-of-file block when whole.
std::string bgzf(const std::string& text, bool with_eof_block) {
    return bgzf_writer::compress(text, 60000, with_eof_block).bytes;
}

class Faults : public ::testing::Test {
protected:
    std::string p(const std::string& name) const { return dir.path(name); }
    wes::test::ScratchDir dir;
};

const std::string k_attention = "Attention:\tmust be something wrong in this files, please check them !\n";

std::string demo(const std::string& name) { return std::string(WES_SOURCE_DIR) + "/demo/data/" + name; }

}  // namespace

TEST_F(Faults, AnOutputThatIsAnInputIsRefusedAndTheInputKept) {
    const std::string vcf = read_file(demo("DEMO01.vcf"));
    const std::string rows = "chr\tstart\tend\tref\talt\nNC_000001.10\t100\t100\tA\tG\n";
    const std::string fq = "@r\nACGT\n+\nIIII\n";
    write_file(p("x.vcf"), vcf);
    write_file(p("rows.txt"), rows);
    write_file(p("db.txt"), "NC_000001.10\t100\tA\tG\t.\t.\t.\t0.5\n");
    write_file(p("db.txt.tbi"), "index");
    write_file(p("r.quality"), fq);
    write_file(p("t.read_stats"), fq);
    write_file(p("r_2.fq"), fq);
    ASSERT_EQ(::symlink(p("x.vcf").c_str(), p("link.vcf").c_str()), 0);
    ASSERT_EQ(::link(p("rows.txt").c_str(), p("hard.txt").c_str()), 0);
    for (const char* report : {".quality", ".GC_content", ".totstat"})
        for (const char* out : {"q", "m"}) write_file(p(out) + report, read_file(wes::test::data_path("qc/single") + report));
    ASSERT_EQ(::symlink(p("q.quality").c_str(), p("q.html").c_str()), 0);
    ASSERT_EQ(::link(p("m.totstat").c_str(), p("m_gc_r2_mqc.json").c_str()), 0);
    const std::map<std::string, std::string> env = {{"WES_SPLICE_DB", p("db.txt")}, {"WES_SSR_FILE", p("db.txt")}};
    struct Case {
        const char* program;
        std::vector<std::string> args;
        std::string output, said;
        int status;
        std::string what = "an input";
        std::string stdin_file = "/dev/null";
    };
    const std::vector<Case> cases = {
        {"vcf_to_table", {p("x.vcf"), p("x.vcf")}, p("x.vcf"), "File open filed!\n", 255},
        {"vcf_to_table", {p("x.vcf"), dir.dir() + "/./x.vcf"}, dir.dir() + "/./x.vcf", "File open filed!\n", 255},
        {"vcf_to_table", {p("link.vcf"), p("x.vcf")}, p("x.vcf"), "File open filed!\n", 255},
        {"join_splice_db", {p("rows.txt"), "x", p("hard.txt")}, p("hard.txt"), k_attention, 2},
        {"join_splice_db", {p("rows.txt"), "x", p("db.txt")}, p("db.txt"), k_attention, 2},
        {"join_splice_db", {p("rows.txt"), "x", p("db.txt.tbi")}, p("db.txt.tbi"), k_attention, 2},  // its index
        {"join_score_db", {p("rows.txt"), p("db.txt") + std::string(30, ' '), "name", p("db.txt")}, p("db.txt"),
         k_attention, 2},
        {"mark_repeat", {p("rows.txt"), "x", p("db.txt")}, p("db.txt"), "", 2},
        {"read_qc_stat", {p("r.quality"), p("r_2.fq"), p("r")}, p("r.quality"), "", 2},
        {"read_qc_stat", {p("r_2.fq"), p("t.read_stats"), p("t")}, p("t.read_stats"), "", 2},
        {"table_to_accession", {p("rows.txt"), p("hard.txt")}, p("hard.txt"), "", 2},
        {"table_to_accession", {"-", p("rows.txt")}, p("rows.txt"), "", 2, "an input", p("rows.txt")},
        {"table_to_accession", {"--aside", p("rows.txt"), p("rows.txt"), p("o.txt")}, p("rows.txt"), "", 2},
        {"table_to_accession", {"--aside", p("link"), p("rows.txt"), p("new.txt")}, p("link"), "", 2, "the output"},
        {"qc_report", {p("q")}, p("q.html"), "", 2},
        {"qc_report", {p("m")}, p("m_gc_r2_mqc.json"), "", 2},
    };
    ASSERT_EQ(::symlink(p("new.txt").c_str(), p("link").c_str()), 0);  // where nothing is yet
    for (const Case& c : cases) {
        RunResult r = run(c.program, {.args = c.args, .env = env, .stdin_file = c.stdin_file});
        EXPECT_EQ(r.status, c.status) << c.program << " " << c.output;
        EXPECT_EQ(r.out, c.said + "Error: " + c.output + " is also " + c.what + " of this run\n") << c.program;
    }
    EXPECT_FALSE(wes::test::file_exists(p("new.txt")));
    EXPECT_EQ(read_file(p("x.vcf")), vcf);
    EXPECT_EQ(read_file(p("rows.txt")), rows);
    EXPECT_EQ(read_file(p("r.quality")) + read_file(p("t.read_stats")), fq + fq);
    EXPECT_EQ(read_file(p("q.quality")) + read_file(p("m.totstat")),
              read_file(wes::test::data_path("qc/single.quality")) + read_file(wes::test::data_path("qc/single.totstat")));
    EXPECT_EQ(read_file(p("db.txt")), "NC_000001.10\t100\tA\tG\t.\t.\t.\t0.5\n");
    EXPECT_EQ(read_file(p("db.txt.tbi")), "index");
}

TEST_F(Faults, AFileThatShrinksWhileReadIsAnError) {
    // A database of 40 MB; the rows come through a pipe, so the test decides when the
    // annotator reads on: after the database has been cut to a tenth under it.
    std::string db;
    // Its lines serve both as database records and as repeat intervals.
    for (int i = 1; db.size() < 40'000'000; ++i) {
        const std::string pos = std::to_string(i * 10);
        db += "NC_000001.10\t" + pos + "\t" + pos + "\tA\tG\t(AT)5\t.\t0.1\n";
    }
    write_file(p("db.txt"), db);
    for (const char* program : {"join_splice_db", "mark_repeat"}) {
        Child c = start(program, {.args = {"-", "x", p("out.txt")},
                                  .env = {{"WES_SPLICE_DB", p("db.txt")}, {"WES_SSR_FILE", p("db.txt")}},
                                  .stdin_pipe = true});
        const std::string head = "chr\tstart\tend\tref\talt\nNC_000001.10\t10\t10\tA\tG\n";
        ASSERT_EQ(::write(c.in, head.data(), head.size()), static_cast<ssize_t>(head.size()));
        // Once the program holds the database open, cut it.
        const std::string fds = "/proc/" + std::to_string(c.pid) + "/fd";
        bool open = false;
        for (int i = 0; i < 500 && !open; ++i) {
            std::error_code ec;
            for (const auto& e : std::filesystem::directory_iterator(fds, ec))
                if (std::filesystem::read_symlink(e.path(), ec) == p("db.txt")) open = true;
            if (!open) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_TRUE(open) << program;
        ASSERT_EQ(::truncate(p("db.txt").c_str(), 4'000'000), 0);
        const std::string last = "NC_000001.10\t99999999\t99999999\tA\tG\n";
        ASSERT_EQ(::write(c.in, last.data(), last.size()), static_cast<ssize_t>(last.size()));
        RunResult r = c.finish();
        EXPECT_EQ(r.status, 2) << program;
        EXPECT_EQ(r.out, "Error: cannot read " + p("db.txt") + ": the file shrank while it was read\n") << program;
        write_file(p("db.txt"), db);
    }
}

TEST_F(Faults, LongLinesCostLinearTimeOnEveryRoute) {
    // A 50 MB line in a gzip file, by path and through a pipe; then BGZF and plain.
    const std::string line(50'000'000, 'x');
    write_deflated(p("long.gz"), "#" + line + "\nchr1\n", 9);
    double secs[2];
    for (int route = 0; route < 2; ++route) {
        auto t0 = std::chrono::steady_clock::now();
        Start how{.args = {route == 0 ? p("long.gz") : "-", p("out.txt")}, .stdin_pipe = route == 1};
        Child c = start("vcf_to_table", how);
        if (route == 1) {
            std::string gz = read_file(p("long.gz"));
            std::thread feed([&gz, fd = c.in] {
                (void)!::write(fd, gz.data(), gz.size());
                ::close(fd);
            });
            c.in = -1;
            RunResult r = c.finish();
            feed.join();
            EXPECT_EQ(r.status, 0) << r.out;
        } else {
            EXPECT_EQ(c.finish().status, 0);
        }
        secs[route] = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    if (!k_sanitized) {
        EXPECT_LT(secs[0], 5.0);
        EXPECT_LT(secs[0], 2 * secs[1] + 0.5) << "by path " << secs[0] << " s, through a pipe " << secs[1] << " s";
        EXPECT_LT(secs[1], 2 * secs[0] + 0.5) << "by path " << secs[0] << " s, through a pipe " << secs[1] << " s";
    }
}

TEST_F(Faults, ALineThatCannotBeHeldEndsTheRunWithAMessage) {
    // 300 MB of zero bytes without a newline: a few hundred kB compressed.
    {
        gzFile f = gzopen(p("bomb.gz").c_str(), "wb1");
        std::string zeros(1 << 20, '\0');
        for (int i = 0; i < 300; ++i) gzwrite(f, zeros.data(), static_cast<unsigned>(zeros.size()));
        gzclose(f);
    }
    struct Case {
        std::string input;
        unsigned long limit;
        std::string reason;
    };
    std::vector<Case> cases = {{p("bomb.gz"), 0, "more than 256 MiB"}, {"/dev/zero", 0, "more than 256 MiB"}};
    if (!k_sanitized) {  // a 100 MB line is held in 200 MB of address space, not in 100 MB
        write_file(p("long.txt"), std::string(100'000'000, 'x') + "\n");
        RunResult r = run("vcf_to_table", {.args = {p("long.txt"), p("out.txt")}, .address_space = 200'000ul << 10});
        EXPECT_EQ(r.status, 0) << r.out;
        cases.push_back({p("long.txt"), 100'000ul << 10, "cannot allocate memory"});
    }
    for (const Case& c : cases) {
        RunResult r = run("vcf_to_table", {.args = {c.input, p("out.txt")}, .address_space = c.limit});
        EXPECT_EQ(r.status, 2) << c.input;
        EXPECT_EQ(r.out, "Error: cannot read " + c.input + ": line 1 is too long (" + c.reason + ")\n");
    }
    write_file(p("r_2.fq"), "@r\nA\n+\nI\n");
    RunResult q = run("read_qc_stat", {.args = {p("bomb.gz"), p("r_2.fq"), p("qc")}});
    EXPECT_EQ(q.status, 2);
    EXPECT_NE(q.out.find("line 1 is too long (more than 256 MiB)"), std::string::npos) << q.out;
}

TEST_F(Faults, WithoutASecondThreadTheOutputIsTheSame) {
    if (k_sanitized) GTEST_SKIP() << "the sanitizers' own threads count against the limit";
    ASSERT_EQ(::chmod(dir.dir().c_str(), 0777), 0);
    // Over a MiB inflated, so that the free runs inflate ahead on a second thread.
    std::string vcf, fq[2];
    for (int i = 0; i < 20; ++i) vcf += read_file(demo("DEMO01.vcf"));
    for (int i = 0; i < 3; ++i)
        for (int m = 0; m < 2; ++m) fq[m] += read_file(demo(m == 0 ? "DEMO01_R1.fq.gz" : "DEMO01_R2.fq.gz"));
    wes::test::write_gzip(p("v.vcf.gz"), vcf, 50000);
    write_file(p("v.bgz"), bgzf(vcf, true));  // inflated on the pool
    write_file(p("r_1.fq.gz"), fq[0]);
    write_file(p("r_2.fq.gz"), fq[1]);
    // An indexed database of 130 blocks and rows a few blocks apart: the merge jumps, and
    // a thread reads the rows ahead.
    std::string db, rows = "h\n";
    for (int i = 1; i <= 200000; ++i) db += "NC_000001.10\t" + std::to_string(i * 100) + "\tA\tG\t.\t.\t.\t" + std::to_string(i) + "\n";
    for (int i = 1; i <= 60; ++i) rows += "NC_000001.10\t" + std::to_string(i * 331700) + "\t0\tA\tG\n";
    const bgzf_writer::File f = bgzf_writer::compress(db, 65280);
    write_file(p("db.gz"), f.bytes);
    write_file(p("db.gz.tbi"), bgzf_writer::compress(bgzf_writer::index(db, f, false)).bytes);
    write_file(p("rows.txt"), rows);
    // User nobody may not reach the checkout (in root's home): the programs are copied
    // where it can.
    namespace fs = std::filesystem;
    for (const char* program : {"vcf_to_table", "read_qc_stat", "join_splice_db"})
        fs::copy_file(wes::test::bin_path(program), p(program));
    for (const char* name : {"v.vcf.gz", "v.bgz", "r_1.fq.gz", "r_2.fq.gz", "db.gz", "db.gz.tbi", "rows.txt"})
        ::chmod(p(name).c_str(), 0644);
    auto run_copy = [&](const char* program, const Start& how) { return wes::test::start_path(p(program), how).finish(); };
    for (bool limited : {false, true}) {
        const std::string out = p(limited ? "limited" : "free");
        RunResult r = run_copy("vcf_to_table", {.args = {p("v.vcf.gz"), out + ".txt"}, .one_process = limited});
        if (r.status == 125) GTEST_SKIP() << "cannot become user nobody to limit the processes";
        EXPECT_EQ(r.status, 0) << r.out;
        r = run_copy("vcf_to_table", {.args = {p("v.bgz"), out + ".bgz.txt"}, .one_process = limited});
        EXPECT_EQ(r.status, 0) << r.out;
        r = run_copy("read_qc_stat", {.args = {p("r_1.fq.gz"), p("r_2.fq.gz"), out + ".qc"}, .one_process = limited});
        EXPECT_EQ(r.status, 0) << r.out;
        r = run_copy("join_splice_db", {.args = {p("rows.txt"), "x", out + ".join"}, .env = {{"WES_SPLICE_DB", p("db.gz")}},
                                   .one_process = limited});
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_EQ(r.err, "");
    }
    for (const char* name : {".txt", ".bgz.txt", ".qc.totstat", ".join"})
        EXPECT_EQ(read_file(p("limited") + name), read_file(p("free") + name)) << name;
    EXPECT_EQ(read_file(p("free.bgz.txt")), read_file(p("free.txt")));
    const std::string joined = read_file(p("free.join"));
    EXPECT_EQ(std::count(joined.begin(), joined.end(), '\n'), 61);
}

TEST_F(Faults, MessagesNeverLandInTheDataStream) {
    // Standard output or error closed: an output file must not take its number and
    // receive the messages. Output "-": the messages go to standard error, open failures
    // included.
    write_file(p("rows.txt"), "chr\tstart\tend\tref\talt\nNC_000001.10\t100\t100\tA\tG\n");
    write_file(p("db.txt"), "NC_000001.10\t100\tA\tG\t.\t.\t.\t0.5\n");
    const std::map<std::string, std::string> env = {{"WES_SPLICE_DB", p("db.txt")}, {"WES_SCORE_DB", p("db.txt")},
                                                    {"WES_SSR_FILE", p("db.txt")}};
    const std::string want = "chr\tstart\tend\tref\talt \tsplice_predict\nNC_000001.10\t100\t100\tA\tG \t0.5\n";
    RunResult r = run("join_splice_db", {.args = {p("rows.txt"), "x", p("out.txt")}, .env = env, .close_stdout = true});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(read_file(p("out.txt")), want);
    r = run("join_splice_db", {.args = {p("rows.txt"), "x", "-"}, .env = env});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, want);
    EXPECT_EQ(r.err, "END\n");
    // Standard input the table, the output takes the lowest free number.
    write_file(p("t.txt"), "chr1\t5\nchrM\t6\n");
    r = run("table_to_accession", {.args = {"-", p("out.txt")}, .close_stderr = true, .stdin_file = p("t.txt")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(p("out.txt")), "Chr\tStart\tEnd\tRef\tAlt\tID\tMQ\tDepth\nNC_000001.10\t5\n");

    const std::string missing = p("missing");
    const std::string cannot_open = missing + ": No such file or directory\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> open_failures = {
        {{"vcf_to_table", missing, "-"}, "File open filed!\n"},
        {{"table_to_accession", missing, "-"}, "Error: cannot open " + cannot_open},
        {{"table_to_accession", "--aside", "-", missing, p("out.txt")}, "Error: cannot open " + cannot_open},
        {{"join_score_db", missing, "x", "name", "-"}, k_attention + "join_score_db: cannot open " + cannot_open},
        {{"mark_repeat", missing, "x", "-"}, "infile open failed\n"},
    };
    for (const auto& [words, said] : open_failures) {
        r = run(words[0], {.args = std::vector<std::string>(words.begin() + 1, words.end()), .env = env});
        EXPECT_NE(r.status, 0) << words[0];
        EXPECT_EQ(r.out, "") << words[0];
        EXPECT_EQ(r.err, said) << words[0];
    }

    std::string long_read = "@r\n" + std::string(170, 'A') + "\n+\n" + std::string(170, 'I') + "\n";
    write_file(p("l_1.fq"), long_read);
    write_file(p("l_2.fq"), long_read);
    r = run("read_qc_stat", {.args = {p("l_1.fq"), p("l_2.fq"), p("qc")}, .close_stdout = true});
    EXPECT_EQ(r.status, 0);
    for (const char* report : {"qc.quality", "qc.GC_content", "qc.totstat"})
        EXPECT_EQ(read_file(p(report)).find("longer"), std::string::npos) << report;
    r = run("vcf_to_table", {.args = {demo("DEMO01.vcf"), "-"}});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("chr1\t", 0), 0u);
}

TEST_F(Faults, ABgzfFileCutBetweenBlocksIsTruncated) {
    const std::string vcf = read_file(demo("DEMO01.vcf"));
    const std::string whole = bgzf(vcf, true);
    write_file(p("whole.vcf.gz"), whole);
    const std::string cut = bgzf(vcf.substr(0, 60000), false);  // whole blocks, no end block
    write_file(p("cut.vcf.gz"), cut);
    write_file(p("padded.vcf.gz"), cut + std::string(100, '\0'));
    RunResult ok = run("vcf_to_table", {.args = {p("whole.vcf.gz"), p("whole.txt")}});
    EXPECT_EQ(ok.status, 0);
    RunResult plain = run("vcf_to_table", {.args = {demo("DEMO01.vcf"), p("plain.txt")}});
    EXPECT_EQ(read_file(p("whole.txt")), read_file(p("plain.txt")));
    for (const char* name : {"cut.vcf.gz", "padded.vcf.gz"}) {
        RunResult r = run("vcf_to_table", {.args = {p(name), p("cut.txt")}});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "Error: cannot read " + p(name) + ": truncated (no BGZF end-of-file block)\n");
    }
    // The merge reads a database only as far as the rows need: a row past its cut.
    write_file(p("rows.txt"), "chr\tstart\tend\tref\talt\nNC_000001.10\t200\t200\tA\tG\n");
    write_file(p("db.gz"), bgzf("NC_000001.10\t100\tA\tG\t.\t.\t.\t0.5\n", false));
    RunResult a = run("join_splice_db", {.args = {p("rows.txt"), "x", p("o.txt")}, .env = {{"WES_SPLICE_DB", p("db.gz")}}});
    EXPECT_EQ(a.status, 2);
    EXPECT_EQ(a.out.find("END"), std::string::npos);
}

TEST_F(Faults, GarbageOfACorruptGzipFastqIsACorruptFileNotAQualityError) {
    // Stored blocks carry the bytes as they are: a flipped quality byte inflates into a
    // bad score, and only the member's checksum tells the file is corrupt.
    std::string fq;
    for (int i = 0; i < 2000; ++i) fq += "@r" + std::to_string(i) + "\nACGTACGT\n+\nIIIIIIII\n";
    write_deflated(p("r_1.fq.gz"), fq, 0);
    write_file(p("r_2.fq"), fq);
    std::string gz = read_file(p("r_1.fq.gz"));
    std::size_t at = gz.find("IIIIIIII", gz.size() / 2);
    gz[at] = ' ';
    write_file(p("r_1.fq.gz"), gz);
    RunResult r = run("read_qc_stat", {.args = {p("r_1.fq.gz"), p("r_2.fq"), p("qc")}});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out.rfind("Error: cannot read " + p("r_1.fq.gz") + ": compressed data fails its checksum", 0), 0u)
        << r.out;
    EXPECT_TRUE(wes::test::file_exists(p("qc.totstat")));
}

TEST_F(Faults, WarningsNameWhatTheMergeCannotSee) {
    const std::map<std::string, std::string> env = {
        {"WES_SPLICE_DB", p("db.txt")}, {"WES_POPFREQ_DB", p("db.txt")}, {"WES_SSR_FILE", p("db.txt")}};
    struct Case {
        std::string rows, db, warning, program = "join_splice_db";
    };
    std::string crowded;  // one record more than the merge keeps at one place
    for (int i = 0; i <= 4096; ++i) crowded += "NC_000001.10\t5\tA\tC\t.\t.\t.\t1\n";
    const std::vector<Case> cases = {
        {"NC_000001.10\t100\t100\tA\tG\n",
         "NC_000001.10\t10\tA\tG\t.\t.\t.\t1\nNC_000001.10\tx\tA\tG\t.\t.\t.\t1\nNC_000001.10\t7\tA\tG\t.\t.\t.\t1\n",
         "warning: " + p("db.txt") + ": line 3: out of order: NC_000001.10 7 comes after NC_000001.10 10; rows "
         "after this point may miss values that the file holds\n"},
        {"NC_000002.11\t30\t30\tA\tG\n",
         "NC_000002.11\t10\tA\tG\t.\t.\t.\t1\nNC_000001.10\t20\tA\tG\t.\t.\t.\t1\n",
         "warning: " + p("db.txt") + ": line 2: out of order: NC_000001.10 20 comes after NC_000002.11 10; rows "
         "after this point may miss values that the file holds\n"},
        {"1\t5\t5\tA\tG\n2\t5\t5\tA\tG\n", "1\t5\tA\tG\t.\t.\t.\t1\n",
         "warning: " + p("rows.txt") + ": 2 rows (such as \"1 5\") sort before NC_000001.10 1, where the merge "
         "starts, and got no value; the suite's files name chromosomes by accession (NC_000001.10 to NC_000024.9)\n"},
        {"NC_000001.10\t5\t5\tA\tG\n", "", "warning: " + p("db.txt") + " holds no record; no row got a value from it\n"},
        {"NC_000001.10\t1\t1\tA\tG\n", "NC_000001.10\t1\tA\tG\t.\t.\t.\t1\n", ""},  // where the merge starts
        {"NC_000001.10\t5\t5\tA\tG\n", crowded,
         "warning: " + p("db.txt") + " holds more than 4096 records or 4 MiB of records at NC_000001.10 5; past them, "
         "rows at that place may miss values that the file holds\n"},
        // Places after the rewrite: a deletion at 101 is placed at 102, so a line at 100 after it is out of
        // order, while one placed at 101 after a line at 101 is not.
        {"NC_000001.10\t5\t5\tA\tG\n", "h\nNC_000001.10\t101\tGA\tG\nNC_000001.10\t100\tC\tT\n",
         "warning: " + p("db.txt") + ": line 3: out of order: NC_000001.10 100 comes after NC_000001.10 102; rows "
         "after this point may miss values that the file holds\n", "revise_popfreq"},
        {"NC_000001.10\t5\t5\tA\tG\n", "h\nNC_000001.10\t101\tC\tT\nNC_000001.10\t100\tGA\tG\n", "", "revise_popfreq"},
    };
    for (const Case& c : cases) {
        write_file(p("rows.txt"), "chr\tstart\tend\tref\talt\n" + c.rows);
        write_file(p("db.txt"), c.db);
        RunResult r = run(c.program, {.args = {p("rows.txt"), "x", p("o.txt")}, .env = env});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.warning);
    }
    write_file(p("rows.txt"), "chr\tstart\tend\n1\t5\t5\n");
    RunResult m = run("mark_repeat", {.args = {p("rows.txt"), "x", p("o.txt")}, .env = env});
    EXPECT_EQ(m.status, 0);
    EXPECT_NE(m.err.find("1 row (such as \"1 5\") sorts before NC_000001.10 1"), std::string::npos) << m.err;
}

TEST_F(Faults, AFailingCloseOfAnOutputIsAWriteError) {
    // An output whose close() fails (EIO, as on a network file system): "cannot write".
    const std::string qc = std::string(WES_TEST_DATA_DIR) + "/qc/single";
    for (const char* report : {".quality", ".GC_content", ".totstat"}) write_file(p("s") + report, read_file(qc + report));
    write_file(p("rows.txt"), "chr\tstart\tend\tref\talt\nNC_000001.10\t100\t100\tA\tG\n");
    write_file(p("t.txt"), "chr1\t5\nchrM\t6\n");
    write_file(p("db.txt"), "header\n");
    std::map<std::string, std::string> env = {{"LD_PRELOAD", WES_FAIL_CLOSE_LIB}};
    for (const char* db : {"WES_SPLICE_DB", "WES_PROTEIN_DB", "WES_SCORE_DB", "WES_POPFREQ_DB", "WES_SSR_FILE"})
        env[db] = p("db.txt");
    const char* asan = std::getenv("ASAN_OPTIONS");  // the shim comes before the sanitizer's runtime
    env["ASAN_OPTIONS"] = std::string(asan ? asan : "") + ":verify_asan_link_order=0";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"vcf_to_table", demo("DEMO01.vcf"), p("o.txt")}, p("o.txt")},
        {{"table_to_accession", p("t.txt"), p("o.txt")}, p("o.txt")},
        {{"table_to_accession", "--aside", p("a.txt"), p("t.txt"), p("o.txt")}, p("a.txt")},
        {{"join_splice_db", p("rows.txt"), "x", p("o.txt")}, p("o.txt")},
        {{"join_protein_db", p("rows.txt"), "x", p("o.txt")}, p("o.txt")},
        {{"join_score_db", p("rows.txt"), "x", "name", p("o.txt")}, p("o.txt")},
        {{"revise_popfreq", p("rows.txt"), "x", p("o.txt")}, p("o.txt")},
        {{"mark_repeat", p("rows.txt"), "x", p("o.txt")}, p("o.txt")},
        {{"read_qc_stat", demo("DEMO01_R1.fq.gz"), demo("DEMO01_R2.fq.gz"), p("r")}, p("r.totstat")},
        {{"read_qc_stat", demo("DEMO01_R1.fq.gz"), demo("DEMO01_R2.fq.gz"), p("r")}, p("r.read_stats")},
        {{"qc_report", p("s")}, p("s.html")},
        {{"qc_report", p("s")}, p("s_mqc.json")},
    };
    for (const auto& [words, failing] : cases) {
        env["WES_FAIL_CLOSE"] = failing;
        RunResult r = run(words[0], {.args = std::vector<std::string>(words.begin() + 1, words.end()), .env = env});
        EXPECT_EQ(r.status, 2) << words[0];
        EXPECT_EQ(r.out, "Error: cannot write " + failing + ": Input/output error\n") << words[0];
    }
}

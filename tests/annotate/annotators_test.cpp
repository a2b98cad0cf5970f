// The four annotators run as programs: usage, opens, headers, END and statuses.
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <string>

#include "annotator.hpp"
#include "merge_model.hpp"
#include "test_util.hpp"

namespace {

using wes::test::read_file;
using wes::test::run_program;
using wes::test::write_file;

const std::string k_attention = "Attention:\tmust be something wrong in this files, please check them !\n";

const std::string k_rows =
    "chr\tstart\tend\tref\talt\tgene\n"
    "NC_000001.10\t100\t100\tA\tG\tG1\n"
    "NC_000001.10\t150\t150\tT\tC\tG1\n"
    "NC_000002.11\t50\t52\tGCA\t-\tG2\n";

class Annotators : public ::testing::Test {
protected:
    void SetUp() override { write_file(dir.path("rows.txt"), k_rows); }
    std::string p(const std::string& name) const { return dir.path(name); }
    wes::test::ScratchDir dir;
};

}  // namespace

TEST_F(Annotators, OpenFailuresSayAttentionAndFail) {
    write_file(p("db"), "");
    // Missing result file: the output file is still created, empty.
    auto r = run_program("join_splice_db", {p("missing"), "x", p("o1")}, {{"WES_SPLICE_DB", p("db")}});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, k_attention);
    EXPECT_EQ(read_file(p("o1")), "");
    // Missing database (from the environment), unwritable output, empty output path.
    r = run_program("join_protein_db", {p("rows.txt"), "x", p("o2")}, {{"WES_PROTEIN_DB", p("nope")}});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, k_attention);
    r = run_program("revise_popfreq", {p("rows.txt"), "x", p("no/such/dir")}, {{"WES_POPFREQ_DB", p("db")}});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, k_attention);
    r = run_program("join_score_db", {p("rows.txt"), "short", "name", "  "}, {{"WES_SCORE_DB", p("db")}});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, k_attention);
}

TEST_F(Annotators, SpliceAndProteinAppendAColumn) {
    write_file(p("splice.db"), "NC_000001.10\t100\tA\tG\t.\t.\t.\t0.91\tignored\n"
                               "NC_000002.11\t50\tGCA\t-\t.\t.\t.\t0.12\n");
    // The output path is the argument's first word.
    auto r = run_program("join_splice_db", {p("rows.txt"), "/never/read", p("s.out") + " extra words"},
                         {{"WES_SPLICE_DB", p("splice.db")}});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "END\n");
    EXPECT_EQ(read_file(p("s.out")),
              "chr\tstart\tend\tref\talt\tgene \tsplice_predict\n"
              "NC_000001.10\t100\t100\tA\tG\tG1 \t0.91\n"
              "NC_000001.10\t150\t150\tT\tC\tG1 \tNA\n"
              "NC_000002.11\t50\t52\tGCA\t-\tG2 \t0.12\n");

    write_file(p("protein.db"), "#chr pos id ref alt a b c d\n"
                                "NC_000001.10 100 rs1 A G D 0.99 P 0.97\n");
    r = run_program("join_protein_db", {p("rows.txt"), "x", p("p.out")}, {{"WES_PROTEIN_DB", p("protein.db")}});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "END\n");
    EXPECT_EQ(read_file(p("p.out")),
              "chr\tstart\tend\tref\talt\tgene \tprotein_predict\n"
              "NC_000001.10\t100\t100\tA\tG\tG1 \tD|0.99|P|0.97\n"
              "NC_000001.10\t150\t150\tT\tC\tG1 \tNA|NA_NA|NA|NA\n"
              "NC_000002.11\t50\t52\tGCA\t-\tG2 \tNA|NA_NA|NA|NA\n");
}

TEST_F(Annotators, ScoreDatabaseChoiceAndHeader) {
    write_file(p("default.db"), "chr\tpos\tx\tref\talt\tscore\nNC_000001.10\t100\tx\tA\tG\t0.5\n");
    std::string long_dir = p("a_long_enough_name");  // well over 20 characters
    write_file(long_dir, "chr\tpos\tx\tref\talt\tscore\nNC_000001.10\t150\tx\tT\tC\t0.25\n");
    std::map<std::string, std::string> env{{"WES_SCORE_DB", p("default.db")}};

    // 20 characters or fewer: the default database, whatever the argument names.
    auto r = run_program("join_score_db", {p("rows.txt"), "12345678901234567890", "REVEL score", p("o1")}, env);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(read_file(p("o1")),
              "chr\tstart\tend\tref\tmut\tREVEL score\n"
              "NC_000001.10\t100\t100\tA\tG\t0.5\n"
              "NC_000001.10\t150\t150\tT\tC\tNA\n"
              "NC_000002.11\t50\t50\tGCA\t-\tNA\n");
    // Longer: its first word is the database.
    r = run_program("join_score_db", {p("rows.txt"), long_dir + " trailing", "s", p("o2")}, env);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(read_file(p("o2")),
              "chr\tstart\tend\tref\tmut\ts\n"
              "NC_000001.10\t100\t100\tA\tG\tNA\n"
              "NC_000001.10\t150\t150\tT\tC\t0.25\n"
              "NC_000002.11\t50\t50\tGCA\t-\tNA\n");
}

TEST_F(Annotators, PopfreqCopiesHeaderAndRevisesColumn19) {
    std::string header = "h1 h2\th3\r\n";
    std::string row = "NC_000001.10\t200\t200\t-\tT";
    for (int i = 6; i <= 20; ++i) row += "\t" + std::string(i == 19 ? "." : "x");
    write_file(p("pf.txt"), header + row + "\n");
    write_file(p("pf.db"), "header\nNC_000001.10\t200\tA\tAT\t5\t6\t7\t8\t9\t10\t0.1\t12\t13\t0.2\n");
    auto r = run_program("revise_popfreq", {p("pf.txt"), "x", p("o")}, {{"WES_POPFREQ_DB", p("pf.db")}});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "END\n");
    std::string want = row;
    want.replace(want.rfind("\t.\t") + 1, 1, "0.1|0.2");
    EXPECT_EQ(read_file(p("o")), header + want + "\n");
    // A header that is the whole file, without a newline, is copied as read.
    write_file(p("pf.txt"), "hdr\tx");
    r = run_program("revise_popfreq", {p("pf.txt"), "x", p("o")}, {{"WES_POPFREQ_DB", p("pf.db")}});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(read_file(p("o")), "hdr\tx");
}

TEST_F(Annotators, CompressedInputsGiveTheSameOutput) {
    std::string db = "NC_000001.10\t100\tA\tG\t.\t.\t.\t0.91\n";
    write_file(p("db"), db);
    wes::test::write_gzip(p("db.gz"), db);
    wes::test::write_gzip(p("rows.gz"), k_rows, 40);  // many members, as bgzip writes
    auto a = run_program("join_splice_db", {p("rows.txt"), "x", p("plain.out")}, {{"WES_SPLICE_DB", p("db")}});
    auto b = run_program("join_splice_db", {p("rows.gz"), "x", p("gz.out")}, {{"WES_SPLICE_DB", p("db.gz")}});
    EXPECT_EQ(a.status, 1);
    EXPECT_EQ(b.status, 1);
    EXPECT_EQ(read_file(p("plain.out")), read_file(p("gz.out")));
}

TEST_F(Annotators, ReadAndWriteFailuresAreNotSuccess) {
    std::string db;
    for (int i = 1; i < 40000; ++i) db += "NC_000001.10\t" + std::to_string(i * 10) + "\tA\tG\t.\t.\t.\t0.1\n";
    wes::test::write_gzip(p("db.gz"), db);
    std::string gz = read_file(p("db.gz"));
    write_file(p("cut.gz"), gz.substr(0, gz.size() / 2));
    write_file(p("far.txt"), "h\nNC_000001.10\t399000\t1\tA\tG\n");
    auto r = run_program("join_splice_db", {p("far.txt"), "x", p("o")}, {{"WES_SPLICE_DB", p("cut.gz")}});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out.rfind("Error: cannot read " + p("cut.gz") + ": ", 0), 0u) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);

    write_file(p("db"), "");
    r = run_program("join_splice_db", {p("rows.txt"), "x", "/dev/full"}, {{"WES_SPLICE_DB", p("db")}});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out.rfind("Error: cannot write /dev/full: ", 0), 0u) << r.out;
}

TEST_F(Annotators, WarnsOnStandardErrorAboutOrderAndNames) {
    write_file(p("db"), "NC_000001.10\t100\tA\tG\t.\t.\t.\t0.9\nNC_000001.10\t90\tA\tG\t.\t.\t.\t0.9\n");
    write_file(p("chr.txt"), "h\nchr1\t100\t100\tA\tG\n");
    auto r = run_program("join_splice_db", {p("chr.txt"), "x", p("o")}, {{"WES_SPLICE_DB", p("db")}});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "END\n");
    EXPECT_NE(r.err.find(p("db") + ": line 2: out of order"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("such as \"chr1\""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("such as \"NC_000001.10\""), std::string::npos) << r.err;
    // Same names, merely no match: no naming warning.
    r = run_program("join_splice_db", {p("rows.txt"), "x", p("o")}, {{"WES_SPLICE_DB", p("db")}});
    EXPECT_EQ(r.err.find("never occur"), std::string::npos) << r.err;
}

// Databases of 40 blocks bgzipped and indexed by tabix (.tbi, or .csi), a few rows for each
// block, several alleles per place,
// deletions, a chromosome without rows and rows past the last record: each tool, jumping
// over what no row needs, writes what it writes from the plain file. An index that cannot
// be followed is said on standard error, and the file is read whole.
TEST_F(Annotators, AnIndexedDatabaseGivesTheSameOutput) {
    ASSERT_EQ(wes::test::run_path("/bin/sh", {"-c", "command -v bgzip && command -v tabix"}).status, 0)
        << "bgzip and tabix (Debian package tabix) are needed: .ci/deps.sh installs them";
    auto sh = [&](const std::string& cmd) { return wes::test::run_path("/bin/sh", {"-c", "cd " + dir.dir() + " && " + cmd}); };
    struct Case {
        const wes::annotate::AnnotatorTool* tool;
        const char* index;   // how tabix indexes (-C: the CSI form)
        const char* change;  // what is done to the index or the database then
        const char* warned;  // what standard error says
    };
    using namespace wes::annotate;
    const Case cases[] = {
        {&splice_tool, "", "", ""},
        {&protein_tool, "-C", "", ""},
        {&score_tool, "", "", ""},
        {&popfreq_tool, "-C", "", ""},
        {&popfreq_tool, "", "touch -d '+1 hour' idx.gz", "is older than"},
        {&splice_tool, "", "head -c 100 idx.gz.tbi > x && mv x idx.gz.tbi", "cannot be read"},
        {&splice_tool, "", "printf 'TBI\\001' | gzip > idx.gz.tbi", "is not used (it is cut short or corrupt)"},
        {&splice_tool, "", "swap", "is not used (its chromosomes are not in byte order"},
        {&splice_tool, "", "fifo", ""},  // rows through a named pipe: not read ahead
        {&protein_tool, "", "empty", "holds no record"},  // only its header line
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tool->program) + " " + c.index + " " + c.change);
        const JoinProfile& prof = c.tool->profile;
        std::mt19937 rng(7);
        auto choose = [&](unsigned n) { return unsigned(rng() % n); };
        merge_model::Inputs in = merge_model::thin(merge_model::generate(prof, choose, 40000, 7), [&](std::string_view row) {
            return choose(2000) == 0 && row.substr(0, 12) != "NC_000002.11";  // that chromosome gets no row
        });
        std::string db = c.tool->db_has_header ? "chrom\tpos\tref\talt\n" : "", rows = "chr\tstart\tend\tref\talt\n";
        if (std::string(c.change) == "swap") {  // NC_000010.10 before NC_000002.11: tabix takes it, the merge cannot jump
            const std::size_t two = in.db.find("NC_000002.11"), ten = in.db.find("NC_000010.10");
            in.db = in.db.substr(0, two) + in.db.substr(ten) + in.db.substr(two, ten - two);
        }
        if (std::string(c.change) != "empty") db += in.db;
        rows += in.rows;
        rows += "NC_000010.10\t99999999\t0\tA\tG" + std::string(prof.row_fields > 5 ? std::string(15, '\t') : "") + "\n";
        write_file(p("plain.db"), db);
        write_file(p("rows.txt"), rows);
        ASSERT_EQ(sh(std::string("rm -f idx.gz*; bgzip -c plain.db > idx.gz && tabix -s1 -b2 -e2 ") +
                     (c.tool->db_has_header ? "-S1 " : "") + c.index + " idx.gz")
                      .status,
                  0);
        const std::string change = c.change;
        if (!change.empty() && change != "swap" && change != "fifo" && change != "empty") {
            ASSERT_EQ(sh(change).status, 0);
        }
        std::vector<std::string> args = {p("rows.txt"), "x", p("out")};
        if (c.tool == &score_tool) args.insert(args.begin() + 2, "score");
        std::string out[2];
        for (int indexed = 0; indexed < 2; ++indexed) {
            if (indexed && change == "fifo") {
                ASSERT_EQ(sh("rm -f rows.fifo && mkfifo rows.fifo && (cat rows.txt > rows.fifo &)").status, 0);
                args[0] = p("rows.fifo");
            }
            auto r = run_program(c.tool->program, args, {{c.tool->db_env, p(indexed ? "idx.gz" : "plain.db")}});
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.out, "END\n");
            if ((indexed || change == "empty") && *c.warned) {
                EXPECT_NE(r.err.find(c.warned), std::string::npos) << r.err;
            } else if (change != "swap") {
                EXPECT_EQ(r.err, "");
            }
            out[indexed] = read_file(p("out"));
        }
        EXPECT_EQ(out[1], out[0]);
        EXPECT_GT(std::count(out[0].begin(), out[0].end(), '\n'), 20);
    }
}

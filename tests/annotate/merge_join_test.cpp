// The merge engine on in-memory inputs.
#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <string>

#include "../bgzf_writer.hpp"
#include "annotator.hpp"
#include "merge_model.hpp"
#include "test_util.hpp"

namespace {

using namespace wes::annotate;

// Runs the engine over rows (no header) and db (no header) with a tool's profile and
// returns what it wrote.
std::string join(const JoinProfile& profile, const std::string& rows, const std::string& db,
                 JoinCounts* counts = nullptr, GroupBound bound = {}) {
    wes::test::ScratchDir dir;
    wes::LineReader r(wes::memory_byte_source(rows), "rows");
    wes::LineReader d(wes::memory_byte_source(db), "db");
    wes::OutFile out;
    EXPECT_TRUE(out.open(dir.path("out")));
    MergeJoin j(profile, r, d, out, nullptr, bound);
    EXPECT_EQ(j.run(), JoinEnd::done);
    EXPECT_TRUE(out.close());
    if (counts) *counts = j.counts();
    return wes::test::read_file(dir.path("out"));
}

// The same over the database as a BGZF file of blocks of block bytes, with its index (the
// CSI form when csi), through which the merge jumps; jumped tells whether it did.
std::string join_indexed(const JoinProfile& profile, const std::string& rows, const std::string& db,
                         std::size_t block, bool csi, bool& jumped) {
    wes::test::ScratchDir dir;
    const bgzf_writer::File f = bgzf_writer::compress(db, block);
    auto index = std::make_shared<wes::BgzfIndex>();
    std::string why;
    EXPECT_TRUE(index->parse(bgzf_writer::index(db, f, csi), 0, why)) << why;
    wes::LineReader r(wes::memory_byte_source(rows), "rows");
    wes::LineReader d(wes::memory_byte_source(f.bytes), "db");
    std::unique_ptr<wes::JumpAhead> jumps = wes::JumpAhead::follow(d, index);
    EXPECT_TRUE(jumps);
    wes::OutFile out;
    EXPECT_TRUE(out.open(dir.path("out")));
    MergeJoin j(profile, r, d, out, nullptr, {}, jumps.get());
    EXPECT_EQ(j.run(), JoinEnd::done);
    EXPECT_TRUE(out.close());
    jumped = jumps && jumps->jumped();
    return wes::test::read_file(dir.path("out"));
}

const std::string trace_db =
    "NC_000001.10\t100\tA\tG\t.\t.\t.\t0.11\n"
    "NC_000001.10\t200\tC\tT\t.\t.\t.\t0.22\n"
    "NC_000001.10\t200\tC\tA\t.\t.\t.\t0.33\n"
    "NC_000002.11\t50\tG\tT\t.\t.\t.\t0.44\n";

}  // namespace

TEST(MergeJoin, NineRowTrace) {
    std::string rows =
        "NC_000001.10\t100\t100\tA\tG\n"
        "NC_000001.10\t100\t100\tA\tG\n"
        "NC_000001.10\t150\t150\tT\tC\n"
        "NC_000001.10\t200\t200\tC\tA\n"
        "NC_000001.10\t200\t200\tC\tT\n"
        "NC_000002.11\t50\t50\tG\tT\n"
        "NC_000002.11\t60\t60\tA\tC\n"
        "NC_000001.10\t300\t300\tG\tA\n"
        "NC_000002.11\t50\t50\tG\tT\n";
    JoinCounts c;
    EXPECT_EQ(join(splice_tool.profile, rows, trace_db, &c),
              "NC_000001.10\t100\t100\tA\tG \t0.11\n"
              "NC_000001.10\t100\t100\tA\tG \t0.11\n"
              "NC_000001.10\t150\t150\tT\tC \tNA\n"
              "NC_000001.10\t200\t200\tC\tA \t0.33\n"
              "NC_000001.10\t200\t200\tC\tT \t0.22\n"  // the cursor holds both records at 200
              "NC_000002.11\t50\t50\tG\tT \t0.44\n"
              "NC_000002.11\t60\t60\tA\tC \tNA\n"
              "NC_000001.10\t300\t300\tG\tA \tNA\n"
              "NC_000002.11\t50\t50\tG\tT \t0.44\n");
    EXPECT_EQ(c.rows, 9u);
    EXPECT_EQ(c.hits, 6u);
    EXPECT_EQ(c.records, 4u);  // every database line read once
}

TEST(MergeJoin, OnSortedInputsEveryAnswerIsALookupOfTheFirstRecordWithTheKey) {
    std::size_t rows = 0;
    for (const AnnotatorTool* tool : {&splice_tool, &protein_tool, &score_tool, &popfreq_tool})
        for (unsigned seed = 1; seed <= 4; ++seed) {
            std::mt19937 rng(seed);
            const merge_model::Inputs in =
                merge_model::generate(tool->profile, [&](unsigned n) { return unsigned(rng() % n); }, 600);
            EXPECT_EQ(join(merge_model::answers_only(tool->profile), in.rows, in.db), in.answers)
                << tool->program << ", seed " << seed;
            rows += std::count(in.answers.begin(), in.answers.end(), '\n');
        }
    EXPECT_GT(rows, 10000u);
}

// Every eighth row of the model's (a few per 16 kb window, or a few per chromosome),
// and rows past the last record, against databases of many small blocks: through the
// index, the answers are the same.
TEST(MergeJoin, ThroughAnIndexTheAnswersAreTheSame) {
    unsigned jumped_runs = 0, runs = 0;
    for (const AnnotatorTool* tool : {&splice_tool, &protein_tool, &score_tool, &popfreq_tool})
        for (unsigned seed = 1; seed <= 6; ++seed) {
            std::mt19937 rng(seed);
            const unsigned step = seed % 3 == 0 ? 1 : seed % 3 == 1 ? 150 : 3000;
            auto choose = [&](unsigned n) { return unsigned(rng() % n); };
            merge_model::Inputs in = merge_model::thin(merge_model::generate(tool->profile, choose, 600, step),
                                                       [&](std::string_view) { return choose(8) == 0; });
            std::string rows = in.rows, answers = in.answers;
            std::string past = "\tA\tG";
            for (unsigned f = 6; f <= tool->profile.row_fields; ++f) past += "\t.";
            rows += "NC_000010.10\t99999999\t0" + past + "\nNC_000024.9\t5\t0" + past + "\n";
            answers += "-\n-\n";
            bool jumped = false;
            EXPECT_EQ(join_indexed(merge_model::answers_only(tool->profile), rows, in.db, seed % 2 ? 300 : 2000,
                                   seed % 4 < 2, jumped),
                      answers)
                << tool->program << ", seed " << seed;
            jumped_runs += jumped;
            ++runs;
        }
    EXPECT_EQ(jumped_runs, runs);
}

TEST(MergeJoin, NamesThatSortBeforeAccessionsNeverReadTheDatabase) {
    JoinCounts c;
    EXPECT_EQ(join(splice_tool.profile, "1\t100\t100\tA\tG\nNC_000001.10\t0\t0\tA\tG\n", trace_db, &c),
              "1\t100\t100\tA\tG \tNA\nNC_000001.10\t0\t0\tA\tG \tNA\n");
    EXPECT_EQ(c.records, 0u);
    // "chr1" sorts after every accession: the first such row drains the database.
    EXPECT_EQ(join(splice_tool.profile, "chr1\t100\t100\tA\tG\nchr2\t5\t5\tA\tG\n", trace_db, &c),
              "chr1\t100\t100\tA\tG \tNA\nchr2\t5\t5\tA\tG \tNA\n");
    EXPECT_EQ(c.records, 4u);
}

TEST(MergeJoin, KeysCompareAsWholeTextsCaseIncluded) {
    struct Alleles {
        const char *r1, *a1, *r2, *a2;
        bool same;
    };
    for (const Alleles& t : std::initializer_list<Alleles>{{"A-", "G", "A", "-G", true},
                                                          {"A-", "G", "A", "-T", false},  // the last byte counts
                                                          {"A", "G", "A", "G", true},
                                                          {"AC", "G", "A", "CG", false},
                                                          {"A", "G", "a", "g", false}})
        EXPECT_EQ(wes::same_alleles(t.r1, t.a1, t.r2, t.a2), t.same) << t.r1 << " " << t.a1 << " " << t.r2 << " " << t.a2;
    std::string db = "NC_000001.10\t100\tA\t-G\t.\t.\t.\tdash\n"
                     "NC_000001.10\t200\ta\tg\t.\t.\t.\tlower\n";
    // "A-" with "G" and "A" with "-G" both give the key text ...-100-A--G.
    EXPECT_EQ(join(splice_tool.profile, "NC_000001.10 100 100 A- G\nNC_000001.10 200 200 A G\n", db),
              "NC_000001.10 100 100 A- G \tdash\nNC_000001.10 200 200 A G \tNA\n");
}

TEST(MergeJoin, BlankAndUnreadableRowsLeaveTheCursorAlone) {
    std::string rows =
        "NC_000001.10\t100\t100\tA\tG\n"
        "\n"
        " \t \r\n"
        "NC_000001.10\t12abc\t200\tC\tA\n"  // no position: miss, no database read
        "NC_000001.10\t200\t200\tC\n"       // four fields
        "NC_000001.10\t200\t200\tC\tA\n";
    JoinCounts c;
    EXPECT_EQ(join(splice_tool.profile, rows, trace_db, &c),
              "NC_000001.10\t100\t100\tA\tG \t0.11\n"
              "NC_000001.10\t12abc\t200\tC\tA \tNA\n"
              "NC_000001.10\t200\t200\tC \tNA\n"
              "NC_000001.10\t200\t200\tC\tA \t0.33\n");
    EXPECT_EQ(c.rows, 4u);
}

TEST(MergeJoin, DatabaseLinesLackingFieldsAreSkipped) {
    std::string db = "\n"
                     "NC_000001.10\t100\tA\tG\t.\t.\t.\n"        // no value column
                     "NC_000001.10\tabc\tA\tG\t.\t.\t.\tbad\n"   // no position
                     "NC_000001.10\t100\tA\tG\t.\t.\t.\t0.5\n";
    EXPECT_EQ(join(splice_tool.profile, "NC_000001.10\t100\t100\tA\tG\n", db),
              "NC_000001.10\t100\t100\tA\tG \t0.5\n");
    // A short record never becomes the cursor: the row before it still reaches 0.5.
    std::string db2 = "NC_000001.10\t150\tA\tG\n"
                      "NC_000001.10\t200\tA\tG\t.\t.\t.\t0.7\n";
    EXPECT_EQ(join(splice_tool.profile, "NC_000001.10 120 1 A G\nNC_000001.10 200 1 A G\n", db2),
              "NC_000001.10 120 1 A G \tNA\nNC_000001.10 200 1 A G \t0.7\n");
}

TEST(MergeJoin, LongFieldsCarriageReturnsAndALastLineWithoutNewline) {
    std::string alt(5000, 'T');
    std::string value(3000, 'v');
    std::string db = "NC_000001.10\t100\tA\t" + alt + "\t.\t.\t.\t" + value + "\n" +
                     "NC_000001.10\t300\tC\tG\t.\t.\t.\t0.3\r\n";
    std::string rows = "NC_000001.10\t100\t100\tA\t" + alt + "\r\n" + "NC_000001.10\t300\t300\tC\tG";
    EXPECT_EQ(join(splice_tool.profile, rows, db),
              "NC_000001.10\t100\t100\tA\t" + alt + "\r \t" + value + "\n" + "NC_000001.10\t300\t300\tC\tG \t0.3\n");
}

TEST(MergeJoin, ProteinValuesAndFiller) {
    std::string db = "NC_000001.10 100 x A G D 0.9 P 0.8 extra\n"
                     "NC_000001.10 200 x C T T 0.1 B\n";  // eight fields: skipped
    EXPECT_EQ(join(protein_tool.profile, "NC_000001.10 100 100 A G\nNC_000001.10 200 200 C T\n", db),
              "NC_000001.10 100 100 A G \tD|0.9|P|0.8\nNC_000001.10 200 200 C T \tNA|NA_NA|NA|NA\n");
}

TEST(MergeJoin, ScoreRowsAreRebuilt) {
    std::string db = "NC_000001.10\t100\tx\tA\tG\t0.75\n";
    EXPECT_EQ(join(score_tool.profile,
                   "NC_000001.10 +0100 105 A G more\nNC_000001.10 1x 2 C T\nNC_000001.10 300\n", db),
              "NC_000001.10\t100\t100\tA\tG\t0.75\n"
              "NC_000001.10\t1x\t1x\tC\tT\tNA\n"
              "NC_000001.10\t300\t300\t\t\tNA\n");
}

namespace {
std::string popfreq_row(const std::string& chrom, const std::string& pos, const std::string& ref,
                        const std::string& alt, const std::string& tail = "") {
    std::string r = chrom + "\t" + pos + "\t" + pos + "\t" + ref + "\t" + alt;
    for (int i = 6; i <= 20; ++i) r += "\t" + std::string(i == 19 ? "." : "f" + std::to_string(i));
    return r + tail + "\n";
}
std::string popfreq_record(const std::string& chrom, const std::string& pos, const std::string& ref,
                           const std::string& alt, const std::string& v11, const std::string& v14) {
    return chrom + "\t" + pos + "\t" + ref + "\t" + alt + "\t5\t6\t7\t8\t9\t10\t" + v11 + "\t12\t13\t" + v14 +
           "\t15\n";
}
std::string revised(std::string row, const std::string& value) {
    std::size_t p = row.find("\t.\t");
    return row.replace(p + 1, 1, value);
}
}  // namespace

TEST(MergeJoin, AllelesInAnotherOrderAndDeletionsPlacedOnFindTheirRecords) {
    EXPECT_EQ(join(splice_tool.profile, "NC_000001.10 102 102 C G\nNC_000001.10 102 102 C T\n",
                   "NC_000001.10\t102\tC\tT\t.\t.\t.\t0.1\nNC_000001.10\t102\tC\tG\t.\t.\t.\t0.2\n"),
              "NC_000001.10 102 102 C G \t0.2\nNC_000001.10 102 102 C T \t0.1\n");
    // 101 GCA G is placed at 102 (CA -): it must not pass 101 G T, nor be lost to 102. Its
    // fields are told apart by runs of white space; the next line begins with a blank.
    EXPECT_EQ(join(merge_model::answers_only(popfreq_tool.profile), "NC_000001.10 101 101 G T\nNC_000001.10 102 102 CA -\n",
                   "NC_000001.10 101 \t GCA  G\t5 6 7 8 9 10 0.3 12 13 0.5 15\n " +
                       popfreq_record("NC_000001.10", "101", "G", "T", "0.1", "0.2")),
              "0.1|0.2\n0.3|0.5\n");
}

TEST(MergeJoin, PastItsBoundAPlaceIsMatchedOneRecordAtATime) {
    // Five records at 5: past the bound only the record that matched is kept. Deletions held
    // at 10 are let go in file order past the bound, before the record at 10, which then misses.
    const std::string db = "NC_000001.10 5 A C . . . c1\nNC_000001.10 5 A G . . . g1\nNC_000001.10 5 A T . . . t1\n"
                           "NC_000001.10 5 C A . . . a1\nNC_000001.10 5 A T . . . t2\nNC_000001.10 6 A C . . . c6\n";
    const std::string rows = "NC_000001.10 5 5 A T\nNC_000001.10 5 5 C A\nNC_000001.10 5 5 A C\nNC_000001.10 5 5 A T\n"
                             "NC_000001.10 5 5 C A\nNC_000001.10 6 6 A C\n";
    const std::string dels = "NC_000001.10 10 AC A . . . . . . d . . 1\nNC_000001.10 10 AG A . . . . . . d . . 2\n"
                             "NC_000001.10 10 AT A . . . . . . d . . 3\nNC_000001.10 10 C T . . . . . . s . . 4\n";
    const std::string del_rows = "NC_000001.10 10 10 C T\nNC_000001.10 11 11 G -\n";
    struct Case {
        const JoinProfile& profile;
        GroupBound bound;
        std::string rows, db, want;
    };
    for (const Case& c : std::initializer_list<Case>{
             {splice_tool.profile, {2, 1 << 20}, rows, db, "t1\na1\nc1\nt2\n-\nc6\n"},
             {splice_tool.profile, {100, 32}, rows, db, "t1\na1\nc1\nt2\n-\nc6\n"},  // two records of 16 bytes
             {splice_tool.profile, {6, 1 << 20}, rows, db, "t1\na1\nc1\nt1\na1\nc6\n"},
             {popfreq_tool.profile, {2, 1 << 20}, del_rows, dels, "-\nd|2\n"},
             {popfreq_tool.profile, {3, 1 << 20}, del_rows, dels, "s|4\nd|2\n"},
             // 17 bytes held at 10, then 36 at 11: the first is due before the second is let go.
             {popfreq_tool.profile, {100, 20}, "NC_000001.10 11 11 C -\nNC_000001.10 12 12 T -\n",
              dels.substr(0, dels.find('\n') + 1) + popfreq_record("NC_000001.10", "11", "AT", "A", "d", std::string(20, '5')),
              "d|1\nd|" + std::string(20, '5') + "\n"}})
        EXPECT_EQ(join(merge_model::answers_only(c.profile), c.rows, c.db, nullptr, c.bound), c.want)
            << c.bound.records << " records, " << c.bound.bytes << " bytes";
}

TEST(MergeJoin, PopulationFrequencySixRowTrace) {
    std::string db = popfreq_record("NC_000001.10", "100", "A", "G", "0.01", "0.02") +
                     popfreq_record("NC_000001.10", "150", "A", "G", "0.07", "0.08") +
                     popfreq_record("NC_000001.10", "200", "A", "AT", "0.10", "0.12") +
                     popfreq_record("NC_000001.10", "300", "GCA", "G", "0.03", "0.05") +
                     popfreq_record("NC_000001.10", "400", "AT", "GC", "0.20", "0.30");
    std::string r1 = popfreq_row("NC_000001.10", "100", "A", "G");
    std::string r1b = popfreq_row("NC_000001.10", "151", "A", "G");  // one past a plain record's alleles
    std::string r2 = popfreq_row("NC_000001.10", "200", "-", "T");
    std::string r3 = popfreq_row("NC_000001.10", "300", "CA", "-");
    std::string r4 = popfreq_row("NC_000001.10", "301", "CA", "-");
    std::string r5 = popfreq_row("NC_000001.10", "400", "AT", "GC");
    std::string r6 = popfreq_row("NC_000001.10", "500", "C", "T");
    EXPECT_EQ(join(popfreq_tool.profile, r1 + r1b + r2 + r3 + r4 + r5 + r6, db),
              revised(r1, "0.01|0.02") + r1b + revised(r2, "0.10|0.12") + r3 + revised(r4, "0.03|0.05") +
                  revised(r5, "0.20|0.30") + r6);
}

TEST(MergeJoin, PopulationFrequencyRowShapes) {
    std::string db = popfreq_record("NC_000001.10", "100", "A", "G", "a", "b") +
                     popfreq_record("NC_000001.10", "200", "-", "AT", "c", "d") +
                     popfreq_record("NC_000001.10", "300", "C", "T", "e", "f");
    // Blank-separated with extra fields: tab-joined, position as a number, extras kept.
    std::string wide = "NC_000001.10 0100 100 A G 6 7 8 9 10 11 12 13 14 15 16 17 18 . 20 21 22\n";
    std::string narrow = "NC_000001.10\t200\t200\t-\tT\tonly six\n";  // fewer than twenty fields
    std::string last = popfreq_row("NC_000001.10", "300", "C", "T");
    last.pop_back();  // no newline at the end of the file
    EXPECT_EQ(join(popfreq_tool.profile, wide + narrow + last, db),
              "NC_000001.10\t100\t100\tA\tG\t6\t7\t8\t9\t10\t11\t12\t13\t14\t15\t16\t17\t18\ta|b\t20\t21\t22\n" +
                  narrow + revised(last + "\n", "e|f"));
}

TEST(MergeJoin, DatabasePositionsOfEveryShape) {
    // Short and long digit runs, signs, leading zeros; "12x" and "1.5" are no positions.
    std::string db = "NC_000001.10\t+5\tA\tG\t.\t.\t.\tplus\n"
                     "NC_000001.10\t0012\tA\tG\t.\t.\t.\tzeros\n"
                     "NC_000001.10\t13x\tA\tG\t.\t.\t.\tbad\n"
                     "NC_000001.10\t13\tA\tG\t.\t.\t.\tgood\n"
                     "NC_000001.10\t1.5e7\tA\tG\t.\t.\t.\tbad\n"
                     "NC_000001.10\t123456789\tA\tG\t.\t.\t.\tnine\n"
                     "NC_000001.10\t2147483648\tA\tG\t.\t.\t.\ttoo_big\n"
                     "NC_000002.11 7 A G . . . short_line_7\n";
    std::string rows = "NC_000001.10 5 5 A G\nNC_000001.10 12 12 A G\nNC_000001.10 13 13 A G\n"
                       "NC_000001.10 123456789 1 A G\nNC_000002.11 7 7 A G\n";
    EXPECT_EQ(join(splice_tool.profile, rows, db),
              "NC_000001.10 5 5 A G \tplus\nNC_000001.10 12 12 A G \tzeros\nNC_000001.10 13 13 A G \tgood\n"
              "NC_000001.10 123456789 1 A G \tnine\nNC_000002.11 7 7 A G \tshort_line_7\n");
}

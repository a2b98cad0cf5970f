#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "line_reader.hpp"
#include "repeat_sweep.hpp"

namespace {

struct Row {
    const char* chrom;
    long long start, end;
};

// Marks rows in order against the repeat file behind r; returns the marks.
std::vector<std::string> sweep(wes::LineReader& r, const std::vector<Row>& rows) {
    wes::RepeatSweep s(r);
    std::vector<std::string> marks;
    for (const Row& row : rows) {
        wes::RepeatRow rr{row.chrom, row.start, row.end};
        std::string_view m;
        EXPECT_TRUE(s.mark(rr, m));
        marks.emplace_back(m);
    }
    return marks;
}

std::vector<std::string> sweep(const std::string& repeats, const std::vector<Row>& rows) {
    wes::LineReader r(wes::memory_byte_source(repeats), "ssr");
    return sweep(r, rows);
}

using Marks = std::vector<std::string>;

}  // namespace

TEST(RepeatScan, RowFieldsAndTheirFaults) {
    wes::RepeatRow row;
    EXPECT_EQ(wes::scan_row("", row), wes::RowScan::blank);
    EXPECT_EQ(wes::scan_row(" \t\r", row), wes::RowScan::blank);
    EXPECT_EQ(wes::scan_row("NC_000001.10\t5", row), wes::RowScan::malformed);
    EXPECT_EQ(wes::scan_row("NC_000001.10\t12abc\t14", row), wes::RowScan::malformed);
    EXPECT_EQ(wes::scan_row("NC_000001.10\t12\t1.5", row), wes::RowScan::malformed);
    ASSERT_EQ(wes::scan_row("  NC_000001.10\r\v12\f+14\r", row), wes::RowScan::row);
    EXPECT_EQ(row.chrom, "NC_000001.10");
    EXPECT_EQ(row.start, 12);
    EXPECT_EQ(row.end, 14);
}

TEST(RepeatScan, IntervalNeedsFieldsOneTwoThreeAndSix) {
    wes::RepeatInterval iv;
    EXPECT_FALSE(wes::scan_interval("NC_000001.10 10 20 a b", iv));
    EXPECT_FALSE(wes::scan_interval("NC_000001.10 10x 20 a b (A)5", iv));
    EXPECT_FALSE(wes::scan_interval("", iv));
    ASSERT_TRUE(wes::scan_interval("NC_000001.10\t10\t20\ta\tb\t(A)5\textra", iv));
    EXPECT_EQ(iv.chrom, "NC_000001.10");
    EXPECT_EQ(iv.start, 10);
    EXPECT_EQ(iv.end, 20);
    EXPECT_EQ(iv.counts, "(A)5");
}

TEST(RepeatSweep, InitialCursorCoversPositionOneWithoutReading) {
    wes::LineReader r(wes::memory_byte_source("NC_000001.10 1 5 a b (A)9\n"), "ssr");
    Marks m = sweep(r, {{"NC_000001.10", 1, 1}, {"NC_000001.10", 0, 3}});
    EXPECT_EQ(m, (Marks{"N=0", "N=0"}));
    EXPECT_EQ(r.line_number(), 0u);
}

TEST(RepeatSweep, TouchingEndsOverlap) {
    // Against the interval being read forward and against the cursor, at both ends.
    const std::string ssr = "NC_000001.10 100 110 a b (A)4\nNC_000001.10 200 210 a b (A)5\n";
    struct Case {
        std::vector<Row> rows;
        Marks marks;
    };
    for (const Case& c : std::vector<Case>{
             {{{"NC_000001.10", 90, 100}, {"NC_000001.10", 110, 120}, {"NC_000001.10", 111, 150},
               {"NC_000001.10", 210, 300}},
              {"Y=4", "Y=4", "N=0", "Y=5"}},
             {{{"NC_000001.10", 110, 110}}, {"Y=4"}},
             {{{"NC_000001.10", 150, 150}, {"NC_000001.10", 190, 200}, {"NC_000001.10", 210, 210}},
              {"N=0", "Y=5", "Y=5"}},
         })
        EXPECT_EQ(sweep(ssr, c.rows), c.marks);
}

TEST(RepeatSweep, EarlierIntervalsAreNotSeenAgain) {
    // Once the cursor has moved on to the second interval, a row is compared only with
    // it and what follows, though the first interval (count 7) also covers 190.
    const std::string ssr =
        "NC_000001.10 100 200 a b (A)7\n"
        "NC_000001.10 150 500 a b (A)3\n";
    EXPECT_EQ(sweep(ssr, {{"NC_000001.10", 180, 180}, {"NC_000001.10", 300, 300}, {"NC_000001.10", 190, 190},
                          {"NC_000001.10", 120, 120}}),
              (Marks{"Y=7", "Y=3", "Y=3", "N=0"}));
}

TEST(RepeatSweep, UnusableRepeatLinesNeverBecomeTheCursor) {
    const std::string ssr =
        "NC_000001.10 100 200 a b\n"        // no field 6
        "NC_000001.10 1x0 200 a b (A)8\n"   // start not a number
        "\n"
        "NC_000001.10 300 400 a b (A)6\n";
    EXPECT_EQ(sweep(ssr, {{"NC_000001.10", 150, 150}, {"NC_000001.10", 350, 350}}), (Marks{"N=0", "Y=6"}));
}

TEST(RepeatSweep, ChromosomeOrderAndExhaustion) {
    const std::string ssr = "NC_000001.10 10 20 a b (A)4\nNC_000003.11 10 20 a b (A)8\n";
    EXPECT_EQ(sweep(ssr,
                    {
                        {"NC_000002.11", 15, 15},  // between the two chromosomes: stops on NC_000003.11
                        {"NC_000001.10", 15, 15},  // sorts before the cursor: no read
                        {"NC_000003.11", 15, 15},  // inside the cursor
                        {"NC_000003.11", 30, 30},  // end of the file: cursor kept
                        {"NC_000003.11", 18, 18},  // still inside the kept cursor
                        {"NC_000004.11", 1, 1},
                    }),
              (Marks{"N=0", "N=0", "Y=8", "N=0", "Y=8", "N=0"}));
    // chr names sort after every accession: the whole file is read and nothing matches.
    EXPECT_EQ(sweep(ssr, {{"chr1", 15, 15}, {"chr3", 15, 15}}), (Marks{"N=0", "N=0"}));
}

TEST(RepeatSweep, ReadErrorOfTheRepeatFileIsNotAnEnd) {
    class Failing final : public wes::ByteSource {
    public:
        std::ptrdiff_t fill(wes::Buffer&) override {
            error_ = "Input/output error";
            return -1;
        }
    };
    wes::LineReader r(std::make_unique<Failing>(), "ssr");
    wes::RepeatSweep s(r);
    std::string_view m;
    EXPECT_FALSE(s.mark(wes::RepeatRow{"NC_000001.10", 50, 50}, m));
    EXPECT_EQ(r.error(), "Input/output error");
}

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "counters.hpp"
#include "report_writer.hpp"

namespace {

std::string ratio(std::int64_t num, std::int64_t den) {
    std::string s;
    wes::qc::append_ratio(s, num, den);
    return s;
}

std::string line_of(const std::string& text, int n) {  // n counts from 1
    std::size_t pos = 0;
    for (int i = 1; i < n; ++i) pos = text.find('\n', pos) + 1;
    return text.substr(pos, text.find('\n', pos) - pos);
}

}  // namespace

TEST(QcReport, RatiosInSinglePrecisionAndNanForEmptyCycles) {
    EXPECT_EQ(ratio(1, 3), "\t0.3333");
    EXPECT_EQ(ratio(2, 3), "\t0.6667");
    EXPECT_EQ(ratio(5, 5), "\t1.0000");
    EXPECT_EQ(ratio(0, 7), "\t0.0000");
    EXPECT_EQ(ratio(0, 0), "\t-nan");
    // The quotient is a float: 3/160 is 0.01875 exactly, which a float holds as
    // 0.018750000745 and a double as 0.018749999999.
    EXPECT_EQ(ratio(3, 160), "\t0.0188");
}

TEST(QcReport, EmptyRunReportsNanEverywhereAndZeroTotals) {
    auto res = std::make_unique<wes::qc::Counters>();
    wes::qc::RunTotals s = wes::qc::summarize(*res);
    std::string q = wes::qc::quality_report(*res);
    std::string gc = wes::qc::gc_report(*res);
    EXPECT_EQ(line_of(gc, 1), "GC\tA\tT\tC\tG\tN");
    EXPECT_EQ(line_of(gc, 2), "1\t-nan\t-nan\t-nan\t-nan\t-nan");
    EXPECT_EQ(line_of(gc, 321), "320\t-nan\t-nan\t-nan\t-nan\t-nan");
    EXPECT_EQ(line_of(q, 1).substr(0, 10), "MQ\t0\t1\t2\t3");
    EXPECT_EQ(line_of(q, 1).substr(line_of(q, 1).size() - 6), "\t39\t40");
    EXPECT_EQ(std::count(q.begin(), q.end(), '\n'), 321);
    EXPECT_EQ(std::count(gc.begin(), gc.end(), '\n'), 321);
    EXPECT_EQ(wes::qc::summary_report(s),
              "read1_len\t0\nread2_len\t0\npair_number\t0\nread1base_number\t0\nread2base_number\t0\n"
              "base_number\t0\nGC_number\t0\nGC_content\t-nan\nQ_20\t-nan\nQ_30\t-nan\nQ_tot\t0\n");
}

TEST(QcReport, TotalsAreExactFarBeyondSinglePrecision) {
    auto res = std::make_unique<wes::qc::Counters>();
    // A whole exome: ten thousand million bases spread over two cycles of read 1 and
    // one of read 2, with odd counts that no float holds.
    res->base_count[0][3] = 4'000'000'001;   // C
    res->base_count[1][1] = 3'000'000'003;   // A
    res->base_count[160][4] = 3'000'000'005; // G
    res->qual_count[0][40] = 4'000'000'001;
    res->qual_count[1][25] = 3'000'000'003;
    res->qual_count[160][2] = 3'000'000'005;
    res->pair_number = 6'000'000'000;
    wes::qc::RunTotals s = wes::qc::summarize(*res);
    EXPECT_EQ(wes::qc::summary_report(s),
              "read1_len\t2\nread2_len\t1\npair_number\t6000000000\n"
              "read1base_number\t7000000004\nread2base_number\t3000000005\n"
              "base_number\t10000000009\nGC_number\t7000000006\nGC_content\t0.700000\n"
              "Q_20\t0.700000\nQ_30\t0.400000\nQ_tot\t10000000009\n");
    // The counts are only read: a second summary is the first.
    EXPECT_EQ(wes::qc::summary_report(wes::qc::summarize(*res)), wes::qc::summary_report(s));
}

TEST(QcReport, ReadLengthsCountFilledCyclesOfEachMate) {
    auto res = std::make_unique<wes::qc::Counters>();
    for (int r = 0; r < 160; ++r) res->base_count[r][1] = 1;   // 160 cycles of read 1
    for (int r = 160; r < 310; ++r) res->base_count[r][5] = 2; // 150 of read 2
    wes::qc::RunTotals s = wes::qc::summarize(*res);
    EXPECT_EQ(s.read1_len, 160u);
    EXPECT_EQ(s.read2_len, 150u);
    std::string gc = wes::qc::gc_report(*res);
    EXPECT_EQ(line_of(gc, 161), "160\t1.0000\t0.0000\t0.0000\t0.0000\t0.0000");
    EXPECT_EQ(line_of(gc, 311), "310\t0.0000\t0.0000\t0.0000\t0.0000\t1.0000");
    EXPECT_EQ(line_of(gc, 312), "311\t-nan\t-nan\t-nan\t-nan\t-nan");
}

TEST(QcReport, SummaryFractionsAreSinglePrecisionQuotients) {
    auto summary_tail = [](const wes::qc::Counters& res) {
        std::string r = wes::qc::summary_report(wes::qc::summarize(res));
        return r.substr(r.find("GC_number"));
    };
    // Read 1 GGGGGGGGGGGGGGA / IIIIIIIIIIIIII!, read 2 CCCCCCCCCCCCCA / IIIIIIIIIIIII!:
    // 27/29 is 0.931035 as a float quotient, 0.931034 in double.
    auto res = std::make_unique<wes::qc::Counters>();
    for (int r = 0; r < 14; ++r) res->base_count[r][4] = res->qual_count[r][40] = 1;
    res->base_count[14][1] = res->qual_count[14][0] = 1;
    for (int r = 160; r < 173; ++r) res->base_count[r][3] = res->qual_count[r][40] = 1;
    res->base_count[173][1] = res->qual_count[173][0] = 1;
    EXPECT_EQ(summary_tail(*res), "GC_number\t27\nGC_content\t0.931035\nQ_20\t0.931035\nQ_30\t0.931035\nQ_tot\t29\n");
    // N is no G or C; a score of 29 counts for Q20, not for Q30.
    auto n = std::make_unique<wes::qc::Counters>();
    n->base_count[0][5] = n->qual_count[0][29] = 1;
    EXPECT_EQ(summary_tail(*n), "GC_number\t0\nGC_content\t0.000000\nQ_20\t1.000000\nQ_30\t0.000000\nQ_tot\t1\n");
    // Counts far above 2^24 (and 2^31): 2159377835 / 3361974756 is 0.642295 as a float
    // quotient, 0.642294 in double.
    auto big = std::make_unique<wes::qc::Counters>();
    big->base_count[0][3] = 3'361'974'756;
    big->qual_count[0][20] = 2'159'377'835;
    big->qual_count[0][2] = 3'361'974'756 - 2'159'377'835;
    EXPECT_EQ(summary_tail(*big),
              "GC_number\t3361974756\nGC_content\t1.000000\nQ_20\t0.642295\nQ_30\t0.000000\nQ_tot\t3361974756\n");
}

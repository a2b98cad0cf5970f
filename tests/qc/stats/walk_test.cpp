#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "read_walk.hpp"

namespace {

using wes::qc::BadQuality;
using wes::qc::MateCounts;
using wes::qc::ReadLines;

enum { A = 1, T = 2, C = 3, G = 4, N = 5 };

bool walk(MateCounts& m, const std::string& seq, const std::string& qual, BadQuality* bad = nullptr,
          bool newline = true) {
    BadQuality b;
    bool ok = wes::qc::walk_read(m, ReadLines{seq, qual, newline}, b);
    if (bad) *bad = b;
    return ok;
}

std::int64_t base_total(const MateCounts& m, int cycle) {
    std::int64_t t = 0;
    for (int c = 1; c <= 5; ++c) t += m.base_count(cycle, c);
    return t;
}

}  // namespace

TEST(QcWalk, CountsEachBaseWithItsScore) {
    MateCounts m;
    ASSERT_TRUE(walk(m, "ACGTN", "II5+!"));
    EXPECT_EQ(m.base_count(0, A), 1);
    EXPECT_EQ(m.base_count(1, C), 1);
    EXPECT_EQ(m.base_count(2, G), 1);
    EXPECT_EQ(m.base_count(3, T), 1);
    EXPECT_EQ(m.base_count(4, N), 1);
    EXPECT_EQ(m.qual_count(0, 40), 1);
    EXPECT_EQ(m.qual_count(1, 40), 1);
    EXPECT_EQ(m.qual_count(2, 20), 1);
    EXPECT_EQ(m.qual_count(3, 10), 1);
    EXPECT_EQ(m.qual_count(4, 0), 1);
    EXPECT_EQ(base_total(m, 5), 0);
    EXPECT_EQ(m.records, 1u);
}

TEST(QcWalk, ScoresAboveFortyShareTheTopColumn) {
    MateCounts m;
    ASSERT_TRUE(walk(m, "AAAA", "IJ~\x7f"));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(m.qual_count(i, 40), 1) << i;
}

TEST(QcWalk, StopsAtTheFirstByteThatIsNoUpperCaseBase) {
    // Lower case, CR, other IUPAC codes and '.' end the walk; the bad quality bytes
    // behind the stop are never looked at.
    for (const std::string& seq : std::vector<std::string>{"ACgT", "AC\rT", "ACRT", "AC.T", std::string("AC\0T", 4)}) {
        MateCounts m;
        ASSERT_TRUE(walk(m, seq, "II  ")) << seq;
        EXPECT_EQ(base_total(m, 0) + base_total(m, 1), 2) << seq;
        EXPECT_EQ(base_total(m, 2), 0) << seq;
    }
    MateCounts crlf;
    ASSERT_TRUE(walk(crlf, "ACGT\r", "IIII\r"));
    EXPECT_EQ(base_total(crlf, 3), 1);
    EXPECT_EQ(base_total(crlf, 4), 0);
}

TEST(QcWalk, QualityErrorsAreReportedAndLeaveTheCountsAsTheyWere) {
    // A byte below '!' or of 128 and above at a counted position, or none at all where
    // the quality line ends before the bases do (its newline, or NUL past a last line).
    struct Case {
        ReadLines read;
        std::string read1, read2;  // the messages for read 1 and read 2
    };
    const Case cases[] = {
        {{"ACGT", "II I", true}, "MQ error !\nACGT\n\nII I\n\n2\n \n-1\n", "MQ error !\t:-1\n"},
        {{"ACGT", "III\x80", true}, "MQ error !\nACGT\n\nIII\x80\n\n3\n\x80\n-161\n", "MQ error !\t:-161\n"},
        {{"ACGT", "I\tII", true}, "MQ error !\nACGT\n\nI\tII\n\n1\n\t\n-24\n", "MQ error !\t:-24\n"},
        {{"ACGT", "III", true}, "MQ error !\nACGT\n\nIII\n\n3\n\n\n-23\n", "MQ error !\t:-23\n"},
        {{"ACGT", "II", false}, "MQ error !\nACGT\n\nII\n2\n\n-33\n", "MQ error !\t:-33\n"},
        {{"ACGTA", "IIII", true}, "MQ error !\nACGTA\n\nIIII\n\n4\n\n\n-23\n", "MQ error !\t:-23\n"},
    };
    MateCounts m;
    ASSERT_TRUE(walk(m, "ACGT", "IIII"));
    const MateCounts before = m;
    for (const Case& c : cases) {
        BadQuality bad;
        EXPECT_FALSE(wes::qc::walk_read(m, c.read, bad)) << c.read1;
        EXPECT_EQ(wes::qc::quality_error_text(1, c.read, bad), c.read1);
        EXPECT_EQ(wes::qc::quality_error_text(2, c.read, bad), c.read2);
        EXPECT_TRUE(m.base == before.base && m.qual == before.qual && m.records == 1u) << c.read1;
    }
}

TEST(QcWalk, ReadsOfUpTo160BasesCountInFullAndLongerOnesAreNoted) {
    MateCounts m;
    ASSERT_TRUE(walk(m, std::string(160, 'G'), std::string(160, '?')));
    EXPECT_EQ(m.base_count(159, G), 1);
    EXPECT_EQ(m.qual_count(159, 30), 1);
    EXPECT_EQ(m.long_reads, 0u);
    // Cycle 161 and on lie outside the layout, quality bytes there included.
    ASSERT_TRUE(walk(m, std::string(170, 'C'), std::string(160, '?') + std::string(10, ' ')));
    EXPECT_EQ(m.base_count(159, C), 1);
    EXPECT_EQ(m.long_reads, 1u);
    // A read that stops at cycle 160 anyway is not longer.
    ASSERT_TRUE(walk(m, std::string(160, 'C') + "acgt", std::string(164, '?')));
    EXPECT_EQ(m.long_reads, 1u);
}

TEST(QcWalk, CountsStayExactPastTheNarrowTables) {
    // More reads than a narrow cell holds: the cells are carried into the wide ones.
    MateCounts m;
    const int n = 3 * 65536 + 17;
    for (int i = 0; i < n; ++i) ASSERT_TRUE(walk(m, i % 2 ? "AC" : "A", i % 2 ? "I5" : "?"));
    EXPECT_EQ(m.base_count(0, A), n);
    EXPECT_EQ(m.base_count(1, C), n / 2);
    EXPECT_EQ(m.qual_count(0, 40), n / 2);
    EXPECT_EQ(m.qual_count(0, 30), n - n / 2);
    EXPECT_EQ(m.qual_count(1, 20), n / 2);
    EXPECT_EQ(m.records, static_cast<std::uint64_t>(n));
}

TEST(QcWalk, BlocksOfSixteenCountAsOneByteAtATime) {
    // Random reads of every length to 200 with stops (no base, no score, a short quality
    // line) anywhere, a block's edges included, against the walk's rules written plainly.
    std::mt19937 rng(11);
    MateCounts m;
    std::vector<std::array<std::int64_t, 6>> base(160, std::array<std::int64_t, 6>{});
    std::vector<std::array<std::int64_t, 41>> qual(160, std::array<std::int64_t, 41>{});
    std::uint64_t records = 0, long_reads = 0;
    auto is_base = [](char c) { return c == 'A' || c == 'C' || c == 'G' || c == 'T' || c == 'N'; };
    for (int r = 0; r < 3000; ++r) {
        const std::size_t n = rng() % 201, qn = rng() % 8 ? n : rng() % 201;
        std::string seq, q;
        for (std::size_t k = 0; k < n; ++k) seq += rng() % 300 ? "ACGTN"[rng() % 5] : "acR.\r"[rng() % 5];
        for (std::size_t k = 0; k < qn; ++k) q += static_cast<char>(rng() % 300 ? '!' + rng() % 94 : rng() % 256);
        const std::size_t limit = std::min<std::size_t>(n, 160), paired = std::min(limit, qn);
        std::size_t i = 0;
        while (i < paired && is_base(seq[i]) && static_cast<signed char>(q[i]) >= '!') ++i;
        const bool fails = i < limit && is_base(seq[i]);
        BadQuality bad;
        ASSERT_EQ(walk(m, seq, q, &bad), !fails) << seq << " " << q;
        if (fails) {
            EXPECT_EQ(bad.pos, i);
            continue;
        }
        for (std::size_t k = 0; k < i; ++k) {
            ++base[k][std::string_view(" ATCGN").find(seq[k])];
            ++qual[k][std::min(q[k] - '!', 40)];
        }
        ++records;
        long_reads += i == 160 && n > 160 && is_base(seq[160]);
    }
    for (int k = 0; k < 160; ++k) {
        for (int c = 1; c <= 5; ++c) EXPECT_EQ(m.base_count(k, c), base[k][c]) << k << " " << c;
        for (int s = 0; s <= 40; ++s) EXPECT_EQ(m.qual_count(k, s), qual[k][s]) << k << " " << s;
    }
    EXPECT_EQ(m.records, records);
    EXPECT_EQ(m.long_reads, long_reads);
}

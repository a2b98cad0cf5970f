#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "duplicates.hpp"
#include "read_figures.hpp"

namespace {

using wes::qc::ReadFigures;
using Scan = wes::qc::detail::Scan;

const std::string k_illumina = "AGATCGGAAGAG", k_nextera = "CTGTCTCTTATA", k_small_rna = "TGGAATTCTCGG";

// length bases of a repeating pattern that holds no adapter start.
std::string filler(std::size_t length, const char* pattern = "ACCA") {
    std::string s;
    for (std::size_t i = 0; i < length; ++i) s += pattern[i % 4];
    return s;
}

std::string with_at(std::string read, std::size_t at, const std::string& what) { return read.replace(at, what.size(), what); }

// Every scan this processor runs gives f for seq and qual.
void expect_figures(const std::string& seq, const std::string& qual, const ReadFigures& f, const std::string& name) {
    for (Scan s : {Scan::bytewise, Scan::sse2, Scan::avx2}) {
        if (!wes::qc::detail::scan_runs(s)) continue;
        ReadFigures got = wes::qc::detail::read_figures_by(s, seq, qual);
        EXPECT_EQ(got.length, f.length) << name << " scan " << static_cast<int>(s);
        EXPECT_EQ(got.gc_percent, f.gc_percent) << name << " scan " << static_cast<int>(s);
        EXPECT_EQ(got.mean_quality, f.mean_quality) << name << " scan " << static_cast<int>(s);
        EXPECT_EQ(got.adapter, f.adapter) << name << " scan " << static_cast<int>(s);
        if (f.adapter >= 0) {
            EXPECT_EQ(got.adapter_at, f.adapter_at) << name << " scan " << static_cast<int>(s);
        }
    }
}

}  // namespace

TEST(QcReadFigures, WholeReadFiguresOnEveryScan) {
    struct Case {
        const char* name;
        std::string seq, qual;
        ReadFigures want;  // length, GC %, mean score, adapter, where
    };
    const std::string q150(150, 'I');
    const std::vector<Case> cases = {
        {"half GC", "GGCCAATT", "IIII5555", {8, 50, 30, -1, 0}},
        {"GC rounds half up", "GAAAAAAA", "!!!!!!!!", {8, 13, 0, -1, 0}},
        {"either case, N and other bytes count in the length", "gcNa.t", "IIIIII", {6, 33, 40, -1, 0}},
        {"CR of a CRLF line end", "ACGT\r", "IIII\r", {4, 50, 40, -1, 0}},
        {"mean score: whole part, bytes below ! count below 0", "AAAA", "  II", {4, 0, 19, -1, 0}},
        {"mean score: at most 93", "AA", "\xff\xff", {2, 0, 93, -1, 0}},
        {"mean score of a longer quality line", "A", "II5", {1, 0, 33, -1, 0}},
        {"no bytes", "", "", {0, -1, -1, -1, 0}},
        {"Illumina at cycle 1", k_illumina + "TT", "IIIIIIIIIIIIII", {14, 43, 40, 0, 0}},
        {"lower case Nextera ending the read", filler(40) + "ctgtctcttata", std::string(52, 'I'), {52, 0, 40, 1, 40}},
        {"small RNA at cycle 100", with_at(filler(150), 99, k_small_rna), q150, {150, 0, 40, 2, 99}},
        {"the first of two adapters", with_at(with_at(filler(150), 70, k_illumina), 20, k_nextera), q150,
         {150, 0, 40, 1, 20}},
        {"11 bases of an adapter are none", filler(60) + k_illumina.substr(0, 11), std::string(71, 'I'),
         {71, 0, 40, -1, 0}},
        {"N inside an adapter", with_at(filler(150), 5, "AGATCGGANGAG"), q150, {150, 0, 40, -1, 0}},
    };
    for (const Case& c : cases) {
        ReadFigures want = c.want;
        if (c.seq.size() > 20) {  // the filler's own shares
            std::size_t gc = 0;
            for (char b : c.seq) gc += (b | 0x20) == 'c' || (b | 0x20) == 'g';
            want.gc_percent = static_cast<int>((200 * gc + c.seq.size()) / (2 * c.seq.size()));
        }
        expect_figures(c.seq, c.qual, want, c.name);
    }
}

TEST(QcReadFigures, EveryScanAgreesWithTheBytewiseOne) {
    // Reads of every length up to 200 with adapters planted at every place, block edges
    // and the read's end included, and random bytes.
    std::mt19937 rng(7);
    const std::string adapters[] = {k_illumina, k_nextera, k_small_rna};
    for (int i = 0; i < 20000; ++i) {
        std::size_t n = rng() % 201;
        std::string seq, qual;
        for (std::size_t k = 0; k < n; ++k) {
            seq += "ACGTNacgt\r\t"[rng() % (k % 7 == 0 ? 11 : 4)];
            qual += static_cast<char>(rng() % 256);
        }
        if (n >= 12 && rng() % 2) seq = with_at(seq, rng() % (n - 11), adapters[rng() % 3]);
        expect_figures(seq, qual, wes::qc::detail::read_figures_by(Scan::bytewise, seq, qual), seq);
        if (HasFailure()) return;
    }
}

TEST(QcDuplicates, KnownCopiesGiveLevelsSharesAndOverrepresented) {
    // Six read pairs of three sequences: A three times, B twice, C once.
    const std::vector<std::pair<std::string, std::string>> pairs = {
        {"AAAA", "CCCC"}, {"GGGG", "TTTT"}, {"AAAA", "CCCC"}, {"ACGT", "ACGT"}, {"GGGG", "TTTT"}, {"AAAA", "CCCC"}};
    wes::qc::DuplicateTracker t;
    for (const auto& [a, b] : pairs) t.add(wes::qc::pair_fingerprint(a, b), a, b);
    const wes::qc::Duplication d = t.summarize();
    EXPECT_EQ(t.pairs(), 6u);
    EXPECT_EQ(d.tracked_sequences, 3u);
    EXPECT_EQ(d.tracked_pairs, 6u);
    EXPECT_DOUBLE_EQ(d.duplicate_share, 0.5);
    for (std::size_t l = 0; l < d.levels.size(); ++l) {
        const std::uint64_t copies = l + 1 <= 3 ? 1 : 0;
        EXPECT_EQ(d.levels[l].sequences, copies) << l;
        EXPECT_EQ(d.levels[l].pairs, copies * (l + 1)) << l;
        EXPECT_DOUBLE_EQ(d.levels[l].share, static_cast<double>(copies * (l + 1)) / 6) << l;
    }
    ASSERT_EQ(d.overrepresented.size(), 2u);  // seen once is never overrepresented
    EXPECT_EQ(d.overrepresented[0].pairs, 3u);
    EXPECT_EQ(d.overrepresented[0].read1 + d.overrepresented[0].read2, "AAAACCCC");
    EXPECT_EQ(d.overrepresented[1].read1 + d.overrepresented[1].read2, "GGGGTTTT");
}

TEST(QcDuplicates, PairsAreTheirFirst50BasesOfEachRead) {
    const std::string a(60, 'A'), c(60, 'C');
    const auto key = wes::qc::pair_fingerprint;
    EXPECT_EQ(key(a, c), key(a.substr(0, 50) + "GG", c + "\r"));  // beyond 50 bases, and a CR, do not count
    EXPECT_NE(key(a, c), key(c, a));
    EXPECT_NE(key(a.substr(0, 49), c), key(a.substr(0, 50), c));
    EXPECT_NE(key("AC", "GT"), key("A", "CGT"));
    EXPECT_NE(key("", ""), 0u);
}

TEST(QcDuplicates, OnlyTheFirstPairsAreTrackedAndTheEstimateCorrectsForIt) {
    // 100,000 distinct pairs, then 50,000 of them again and 50,000 new ones.
    wes::qc::DuplicateTracker t;
    const std::uint64_t n = wes::qc::k_tracked_pairs;
    auto pair_of = [](std::uint64_t i) { return std::to_string(i) + "/"; };
    for (std::uint64_t i = 0; i < n + n; ++i) {
        std::string s = pair_of(i < n ? i : i < n + n / 2 ? i - n : i);
        t.add(wes::qc::pair_fingerprint(s, s), s, s);
    }
    const wes::qc::Duplication d = t.summarize();
    EXPECT_EQ(d.tracked_sequences, n);
    EXPECT_EQ(d.tracked_pairs, n + n / 2);
    EXPECT_EQ(d.levels[0].sequences, n / 2);
    EXPECT_EQ(d.levels[1].sequences, n / 2);
    // Seen once: a chance of n / 2n to be among the first n pairs; twice: 1 - (n/2n)((n-1)/(2n-1)).
    const double p1 = 0.5, p2 = 1 - 0.5 * (n - 1.0) / (2.0 * n - 1);
    const double sequences = n / 2 / p1 + n / 2 / p2, reads = n / 2 / p1 + n / p2;
    EXPECT_NEAR(d.duplicate_share, 1 - sequences / reads, 1e-12);
    EXPECT_TRUE(d.overrepresented.empty());  // 2 of 200,000 is not above 0.1%

    using wes::qc::detail::chance_tracked;
    EXPECT_DOUBLE_EQ(chance_tracked(1, 10, 5), 0.5);
    EXPECT_DOUBLE_EQ(chance_tracked(2, 4, 2), 1 - 2.0 / 4 * 1.0 / 3);
    EXPECT_DOUBLE_EQ(chance_tracked(3, 4, 2), 1);  // more copies than pairs after the first ones
    EXPECT_DOUBLE_EQ(chance_tracked(5, 4, 4), 1);  // every pair tracked
    // Many copies: the closed form agrees with the product.
    double none = 1;
    for (int i = 0; i < 100; ++i) none *= (1e6 - 1e5 - i) / (1e6 - i);
    EXPECT_NEAR(chance_tracked(100, 1000000, 100000), 1 - none, 1e-9);
}

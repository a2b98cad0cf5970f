#include <gtest/gtest.h>

#include <string>

#include "trim_allele.hpp"

namespace {

struct Case {
    const char* name;
    long pos;
    const char* ref;
    const char* alt;
    long start, end;
    const char* ref_out;
    const char* alt_out;
};

const Case cases[] = {
    {"single-base substitution", 1000, "A", "G", 1000, 1000, "A", "G"},
    {"two-base substitution", 700, "AC", "GT", 700, 701, "AC", "GT"},
    {"insertion", 2000, "T", "TAC", 2000, 2001, "-", "AC"},
    {"deletion", 3000, "CAT", "C", 3001, 3002, "AT", "-"},
    {"multi-allelic CAT>C", 500, "CAT", "C", 501, 502, "AT", "-"},
    {"multi-allelic CAT>CA", 500, "CAT", "CA", 502, 502, "T", "-"},
    {"multi-allelic G>A", 100, "G", "A", 100, 100, "G", "A"},
    {"multi-allelic G>GTT", 100, "G", "GTT", 100, 101, "-", "TT"},
    {"common trailing TT", 800, "CTT", "GTT", 800, 800, "C", "G"},
    {"trailing trim empties ALT", 900, "CTT", "TT", 900, 900, "C", "-"},
    {"trailing trim empties REF", 900, "TT", "CTT", 899, 900, "-", "C"},
    {"leading trim empties REF", 100, "AC", "ACT", 101, 102, "-", "T"},
    {"leading trim leaves C and TTT", 100, "AC", "ATTT", 101, 102, "-", "TT"},
    {"leading trim leaves CG and TTT", 100, "ACG", "ATTT", 101, 102, "CG", "TTT"},
    {"leading trim leaves C and AC", 100, "AAC", "AAAC", 102, 103, "-", "C"},
    {"first REF base differs", 100, "CA", "G", 101, 101, "A", "-"},
    {"first ALT base differs", 100, "C", "GT", 100, 101, "-", "T"},
    {"spanning deletion", 100, "AT", "*", 101, 101, "T", "-"},
    {"one-character REF is not trimmed", 100, "A", "AT", 100, 101, "-", "T"},
    {"one-character identical alleles", 100, "A", "A", 100, 100, "A", "A"},
    {"trailing trim empties ALT of a long REF", 10, "GAC", "AC", 10, 10, "G", "-"},
    {"case matters", 10, "Ac", "AC", 11, 11, "c", "C"},
};

}  // namespace

TEST(VcfTrimAllele, WorkedExamplesAndEndRules) {
    for (const Case& c : cases) {
        wes::vcf::TrimmedAllele t;
        ASSERT_TRUE(wes::vcf::trim_allele(c.pos, c.ref, c.alt, t)) << c.name;
        EXPECT_EQ(t.start, c.start) << c.name;
        EXPECT_EQ(t.end, c.end) << c.name;
        EXPECT_EQ(t.ref, c.ref_out) << c.name;
        EXPECT_EQ(t.alt, c.alt_out) << c.name;
    }
}

TEST(VcfTrimAllele, AltIdenticalToRefYieldsNothing) {
    wes::vcf::TrimmedAllele t;
    EXPECT_FALSE(wes::vcf::trim_allele(100, "AC", "AC", t));
    EXPECT_FALSE(wes::vcf::trim_allele(100, std::string(5000, 'G'), std::string(5000, 'G'), t));
    // A prefix of REF is a deletion, not an identical allele.
    ASSERT_TRUE(wes::vcf::trim_allele(100, "ACG", "AC", t));
    EXPECT_EQ(t.start, 102);
    EXPECT_EQ(t.end, 102);
    EXPECT_EQ(t.ref, "G");
    EXPECT_EQ(t.alt, "-");
}

TEST(VcfTrimAllele, LongAllelesAreKeptWhole) {
    std::string ref = "A" + std::string(300, 'C');
    std::string alt = "A";
    wes::vcf::TrimmedAllele t;
    ASSERT_TRUE(wes::vcf::trim_allele(2'000'000'000, ref, alt, t));
    EXPECT_EQ(t.start, 2'000'000'001);
    EXPECT_EQ(t.end, 2'000'000'300);
    EXPECT_EQ(t.ref, std::string(300, 'C'));
    EXPECT_EQ(t.alt, "-");
}

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "chr_trans.hpp"

using wes::ChrKeyForm;

TEST(ChrTrans, NumericFormTranslatesOnlyBareNames) {
    std::string s = "7";
    EXPECT_EQ(wes::chr_trans(s, ChrKeyForm::numeric), 1);
    EXPECT_EQ(s, "NC_000007.13");
    s = "chr7";
    EXPECT_EQ(wes::chr_trans(s, ChrKeyForm::numeric), 1);
    EXPECT_EQ(s, "chr7");
    s = "X";
    wes::chr_trans(s, ChrKeyForm::numeric);
    EXPECT_EQ(s, "NC_000023.10");
}

TEST(ChrTrans, ChrFormAndUnknownNames) {
    std::string s = "chrX";
    wes::chr_trans(s, ChrKeyForm::chr_prefixed);
    EXPECT_EQ(s, "NC_000023.10");
    for (const char* name : {"chrx", "x", "MT", "chrM", "23", "NC_000001.10", "", "chr1 "}) {
        for (ChrKeyForm f : {ChrKeyForm::numeric, ChrKeyForm::chr_prefixed}) {
            std::string t = name;
            EXPECT_EQ(wes::chr_trans(t, f), 1);
            EXPECT_EQ(t, name);
        }
    }
}

TEST(ChrTrans, AccessionsSortInChromosomeOrder) {
    std::vector<std::string> acc;
    for (const auto& row : wes::accession_table) acc.emplace_back(row.accession);
    std::vector<std::string> sorted = acc;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(acc, sorted);
    EXPECT_EQ(acc.front(), "NC_000001.10");
    EXPECT_EQ(acc.back(), "NC_000024.9");
    EXPECT_EQ(wes::accession_for("chr22", ChrKeyForm::chr_prefixed), "NC_000022.10");
    EXPECT_EQ(wes::accession_for("22", ChrKeyForm::chr_prefixed), "");
}

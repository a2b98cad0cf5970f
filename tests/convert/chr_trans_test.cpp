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

TEST(ChrTrans, TheTableIsTheGrch37AccessionTable) {
    const char* const want[24][3] = {
        {"1", "chr1", "NC_000001.10"},   {"2", "chr2", "NC_000002.11"},   {"3", "chr3", "NC_000003.11"},
        {"4", "chr4", "NC_000004.11"},   {"5", "chr5", "NC_000005.9"},    {"6", "chr6", "NC_000006.11"},
        {"7", "chr7", "NC_000007.13"},   {"8", "chr8", "NC_000008.10"},   {"9", "chr9", "NC_000009.11"},
        {"10", "chr10", "NC_000010.10"}, {"11", "chr11", "NC_000011.9"},  {"12", "chr12", "NC_000012.11"},
        {"13", "chr13", "NC_000013.10"}, {"14", "chr14", "NC_000014.8"},  {"15", "chr15", "NC_000015.9"},
        {"16", "chr16", "NC_000016.9"},  {"17", "chr17", "NC_000017.10"}, {"18", "chr18", "NC_000018.9"},
        {"19", "chr19", "NC_000019.9"},  {"20", "chr20", "NC_000020.10"}, {"21", "chr21", "NC_000021.8"},
        {"22", "chr22", "NC_000022.10"}, {"X", "chrX", "NC_000023.10"},   {"Y", "chrY", "NC_000024.9"},
    };
    for (int i = 0; i < 24; ++i) {
        EXPECT_EQ(wes::accession_for(want[i][0], ChrKeyForm::numeric), want[i][2]);
        EXPECT_EQ(wes::accession_for(want[i][1], ChrKeyForm::chr_prefixed), want[i][2]);
        EXPECT_EQ(wes::accession_table[i].accession, want[i][2]);
        if (i > 0) {
            EXPECT_LT(std::string(want[i - 1][2]), std::string(want[i][2]));  // chromosome order
        }
    }
    EXPECT_EQ(wes::accession_for("22", ChrKeyForm::chr_prefixed), "");
}

// The accession table, and table_to_accession that applies it to a mutation table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chr_trans.hpp"
#include "test_util.hpp"

using wes::ChrKeyForm;

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
        EXPECT_TRUE(wes::is_accession(want[i][2]));
        if (i > 0) {
            EXPECT_LT(std::string(want[i - 1][2]), std::string(want[i][2]));  // chromosome order
        }
    }
    // Each form knows only its own keys, exactly, case included.
    EXPECT_EQ(wes::accession_for("chr7", ChrKeyForm::numeric), "");
    EXPECT_EQ(wes::accession_for("7", ChrKeyForm::chr_prefixed), "");
    for (const char* name : {"chrx", "x", "MT", "chrM", "23", "NC_000001.10", "", "chr1 "}) {
        EXPECT_EQ(wes::accession_for(name, ChrKeyForm::numeric), "") << name;
        EXPECT_EQ(wes::accession_for(name, ChrKeyForm::chr_prefixed), "") << name;
    }
    EXPECT_FALSE(wes::is_accession("NC_000001.1"));
}

TEST(TableToAccession, RowsAreRenamedKeptSetAsideOrLeftOut) {
    wes::test::ScratchDir dir;
    const std::string header = "Chr\tStart\tEnd\tRef\tAlt\tID\tMQ\tDepth\n";
    struct Case {
        std::vector<std::string> options;
        std::string table, out, aside, err;
    };
    const std::vector<Case> cases = {
        {{}, "chr7\t5\t5\tA\tG\nchrM\t9\t9\tC\tT\nNC_000001.10\t3\n\nchr22", header + "NC_000007.13\t5\t5\tA\tG\n"
         "NC_000001.10\t3\nNC_000022.10\n", "", "table_to_accession: 1 rows of chromosomes without an accession "
         "(such as \"chrM\") left out\n"},
        {{"--keys", "numeric", "--aside", dir.path("aside.txt")}, "7\t5\nchr7\t6\nNC_000024.9\t1\n",
         header + "NC_000007.13\t5\nNC_000024.9\t1\n", "chr7\t6\n", ""},
    };
    for (const Case& c : cases) {
        wes::test::write_file(dir.path("t.txt"), c.table);
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {dir.path("t.txt"), dir.path("out.txt")});
        auto r = wes::test::run_program("table_to_accession", args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(wes::test::read_file(dir.path("out.txt")), c.out);
        if (!c.aside.empty()) {
            EXPECT_EQ(wes::test::read_file(dir.path("aside.txt")), c.aside);
        }
    }
}

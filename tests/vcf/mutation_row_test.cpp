#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "mutation_row.hpp"

namespace {

struct StringSink {
    std::string text;
    void write(std::string_view s) { text.append(s); }
    void put(char c) { text += c; }
};

std::string row(std::string_view chr, std::int64_t pos, std::string_view ref, std::string_view alt,
                 std::string_view id, float mq, float ad, std::int32_t dp) {
    wes::vcf::TrimmedAllele a;
    EXPECT_TRUE(wes::vcf::trim_allele(pos, ref, alt, a));
    char buf[wes::vcf::fixed_text_max];
    wes::vcf::LineValues line{chr, id, wes::vcf::format_mq(mq, buf), dp};
    StringSink sink;
    wes::vcf::write_row(sink, line, a, ad);
    return sink.text;
}

}  // namespace

TEST(VcfMutationRow, TheEightColumns) {
    EXPECT_EQ(row("chr1", 1000, "A", "G", "rs1", 60.0f, 8, 20), "chr1\t1000\t1000\tA\tG\trs1\t60.0000\t8/20=0.4000\n");
    EXPECT_EQ(row("chr1", 1000, "A", "G", "rs1", 58.25f, 5, 15), "chr1\t1000\t1000\tA\tG\trs1\t58.2500\t5/15=0.3333\n");
    EXPECT_EQ(row("chr2", 3000, "CAT", "C", ".", 0, 3, 160), "chr2\t3001\t3002\tAT\t-\t.\t0.0000\t3/160=0.0188\n");
    EXPECT_EQ(row("chr2", 2000, "T", "TAC", ".", 1, 0, 0), "chr2\t2000\t2001\t-\tAC\t.\t1.0000\t0/0=-nan\n");
    EXPECT_EQ(row("chr2", 2000, "T", "TAC", ".", 1, 5, 0), "chr2\t2000\t2001\t-\tAC\t.\t1.0000\t5/0=inf\n");
    // The depth keeps its rounding to a whole number; half goes to even.
    EXPECT_EQ(row("c", 1, "A", "G", ".", 33.33f, 2.5f, 9), "c\t1\t1\tA\tG\t.\t33.3300\t2/9=0.2778\n");
}

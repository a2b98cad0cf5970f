#include <gtest/gtest.h>
#include <string>

#include "../bgzf_writer.hpp"
#include "bgzf_index.hpp"

namespace {

// Lines 60 kb apart on two chromosomes, in blocks of 100 bytes.
std::string sample() {
    std::string text = "#comment\n";
    for (const char* chrom : {"NC_000001.10", "NC_000005.9"})
        for (int i = 1; i <= 20; ++i) text += std::string(chrom) + "\t" + std::to_string(i * 60000) + "\tA\tG\n";
    return text;
}

}  // namespace

// The least offset of a line at a place or past it, in both forms of the index.
TEST(BgzfIndex, TellsWhereTheLinesFromAPlaceOnBegin) {
    const std::string text = sample();
    const bgzf_writer::File f = bgzf_writer::compress(text, 100);
    auto at = [&](const std::string& line) { return f.voffset(text.find(line)); };
    for (bool csi : {false, true}) {
        wes::BgzfIndex ix;
        std::string why;
        ASSERT_TRUE(ix.parse(bgzf_writer::index(text, f, csi), 0, why)) << why;
        std::int64_t from, to;
        EXPECT_EQ(ix.first_at("NC_000001.10", 1, from, to), at("NC_000001.10\t60000\t"));
        EXPECT_EQ(ix.first_at("NC_000001.10", 60001, from, to), at("NC_000001.10\t60000\t"));  // in its 16 kb window
        EXPECT_EQ(ix.first_at("NC_000001.10", 119000, from, to), at("NC_000001.10\t120000\t"));
        EXPECT_LE(from, 119000);
        EXPECT_GT(to, 119000);
        EXPECT_EQ(ix.first_at("NC_000001.10", 2000000, from, to), at("NC_000005.9\t60000\t"));  // past its last line
        EXPECT_EQ(ix.first_at("NC_000003.11", 5, from, to), at("NC_000005.9\t60000\t"));  // no such chromosome
        EXPECT_EQ(ix.first_at("NC_000005.9", 1200000, from, to), at("NC_000005.9\t1200000\t"));
        EXPECT_EQ(ix.first_at("NC_000005.9", 1300000, from, to), wes::BgzfIndex::k_end);
        EXPECT_EQ(ix.first_at("chr1", 1, from, to), wes::BgzfIndex::k_end);
        EXPECT_TRUE(ix.has("NC_000005.9"));
        EXPECT_FALSE(ix.has("NC_000005"));
    }
}

// An index whose lines the merge would read otherwise is refused, with why.
TEST(BgzfIndex, RefusesWhatTheMergeCannotFollow) {
    const std::string text = sample();
    const bgzf_writer::File f = bgzf_writer::compress(text, 100);
    std::string swapped = text;  // NC_000005.9 before NC_000001.10
    swapped = "#c\n" + swapped.substr(swapped.find("NC_000005.9")) + swapped.substr(9, swapped.find("NC_000005.9") - 9);
    struct Case {
        std::string bytes;
        unsigned header_lines;
        const char* why;
    };
    auto with = [&](bgzf_writer::Columns c) { return bgzf_writer::index(text, f, false, c); };
    const std::string good = with({});
    const Case cases[] = {
        {with({.format = 2}), 0, "first two columns"},
        {with({.format = 0x10000}), 0, "first two columns"},  // 0-based positions
        {with({.seq = 2}), 0, "first two columns"},
        {with({.end = 0}), 0, "first two columns"},
        {with({.skip = 2}), 1, "leaves out lines"},
        {with({.skip = 1}), 0, "leaves out lines"},
        {with({.meta = ' '}), 0, "leaves out lines"},
        {with({.meta = 'N'}), 0, "leaves out lines"},
        {bgzf_writer::index(swapped, bgzf_writer::compress(swapped, 100), true), 0, "not in byte order"},
        {good.substr(0, good.size() - 9), 0, "cut short"},
        {good.substr(0, 40), 0, "cut short"},
        {"BAI\1" + good.substr(4), 0, "no tabix or CSI index"},
        {"", 0, "no tabix or CSI index"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        wes::BgzfIndex ix;
        std::string why;
        EXPECT_FALSE(ix.parse(c.bytes, c.header_lines, why));
        EXPECT_NE(why.find(c.why), std::string::npos) << why;
        EXPECT_TRUE(ix.names().empty());
    }
    wes::BgzfIndex ix;
    std::string why;
    EXPECT_TRUE(ix.parse(with({.skip = 1}), 1, why)) << why;
}

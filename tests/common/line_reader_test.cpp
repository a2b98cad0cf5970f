#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "line_reader.hpp"
#include "test_util.hpp"

namespace {

using Status = wes::LineReader::Status;

std::vector<std::string> all_lines(wes::LineReader& r, Status* last = nullptr) {
    std::vector<std::string> out;
    std::string_view line;
    Status st;
    while ((st = r.next(line)) == Status::line) out.emplace_back(line);
    if (last) *last = st;
    return out;
}

}  // namespace

TEST(LineReader, WholeLinesOfAnyLengthAndALastLineWithoutNewline) {
    std::string long_line(5'000'000, 'x');
    std::string text = "a\n\n" + long_line + "\nlast";
    wes::LineReader r(wes::memory_byte_source(text));
    std::string_view line;
    bool nl = false;
    ASSERT_EQ(r.next(line, nl), Status::line);
    EXPECT_EQ(line, "a");
    EXPECT_TRUE(nl);
    ASSERT_EQ(r.next(line, nl), Status::line);
    EXPECT_EQ(line, "");
    ASSERT_EQ(r.next(line, nl), Status::line);
    EXPECT_EQ(line.size(), long_line.size());
    ASSERT_EQ(r.next(line, nl), Status::line);
    EXPECT_EQ(line, "last");
    EXPECT_FALSE(nl);
    EXPECT_EQ(r.line_number(), 4u);
    EXPECT_EQ(r.next(line, nl), Status::eof);
}

TEST(LineReader, PlainGzipAndMultiMemberGiveTheSameLines) {
    wes::test::ScratchDir dir;
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "NC_000001.10\t" + std::to_string(i) + "\tA\tG\n";
    wes::test::write_file(dir.path("p.txt"), text);
    wes::test::write_gzip(dir.path("one.gz"), text);
    wes::test::write_gzip(dir.path("many.gz"), text, 777);
    std::vector<std::vector<std::string>> got;
    for (const char* name : {"p.txt", "one.gz", "many.gz"}) {
        wes::LineReader r;
        ASSERT_TRUE(r.open(dir.path(name)));
        Status st;
        got.push_back(all_lines(r, &st));
        EXPECT_EQ(st, Status::eof) << name;
    }
    EXPECT_EQ(got[0].size(), 20000u);
    EXPECT_EQ(got[0], got[1]);
    EXPECT_EQ(got[0], got[2]);
}

TEST(LineReader, TruncatedOrCorruptGzipIsAnErrorNotAnEnd) {
    wes::test::ScratchDir dir;
    std::string text;
    for (int i = 0; i < 50000; ++i) text += "line " + std::to_string(i * 7919) + "\n";
    wes::test::write_gzip(dir.path("full.gz"), text);
    std::string gz = wes::test::read_file(dir.path("full.gz"));

    wes::test::write_file(dir.path("cut.gz"), gz.substr(0, gz.size() / 2));
    std::string bad = gz;
    for (std::size_t i = bad.size() / 3; i < bad.size() / 3 + 64; ++i) bad[i] = static_cast<char>(bad[i] ^ 0x5a);
    wes::test::write_file(dir.path("bad.gz"), bad);
    wes::test::write_file(dir.path("tail.gz"), gz + "garbage");
    for (const char* name : {"cut.gz", "bad.gz", "tail.gz"}) {
        wes::LineReader r;
        ASSERT_TRUE(r.open(dir.path(name)));
        Status st;
        all_lines(r, &st);
        EXPECT_EQ(st, Status::error) << name;
        EXPECT_FALSE(r.error().empty());
    }
}

TEST(LineReader, OpenFailureSaysWhy) {
    wes::LineReader r;
    EXPECT_FALSE(r.open("/nonexistent/dir/file"));
    EXPECT_FALSE(r.error().empty());
}

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "line_reader.hpp"
#include "test_util.hpp"

namespace {

using Status = wes::LineReader::Status;
using Inflate = wes::LineReader::Inflate;
constexpr Inflate both_modes[] = {Inflate::in_this_thread, Inflate::ahead_when_it_pays};

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
    for (Inflate mode : both_modes) {
        for (const char* name : {"p.txt", "one.gz", "many.gz"}) {
            wes::LineReader r;
            ASSERT_TRUE(r.open(dir.path(name), mode));
            Status st;
            got.push_back(all_lines(r, &st));
            EXPECT_EQ(st, Status::eof) << name;
        }
    }
    EXPECT_EQ(got[0].size(), 20000u);
    for (const auto& g : got) EXPECT_EQ(g, got[0]);
}

TEST(LineReader, ReadAheadCarriesLinesAcrossChunksWhole) {
    // Lines of every size around the read-ahead chunk and its front room, a blank line,
    // and a last line without a newline; plain and compressed.
    wes::test::ScratchDir dir;
    std::vector<std::string> want;
    std::string text;
    std::size_t sizes[] = {0, 1, 63, 64, 65, 4000, 65535, 65536, 65537, 70000, 1 << 20, (1 << 20) + 3, 3 << 20};
    for (int round = 0; round < 3; ++round)
        for (std::size_t s : sizes) {
            std::string line(s, static_cast<char>('a' + (s + round) % 26));
            want.push_back(line);
            text += line + "\n";
        }
    for (int i = 0; i < 50000; ++i) {
        want.push_back("short " + std::to_string(i));
        text += want.back() + "\n";
    }
    want.push_back("tail without newline");
    text += want.back();
    wes::test::write_file(dir.path("p.txt"), text);
    wes::test::write_gzip(dir.path("p.gz"), text, 100000);
    for (const char* name : {"p.txt", "p.gz"}) {
        wes::LineReader r;
        ASSERT_TRUE(r.open(dir.path(name)));
        Status st;
        std::vector<std::string> got = all_lines(r, &st);
        EXPECT_EQ(st, Status::eof);
        ASSERT_EQ(got.size(), want.size()) << name;
        for (std::size_t i = 0; i < want.size(); ++i) ASSERT_EQ(got[i], want[i]) << name << " line " << i;
    }
    // Checking the rest of the member ends the reading, whatever the inflater held.
    wes::LineReader r;
    ASSERT_TRUE(r.open(dir.path("p.gz")));
    std::string_view line;
    for (int i = 0; i < 3; ++i) ASSERT_EQ(r.next(line), Status::line);
    EXPECT_TRUE(r.finish_member());
    EXPECT_EQ(r.next(line), Status::eof);
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
    for (Inflate mode : both_modes) {
        for (const char* name : {"cut.gz", "bad.gz", "tail.gz"}) {
            wes::LineReader r;
            ASSERT_TRUE(r.open(dir.path(name), mode));
            Status st;
            all_lines(r, &st);
            EXPECT_EQ(st, Status::error) << name;
            EXPECT_FALSE(r.error().empty());
        }
    }
}

TEST(LineReader, OpenFailureSaysWhy) {
    wes::LineReader r;
    EXPECT_FALSE(r.open("/nonexistent/dir/file"));
    EXPECT_FALSE(r.error().empty());
}

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "line_reader.hpp"
#include "test_util.hpp"

namespace {

using Status = wes::LineReader::Status;
using Inflate = wes::LineReader::Inflate;
constexpr Inflate both_modes[] = {Inflate::in_this_thread, Inflate::ahead_when_it_pays};

// Many short lines (over a MiB of them: the inflater's thread starts), lines of every
// size around the reader's buffer and the room in front of the inflater's, a blank line,
// and a last line without a newline.
std::vector<std::string> sample_lines() {
    std::vector<std::string> want;
    const std::size_t sizes[] = {0, 1, 63, 64, 65, 4000, 65535, 65536, 65537, 70000, 1 << 20, (1 << 20) + 3, 3 << 20};
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 100000; ++i) want.push_back("short " + std::to_string(i));
        for (std::size_t s : sizes) want.emplace_back(s, static_cast<char>('a' + (s + round) % 26));
    }
    want.push_back("tail without newline");
    return want;
}

}  // namespace

TEST(LineReader, EveryRouteGivesTheSameWholeLines) {
    wes::test::ScratchDir dir;
    const std::vector<std::string> want = sample_lines();
    std::string text;
    for (const std::string& l : want) text += l + "\n";
    text.pop_back();
    wes::test::write_file(dir.path("p.txt"), text);
    wes::test::write_gzip(dir.path("one.gz"), text);
    wes::test::write_gzip(dir.path("many.gz"), text, 100000);
    for (Inflate mode : both_modes) {
        for (const char* name : {"p.txt", "one.gz", "many.gz"}) {
            SCOPED_TRACE(std::string(name) + (mode == Inflate::in_this_thread ? " in this thread" : " ahead"));
            wes::LineReader r;
            ASSERT_TRUE(r.open(dir.path(name), mode));
            std::string_view line;
            bool nl = false;
            for (std::size_t i = 0; i < want.size(); ++i) {
                ASSERT_EQ(r.next(line, nl), Status::line) << "line " << i;
                ASSERT_EQ(line, want[i]) << "line " << i;
                ASSERT_EQ(nl, i + 1 < want.size());
            }
            EXPECT_EQ(r.line_number(), want.size());
            EXPECT_EQ(r.next(line), Status::eof);
            // Verifying what was read ends the reading, whatever the inflater held.
            ASSERT_TRUE(r.open(dir.path(name), mode));
            for (int i = 0; i < 30; ++i) ASSERT_EQ(r.next(line), Status::line);
            EXPECT_TRUE(r.verify_so_far());
            EXPECT_EQ(r.next(line), Status::eof);
        }
    }
}

TEST(LineReader, DamagedGzipIsAnErrorNotAnEnd) {
    wes::test::ScratchDir dir;
    std::string text;
    for (int i = 0; text.size() < (6 << 20); ++i) text += "line " + std::to_string(i * 7919L) + "\n";
    wes::test::write_gzip(dir.path("full.gz"), text);
    const std::string gz = wes::test::read_file(dir.path("full.gz"));
    std::string bad = gz, bad_sum = gz;
    for (std::size_t i = bad.size() * 2 / 3; i < bad.size() * 2 / 3 + 64; ++i) bad[i] = static_cast<char>(bad[i] ^ 0x5a);
    bad_sum[bad_sum.size() - 8] ^= 1;  // the checksum, read only at the end of the 6 MiB member
    struct Case {
        const char* name;
        std::string bytes;
        int verify_after;  // lines read before the data is verified; 0: all of them
        std::string error;
    };
    const Case cases[] = {
        {"cut.gz", gz.substr(0, gz.size() * 3 / 4), 0, "unexpected end of compressed data (file truncated)"},
        {"bad.gz", bad, 0, "corrupt file"},
        {"tail.gz", gz + "garbage", 0, "trailing garbage after compressed data"},
        {"sum.gz", bad_sum, 0, "corrupt file"},
        {"sum.gz", bad_sum, 1, "corrupt file"},
    };
    for (const Case& c : cases) {
        wes::test::write_file(dir.path(c.name), c.bytes);
        for (Inflate mode : both_modes) {
            SCOPED_TRACE(std::string(c.name) + " after " + std::to_string(c.verify_after));
            wes::LineReader r;
            ASSERT_TRUE(r.open(dir.path(c.name), mode));
            std::string_view line;
            Status st;
            int n = 0;
            while ((st = r.next(line)) == Status::line && ++n != c.verify_after) {
            }
            if (c.verify_after > 0) {
                EXPECT_FALSE(r.verify_so_far());
                st = r.next(line);
            }
            EXPECT_EQ(st, Status::error);
            EXPECT_NE(r.error().find(c.error), std::string::npos) << r.error();
        }
    }
}

TEST(LineReader, OpenFailureSaysWhy) {
    wes::LineReader r;
    EXPECT_FALSE(r.open("/nonexistent/dir/file"));
    EXPECT_FALSE(r.error().empty());
}

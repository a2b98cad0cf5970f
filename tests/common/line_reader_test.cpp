#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "../bgzf_writer.hpp"
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
    const bgzf_writer::File b = bgzf_writer::compress(text, 65280);
    wes::test::write_file(dir.path("b.bgz"), b.bytes);  // on the pool, ahead
    // A block in the middle of a run whose header tells one byte more than its size: the
    // gzip member it is, read as such, once.
    std::string lying = b.bytes;
    ++lying[b.blocks[40] + 16];
    wes::test::write_file(dir.path("lying.bgz"), lying);
    for (Inflate mode : both_modes) {
        for (const char* name : {"p.txt", "one.gz", "many.gz", "b.bgz", "lying.bgz"}) {
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
    const bgzf_writer::File b = bgzf_writer::compress(text);
    std::string bad_block = b.bytes;
    bad_block[b.blocks[60] + 40] ^= 0x5a;  // a block past the first MiB, read on the pool
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
        {"bad.bgz", bad_block, 0, "corrupt file"},
        {"cut.bgz", b.bytes.substr(0, b.blocks[70] + 100), 0, "unexpected end of compressed data (file truncated)"},
        {"noend.bgz", b.bytes.substr(0, b.blocks[70]), 0, "truncated (no BGZF end-of-file block)"},
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
            // A BGZF block is handed out once checked: every line before the error is the
            // file's next one, none twice.
            bool in_order = true;
            while ((st = r.next(line)) == Status::line && ++n != c.verify_after)
                in_order = in_order && line == "line " + std::to_string((n - 1) * 7919L);
            EXPECT_TRUE(in_order || std::string(c.name).find(".bgz") == std::string::npos);
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

// A jump lands on the line that begins at the virtual offset it names, and reading goes
// on from there as from the file's start, on every route; at the end, only a file that
// ends with its end-of-file block can be jumped to.
TEST(LineReader, JumpsLandOnTheLineTheyName) {
    std::vector<std::string> lines;
    std::string text;
    std::vector<std::size_t> starts;
    for (int i = 0; text.size() < (3 << 20); ++i) {
        starts.push_back(text.size());
        lines.push_back("line " + std::to_string(i) + std::string(i % 97, 'x'));
        text += lines.back() + "\n";
    }
    const bgzf_writer::File f = bgzf_writer::compress(text, 1000);
    const std::size_t targets[] = {0, 1, 17, lines.size() / 2, lines.size() - 1};
    for (Inflate mode : both_modes)
        for (bool whole : {true, false}) {
            wes::LineReader r(wes::memory_byte_source(whole ? f.bytes : f.bytes.substr(0, f.blocks.back())), "b", mode);
            std::string_view line;
            for (std::size_t i = 0; i < lines.size() / 2; ++i) ASSERT_EQ(r.next(line), Status::line);  // the pool is at work
            for (std::size_t k : targets) {
                SCOPED_TRACE("line " + std::to_string(k) + (mode == Inflate::in_this_thread ? " in this thread" : " ahead"));
                const std::uint64_t v = f.voffset(starts[k]);
                ASSERT_TRUE(r.jump(v >> 16, v & 0xffff));
                EXPECT_FALSE(r.numbered());
                for (std::size_t i = k; i < std::min(k + 3000, lines.size()); ++i) {
                    ASSERT_EQ(r.next(line), Status::line) << i;
                    ASSERT_EQ(line, lines[i]);
                }
            }
            EXPECT_EQ(r.jump_to_end(), whole);  // else reading goes on where it was: at the cut
            EXPECT_EQ(r.next(line), whole ? Status::eof : Status::error);
        }
}

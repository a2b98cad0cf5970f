// Whole lines of any length from a byte source: big buffer reads, memchr for line ends.
// A line is handed out as a view into the reader's buffer, valid until the next call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "byte_source.hpp"

namespace wes {

class ReadAhead;
class MapAhead;

class LineReader {
public:
    enum class Status { line, eof, error };

    LineReader();
    explicit LineReader(std::unique_ptr<ByteSource> src, std::string name = "-");

    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // Opens a plain or compressed file. False when it cannot be opened (error() says why).
    // With read_ahead, a second thread reads (and inflates) the next stretch of a regular
    // file while this one splits lines; the lines are the same either way.
    bool open(const std::string& path, bool read_ahead = false);

    // The next line without its newline; had_newline tells whether one ended it
    // (only the last line of a file can lack it).
    Status next(std::string_view& line, bool& had_newline) {
        // Newlines are found 64 bytes at a time: mask_ holds those of the block that
        // ends at next_block_ and have not been handed out yet.
        for (;;) {
            if (mask_ != 0) {
                std::size_t e = next_block_ - 64 + static_cast<std::size_t>(__builtin_ctzll(mask_));
                mask_ &= mask_ - 1;
                line = std::string_view(data_ + pos_, e - pos_);
                had_newline = true;
                pos_ = e + 1;
                ++line_no_;
                return Status::line;
            }
            if (next_block_ + 64 > end_ || next_block_ >= release_at_) return next_slow(line, had_newline);
            mask_ = newline_mask(data_ + next_block_);
            next_block_ += 64;
        }
    }
    Status next(std::string_view& line) {
        bool nl;
        return next(line, nl);
    }

    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }
    // Number of lines handed out so far (the current line's number).
    std::uint64_t line_number() const { return line_no_; }

private:
    static std::uint64_t newline_mask(const char* p) {
#if defined(__SSE2__)
        const __m128i nl = _mm_set1_epi8('\n');
        auto m = [&](int k) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
            return static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, nl))));
        };
        return m(0) | (m(1) << 16) | (m(2) << 32) | (m(3) << 48);
#else
        std::uint64_t bits = 0;
        for (int i = 0; i < 64; ++i) bits |= static_cast<std::uint64_t>(p[i] == '\n') << i;
        return bits;
#endif
    }
    Status next_slow(std::string_view& line, bool& had_newline);
    bool fill();
    bool fill_ahead();

    std::unique_ptr<ByteSource> src_;
    std::string path_;
    std::string error_;
    std::vector<char> buf_;
    std::size_t pos_ = 0, end_ = 0;
    std::uint64_t line_no_ = 0;
    std::uint64_t mask_ = 0;
    std::unique_ptr<ReadAhead> ahead_;
    std::unique_ptr<MapAhead> map_ahead_;  // a mapped file: pages are mapped ahead of the reader
    std::size_t release_at_ = SIZE_MAX;   // mapped: where the pages behind are next given back
    int chunk_ = -1;  // read-ahead chunk that data_ points into, or -1
    const char* data_ = nullptr;  // buf_.data()
    std::size_t next_block_ = 0;
    bool eof_ = false, failed_ = false;
};

}  // namespace wes

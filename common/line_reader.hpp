// Whole lines of any length from a byte source: big buffer reads, newlines found 64
// bytes at a time. A line is handed out as a view into the reader's buffer, valid until
// the next call. A line longer than max_line (or one that memory cannot hold) ends the
// reading with an error rather than the process.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "byte_source.hpp"

namespace wes {

class LineReader {
public:
    enum class Status { line, eof, error };
    // How compressed data is inflated: on a second thread, ahead of the lines being
    // split, where that pays (see inflate_ahead); or in this thread.
    enum class Inflate { ahead_when_it_pays, in_this_thread };

    static constexpr std::size_t max_line = std::size_t{256} << 20;

    LineReader() = default;
    explicit LineReader(std::unique_ptr<ByteSource> src, std::string name = "-",
                        Inflate mode = Inflate::in_this_thread);
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // Opens a plain or compressed file ("-" is standard input). False when it cannot be
    // opened (error() says why).
    bool open(const std::string& path, Inflate mode = Inflate::ahead_when_it_pays);

    // The next line without its newline; had_newline tells whether one ended it
    // (only the last line of a file can lack it).
    Status next(std::string_view& line, bool& had_newline) {
        // mask_ holds the newlines of the 64-byte block that ends at next_block_ that
        // have not been handed out yet.
        for (;;) {
            if (mask_ != 0) {
                std::size_t e = next_block_ - 64 + static_cast<std::size_t>(__builtin_ctzll(mask_));
                mask_ &= mask_ - 1;
                line = std::string_view(buf_.mem + buf_.begin, e - buf_.begin);
                had_newline = true;
                buf_.begin = e + 1;
                ++line_no_;
                return Status::line;
            }
            if (next_block_ + 64 > buf_.end) return next_slow(line, had_newline);
            mask_ = newline_mask(buf_.mem + next_block_);
            next_block_ += 64;
        }
    }
    Status next(std::string_view& line) {
        bool nl;
        return next(line, nl);
    }

    // Whether the lines handed out so far are the file's own (see
    // ByteSource::verify_so_far): in a compressed file, garbage of a corrupt member is
    // so reported as the corrupt file it is. False (error() says why) when they are not.
    // Reading ends there: next() gives no more lines.
    bool verify_so_far();
    // The source the lines come from (null before an open); its counts of the file's
    // bytes may be read while the lines are.
    const ByteSource* source() const { return src_.get(); }
    // The BGZF source of a file that can be read from any block on; null otherwise.
    GzipSource* blocks() const;
    // Reading goes on at a line that begins at the uoffset-th inflated byte of the block
    // at coffset (a file that blocks() reads), or at the file's end when it ends with the
    // BGZF end-of-file block (false when it does not: reading goes on where it was).
    // False on a failure (error() says why). Line numbers are not known from here on.
    bool jump(std::uint64_t coffset, std::uint32_t uoffset);
    bool jump_to_end();

    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }
    // "Error: cannot read <path>: <error>", the suite's message for a failed read:
    // said (with a newline), or as text for a longer message.
    void report_failure() const;
    std::string failure_message() const;
    // Number of lines handed out so far (the current line's number), while numbered():
    // after a jump, line numbers are not known.
    std::uint64_t line_number() const { return line_no_; }
    bool numbered() const { return numbered_; }

private:
    // 64 bytes a step: join_splice_db 587 M -> 487 M instructions against a memchr per line.
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
    bool refill();
    bool fail(std::string why);
    bool too_long(const char* why);
    void start(std::unique_ptr<ByteSource> src, Inflate mode);
    void moved();

    std::unique_ptr<ByteSource> src_;
    std::string path_;
    std::string error_;
    // The lines are read from buf_: the unread bytes [begin, end) start with the next
    // line; the bytes from begin to next_block_ hold no newline but those in mask_.
    Buffer buf_;
    std::size_t next_block_ = 0;
    std::uint64_t mask_ = 0;
    std::uint64_t line_no_ = 0;
    bool eof_ = false, failed_ = false, numbered_ = true;
};

}  // namespace wes

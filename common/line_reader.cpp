#include "line_reader.hpp"

#include <cstring>

namespace wes {
namespace {
constexpr std::size_t k_initial_buffer = 1 << 20;

}

LineReader::LineReader(std::unique_ptr<ByteSource> src, std::string name)
    : src_(std::move(src)), path_(std::move(name)), buf_(k_initial_buffer) {
    data_ = buf_.data();
}

bool LineReader::open(const std::string& path) {
    path_ = path;
    src_ = open_byte_source(path, error_);
    if (!src_) return false;
    buf_.resize(k_initial_buffer);
    pos_ = end_ = 0;
    line_no_ = 0;
    eof_ = failed_ = false;
    mask_ = 0;
    next_block_ = 0;
    data_ = buf_.data();
    return true;
}

// Moves the unread tail to the front, grows the buffer when a line fills it whole,
// and reads more. False on a read failure.
bool LineReader::fill() {
    if (pos_ > 0) {
        std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    if (end_ == buf_.size()) buf_.resize(buf_.size() * 2);
    data_ = buf_.data();
    std::ptrdiff_t got = src_->read(buf_.data() + end_, buf_.size() - end_);
    if (got < 0) {
        failed_ = true;
        error_ = src_->error();
        return false;
    }
    if (got == 0) eof_ = true;
    end_ += static_cast<std::size_t>(got);
    return true;
}

// Fewer than 64 unscanned bytes are left in the buffer: look for the newline with
// memchr, reading more (and growing the buffer for a long line) as needed.
LineReader::Status LineReader::next_slow(std::string_view& line, bool& had_newline) {
    if (failed_ || !src_) return Status::error;
    for (;;) {
        const char* base = data_;
        const void* nl = std::memchr(base + next_block_, '\n', end_ - next_block_);
        if (nl) {
            std::size_t e = static_cast<std::size_t>(static_cast<const char*>(nl) - base);
            line = std::string_view(base + pos_, e - pos_);
            had_newline = true;
            pos_ = e + 1;
            next_block_ = pos_;
            ++line_no_;
            return Status::line;
        }
        next_block_ = end_;
        if (eof_) {
            if (pos_ == end_) return Status::eof;
            line = std::string_view(base + pos_, end_ - pos_);
            had_newline = false;
            pos_ = end_;
            ++line_no_;
            return Status::line;
        }
        std::size_t shift = pos_;
        if (!fill()) return Status::error;
        next_block_ -= shift;
        // Newly read bytes may hold whole blocks again: go back to the fast scan.
        if (next_block_ + 64 <= end_) return next(line, had_newline);
    }
}

}  // namespace wes

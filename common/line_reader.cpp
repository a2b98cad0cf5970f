#include "line_reader.hpp"

#include <cstring>

#include "diagnostics.hpp"
#include "gzip_source.hpp"

namespace wes {
namespace {

constexpr std::size_t k_first_buffer = 1 << 20;

}  // namespace

LineReader::LineReader(std::unique_ptr<ByteSource> src, std::string name, Inflate mode) : path_(std::move(name)) {
    start(std::move(src), mode);
}

bool LineReader::open(const std::string& path, Inflate mode) {
    path_ = path;
    error_.clear();
    std::unique_ptr<ByteSource> src = open_byte_source(path, error_);
    start(std::move(src), mode);
    return src_ != nullptr;
}

void LineReader::start(std::unique_ptr<ByteSource> src, Inflate mode) {
    src_ = src && mode == Inflate::ahead_when_it_pays ? inflate_ahead(std::move(src)) : std::move(src);
    buf_.begin = buf_.end = next_block_ = 0;
    mask_ = 0;
    line_no_ = 0;
    eof_ = failed_ = false;
    numbered_ = true;
}

GzipSource* LineReader::blocks() const {
    GzipSource* gz = src_ ? src_->blocks() : nullptr;
    return gz && gz->file().seekable() ? gz : nullptr;
}

// The lines read ahead are dropped.
void LineReader::moved() {
    buf_.begin = buf_.end = next_block_ = 0;
    mask_ = 0;
    eof_ = false;
    numbered_ = false;
}

bool LineReader::jump(std::uint64_t coffset, std::uint32_t uoffset) {
    GzipSource* gz = blocks();
    if (failed_ || !gz) return false;
    if (!gz->seek(coffset, uoffset)) return fail(gz->error());
    moved();
    return true;
}

bool LineReader::jump_to_end() {
    GzipSource* gz = blocks();
    if (failed_ || !gz || !gz->seek_end()) return false;
    moved();
    return true;
}

bool LineReader::fail(std::string why) {
    failed_ = true;
    error_ = std::move(why);
    return false;
}

// The line being read (the one after the last handed out) cannot be held.
bool LineReader::too_long(const char* why) {
    if (!numbered_) return fail(std::string("a line is too long (") + why + ")");
    return fail("line " + std::to_string(line_no_ + 1) + " is too long (" + why + ")");
}

std::string LineReader::failure_message() const { return "Error: cannot read " + path_ + ": " + error_; }

void LineReader::report_failure() const { say("%s\n", failure_message().c_str()); }

// The one way more bytes come: the unread bytes (the line being read) move to the front
// of the buffer, which doubles when they fill it, so that a long line costs time linear
// in its length; then the source adds bytes after them.
bool LineReader::refill() {
    const std::size_t scanned = next_block_ - buf_.begin;  // bytes of the line searched already
    if (buf_.unread() >= max_line) return too_long("more than 256 MiB");
    buf_.compact();
    if (buf_.room() == 0) {
        const std::size_t size = buf_.size == 0 ? k_first_buffer : 2 * buf_.size;
        if (size > max_line + k_first_buffer) return too_long("more than 256 MiB");
        if (!buf_.grow(size)) return too_long("cannot allocate memory");
    }
    const std::ptrdiff_t got = src_->fill(buf_);
    if (got < 0) return fail(src_->error());
    eof_ = got == 0;
    next_block_ = buf_.begin + scanned;
    return true;
}

// Fewer than 64 unscanned bytes are left: look for the newline with memchr, reading
// more as needed.
LineReader::Status LineReader::next_slow(std::string_view& line, bool& had_newline) {
    if (failed_ || !src_) return Status::error;
    for (;;) {
        const char* data = buf_.mem;
        const void* nl = next_block_ < buf_.end ? std::memchr(data + next_block_, '\n', buf_.end - next_block_) : nullptr;
        if (nl) {
            std::size_t e = static_cast<std::size_t>(static_cast<const char*>(nl) - data);
            line = std::string_view(data + buf_.begin, e - buf_.begin);
            had_newline = true;
            buf_.begin = next_block_ = e + 1;
            ++line_no_;
            return Status::line;
        }
        next_block_ = buf_.end;
        if (eof_) {
            if (buf_.unread() == 0) return Status::eof;
            line = std::string_view(data + buf_.begin, buf_.unread());
            had_newline = false;
            buf_.begin = buf_.end;
            ++line_no_;
            return Status::line;
        }
        if (!refill()) return Status::error;
        // Newly read bytes may hold whole blocks again: go back to the fast scan.
        if (next_block_ + 64 <= buf_.end) return next(line, had_newline);
    }
}

bool LineReader::verify_so_far() {
    if (failed_ || !src_) return !failed_;
    buf_.begin = buf_.end = next_block_ = 0;
    mask_ = 0;
    eof_ = true;
    return src_->verify_so_far() || fail(src_->error());
}

}  // namespace wes

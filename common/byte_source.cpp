#include "byte_source.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#ifdef WES_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#else
#include <zlib.h>
#endif

namespace wes {
namespace {

constexpr std::size_t k_in_size = 1 << 20;

// The bytes of the file itself: a descriptor read with read(2), or a memory buffer.
// A regular file must deliver at least the size it had when it was opened.
class RawInput {
public:
    explicit RawInput(int fd) : fd_(fd) {
        struct stat st;
        if (fd_ >= 0 && ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) size_ = static_cast<std::uint64_t>(st.st_size);
    }
    explicit RawInput(std::string data) : mem_(std::move(data)), size_(mem_.size()) {}
    ~RawInput() {
        if (fd_ > 0) ::close(fd_);
    }
    RawInput(const RawInput&) = delete;
    RawInput& operator=(const RawInput&) = delete;

    // Bytes, 0 at the end, -1 on a failure (error says why).
    std::ptrdiff_t read(char* buf, std::size_t n, std::string& error) {
        if (fd_ < 0) {
            const std::uint64_t at = done();
            std::size_t k = std::min<std::size_t>(n, mem_.size() - at);
            std::memcpy(buf, mem_.data() + at, k);
            count(k);
            return static_cast<std::ptrdiff_t>(k);
        }
        for (;;) {
            ssize_t got = ::read(fd_, buf, n);
            if (got > 0) {
                count(static_cast<std::uint64_t>(got));
                return got;
            }
            if (got == 0) {
                if (done() < size_) {
                    error = "the file shrank while it was read";
                    return -1;
                }
                return 0;
            }
            if (errno != EINTR) {
                error = std::strerror(errno);
                return -1;
            }
        }
    }
    // Bytes read so far. A compressed file is read on the inflater's thread while the
    // progress line asks from the main one.
    std::uint64_t done() const { return done_.load(std::memory_order_relaxed); }
    std::uint64_t size() const { return size_; }

private:
    // Only the reading thread writes the count: a plain store, no read-modify-write.
    void count(std::uint64_t k) { done_.store(done() + k, std::memory_order_relaxed); }

    int fd_ = -1;
    std::string mem_;
    std::uint64_t size_ = 0;
    std::atomic<std::uint64_t> done_{0};
};

// Plain data: the bytes read to sniff the magic are handed out first.
class PlainSource final : public ByteSource {
public:
    PlainSource(std::unique_ptr<RawInput> in, std::string head) : in_(std::move(in)), head_(std::move(head)) {}

    std::ptrdiff_t read(char* buf, std::size_t n) override {
        if (head_pos_ < head_.size()) {
            std::size_t k = std::min(n, head_.size() - head_pos_);
            std::memcpy(buf, head_.data() + head_pos_, k);
            head_pos_ += k;
            return static_cast<std::ptrdiff_t>(k);
        }
        if (!error_.empty()) return -1;
        return in_->read(buf, n, error_);
    }
    std::uint64_t file_bytes_read() const override { return in_->done(); }
    std::uint64_t file_size() const override { return in_->size(); }

private:
    std::unique_ptr<RawInput> in_;
    std::string head_;
    std::size_t head_pos_ = 0;
};

// The 28-byte empty block that ends every complete BGZF file.
constexpr unsigned char k_bgzf_eof[28] = {0x1f, 0x8b, 0x08, 0x04, 0, 0, 0, 0, 0, 0xff, 0x06, 0, 0x42, 0x43,
                                          0x02, 0,    0x1b, 0,    0x03, 0, 0, 0, 0, 0, 0,    0,    0, 0};

// Compressed data: one or more gzip members back to back (bgzip writes many). A file
// whose first member is a BGZF block must end with the BGZF end-of-file block: a
// BGZF file cut between two blocks is otherwise indistinguishable from a whole one.
class GzipSource final : public ByteSource {
public:
    GzipSource(std::unique_ptr<RawInput> in, const std::string& head) : raw_(std::move(in)), in_(k_in_size) {
        std::memcpy(in_.data(), head.data(), head.size());
        in_len_ = head.size();
    }
    ~GzipSource() override {
#ifndef WES_HAVE_ISAL
        if (zinit_) inflateEnd(&zs_);
#endif
    }
    bool compressed() const override { return true; }
    std::uint64_t file_bytes_read() const override { return raw_->done(); }
    std::uint64_t file_size() const override { return raw_->size(); }

    std::ptrdiff_t read(char* buf, std::size_t n) override {
        if (failed_) return -1;
        if (n == 0) return 0;
        for (;;) {
            if (!in_member_) {
                int next = next_member();
                if (next < 0) return -1;
                if (next == 0) return 0;
            }
            std::size_t produced = 0;
            if (!member_step(buf, n, produced)) return -1;
            if (produced > 0) return static_cast<std::ptrdiff_t>(produced);
        }
    }

    bool finish_member() override {
        std::vector<char> scratch(1 << 16);
        std::size_t produced = 0;
        while (in_member_ && !failed_)
            if (!member_step(scratch.data(), scratch.size(), produced)) return false;
        return !failed_;
    }

private:
    // One step inside a member: more compressed input, or some inflated output into buf
    // (produced bytes). False on a failure, a member cut short by the file's end included.
    bool member_step(char* buf, std::size_t n, std::size_t& produced) {
        produced = 0;
        if (in_pos_ < in_len_) return inflate_some(buf, n, produced);
        if (eof_) {
            fail("unexpected end of compressed data (file truncated)");
            return false;
        }
        return refill();
    }

    std::ptrdiff_t fail(const char* why) {
        failed_ = true;
        error_ = why;
        return -1;
    }

    // Makes at least want bytes available from in_pos_ on, unless the file ends first.
    bool refill(std::size_t want = 1) {
        if (in_pos_ > 0) {
            std::memmove(in_.data(), in_.data() + in_pos_, in_len_ - in_pos_);
            in_len_ -= in_pos_;
            in_pos_ = 0;
        }
        while (!eof_ && in_len_ < want) {
            std::ptrdiff_t got = raw_->read(in_.data() + in_len_, in_.size() - in_len_, error_);
            if (got < 0) {
                failed_ = true;
                return false;
            }
            if (got == 0) eof_ = true;
            in_len_ += static_cast<std::size_t>(got);
            if (want == 1) break;
        }
        return true;
    }

    // Between members: 1 when a new member starts, 0 at a clean end, -1 on a failure.
    // Zero padding at the very end is tolerated.
    int next_member() {
        if (in_len_ - in_pos_ < sizeof k_bgzf_eof && !eof_ && !refill(sizeof k_bgzf_eof)) return -1;
        if (in_pos_ == in_len_) return at_end();
        const auto* b = reinterpret_cast<const unsigned char*>(in_.data() + in_pos_);
        const std::size_t avail = in_len_ - in_pos_;
        if (b[0] == 0) {
            for (;;) {
                while (in_pos_ < in_len_)
                    if (in_[in_pos_++] != 0) return static_cast<int>(fail("trailing garbage after compressed data"));
                if (eof_) return at_end();
                if (!refill()) return -1;
            }
        }
        if (avail < 2 || b[0] != 0x1f || b[1] != 0x8b) return static_cast<int>(fail("trailing garbage after compressed data"));
        if (members_ == 0)
            first_is_bgzf_ = avail >= 18 && (b[3] & 4) && b[10] == 6 && b[11] == 0 && b[12] == 'B' && b[13] == 'C';
        last_is_bgzf_eof_ = avail >= sizeof k_bgzf_eof && std::memcmp(b, k_bgzf_eof, sizeof k_bgzf_eof) == 0;
        ++members_;
        start_member();
        return 1;
    }

    int at_end() {
        if (first_is_bgzf_ && !last_is_bgzf_eof_)
            return static_cast<int>(fail("truncated (no BGZF end-of-file block)"));
        return 0;
    }

#ifdef WES_HAVE_ISAL
    void start_member() {
        isal_inflate_init(&st_);
        st_.crc_flag = ISAL_GZIP;
        in_member_ = true;
    }

    bool inflate_some(char* buf, std::size_t n, std::size_t& produced) {
        st_.next_in = reinterpret_cast<uint8_t*>(in_.data() + in_pos_);
        st_.avail_in = static_cast<uint32_t>(in_len_ - in_pos_);
        st_.next_out = reinterpret_cast<uint8_t*>(buf);
        st_.avail_out = static_cast<uint32_t>(std::min<std::size_t>(n, 1u << 30));
        uint32_t before_out = st_.avail_out;
        int rc = isal_inflate(&st_);
        in_pos_ = in_len_ - st_.avail_in;
        produced = before_out - st_.avail_out;
        if (rc < 0) {
            fail(rc == ISAL_INCORRECT_CHECKSUM ? "compressed data fails its checksum (corrupt file)"
                                               : "invalid compressed data (corrupt file)");
            return false;
        }
        if (st_.block_state == ISAL_BLOCK_FINISH) in_member_ = false;
        return true;
    }
    inflate_state st_{};
#else
    void start_member() {
        if (!zinit_) {
            std::memset(&zs_, 0, sizeof zs_);
            inflateInit2(&zs_, 16 + MAX_WBITS);
            zinit_ = true;
        } else {
            inflateReset(&zs_);
        }
        in_member_ = true;
    }

    bool inflate_some(char* buf, std::size_t n, std::size_t& produced) {
        zs_.next_in = reinterpret_cast<Bytef*>(in_.data() + in_pos_);
        zs_.avail_in = static_cast<uInt>(in_len_ - in_pos_);
        zs_.next_out = reinterpret_cast<Bytef*>(buf);
        zs_.avail_out = static_cast<uInt>(std::min<std::size_t>(n, 1u << 30));
        uInt before_out = zs_.avail_out;
        int rc = inflate(&zs_, Z_NO_FLUSH);
        in_pos_ = in_len_ - zs_.avail_in;
        produced = before_out - zs_.avail_out;
        if (rc == Z_STREAM_END) {
            in_member_ = false;
            return true;
        }
        if (rc == Z_OK || rc == Z_BUF_ERROR) return true;
        fail(rc == Z_DATA_ERROR ? "invalid compressed data (corrupt file)" : "inflate failed");
        return false;
    }
    z_stream zs_{};
    bool zinit_ = false;
#endif

    std::unique_ptr<RawInput> raw_;
    std::vector<char> in_;
    std::size_t in_pos_ = 0, in_len_ = 0;
    std::uint64_t members_ = 0;
    bool eof_ = false, in_member_ = false, failed_ = false;
    bool first_is_bgzf_ = false, last_is_bgzf_eof_ = false;
};

// Sniffs the first two bytes, which are handed on to whichever reader takes the data.
std::unique_ptr<ByteSource> pick_source(std::unique_ptr<RawInput> in, std::string& err) {
    char head[2];
    std::size_t have = 0;
    while (have < 2) {
        std::ptrdiff_t got = in->read(head + have, 2 - have, err);
        if (got < 0) return nullptr;
        if (got == 0) break;
        have += static_cast<std::size_t>(got);
    }
    std::string h(head, have);
    if (have == 2 && static_cast<unsigned char>(head[0]) == 0x1f && static_cast<unsigned char>(head[1]) == 0x8b)
        return std::make_unique<GzipSource>(std::move(in), h);
    return std::make_unique<PlainSource>(std::move(in), std::move(h));
}

}  // namespace

std::unique_ptr<ByteSource> open_byte_source(const std::string& path, std::string& err) {
    int fd = path == "-" ? 0 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        err = std::strerror(errno);
        return nullptr;
    }
    return pick_source(std::make_unique<RawInput>(fd), err);
}

std::unique_ptr<ByteSource> memory_byte_source(std::string data) {
    std::string err;
    return pick_source(std::make_unique<RawInput>(std::move(data)), err);
}

const char* inflater_name() {
#ifdef WES_HAVE_ISAL
    return "isa-l";
#else
    return "zlib";
#endif
}

}  // namespace wes

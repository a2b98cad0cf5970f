#include "byte_source.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
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

// Reads from a descriptor, retrying after signals. Returns bytes, 0 at EOF, -1 on error.
std::ptrdiff_t read_fd(int fd, char* buf, std::size_t n) {
    for (;;) {
        ssize_t got = ::read(fd, buf, n);
        if (got >= 0 || errno != EINTR) return got;
    }
}

class FdHolder {
public:
    explicit FdHolder(int fd) : fd_(fd) {}
    ~FdHolder() {
        if (fd_ > 0) ::close(fd_);
    }
    FdHolder(const FdHolder&) = delete;
    FdHolder& operator=(const FdHolder&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Plain file: bytes already read to sniff the magic are handed out first.
class PlainSource final : public ByteSource {
public:
    PlainSource(int fd, std::string head) : fd_(fd), head_(std::move(head)) {}
    ~PlainSource() override {
        if (map_) ::munmap(map_, map_size_);
    }

    bool map_whole(const char*& data, std::size_t& size) override {
        struct stat st;
        if (fd_.get() <= 0 || head_pos_ != 0 || ::fstat(fd_.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_size <= 0)
            return false;
        void* m = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd_.get(), 0);
        if (m == MAP_FAILED) return false;
        ::madvise(m, static_cast<std::size_t>(st.st_size), MADV_SEQUENTIAL);
        map_ = m;
        map_size_ = static_cast<std::size_t>(st.st_size);
        data = static_cast<const char*>(m);
        size = map_size_;
        return true;
    }
    // Pages behind the reader are given back, so memory stays small whatever the size.
    void release_before(std::size_t offset) override {
        const std::size_t page = 4096;
        std::size_t upto = offset / page * page;
        if (map_ && upto > released_) {
            ::madvise(static_cast<char*>(map_) + released_, upto - released_, MADV_DONTNEED);
            released_ = upto;
        }
    }
    std::ptrdiff_t read(char* buf, std::size_t n) override {
        if (head_pos_ < head_.size()) {
            std::size_t k = std::min(n, head_.size() - head_pos_);
            std::memcpy(buf, head_.data() + head_pos_, k);
            head_pos_ += k;
            return static_cast<std::ptrdiff_t>(k);
        }
        std::ptrdiff_t got = read_fd(fd_.get(), buf, n);
        if (got < 0) error_ = std::strerror(errno);
        return got;
    }

private:
    FdHolder fd_;
    std::string head_;
    std::size_t head_pos_ = 0;
    void* map_ = nullptr;
    std::size_t map_size_ = 0, released_ = 0;
};

// Compressed file: one or more gzip members back to back (bgzip writes many).
// Input comes either from a descriptor or from a memory buffer.
class GzipSource final : public ByteSource {
public:
    GzipSource(int fd, std::string head) : fd_(fd), in_(k_in_size) {
        std::memcpy(in_.data(), head.data(), head.size());
        in_len_ = head.size();
        start_member();
    }
    ~GzipSource() override {
#ifndef WES_HAVE_ISAL
        inflateEnd(&zs_);
#endif
    }

    std::ptrdiff_t read(char* buf, std::size_t n) override {
        if (failed_) return -1;
        if (n == 0) return 0;
        for (;;) {
            if (in_pos_ == in_len_ && !eof_) {
                if (!refill()) return fail(std::strerror(errno));
            }
            if (in_pos_ == in_len_ && eof_) {
                if (in_member_) return fail("unexpected end of compressed data (file truncated)");
                return 0;
            }
            if (!in_member_) {
                // Between members: a new member must start with the gzip magic;
                // zero padding at the very end is tolerated.
                if (in_[in_pos_] == 0) {
                    if (!skip_zero_padding()) return fail("trailing garbage after compressed data");
                    continue;
                }
                if (in_len_ - in_pos_ < 2 && !eof_) {
                    if (!refill()) return fail(std::strerror(errno));
                    continue;
                }
                if (in_len_ - in_pos_ < 2 || static_cast<unsigned char>(in_[in_pos_]) != 0x1f ||
                    static_cast<unsigned char>(in_[in_pos_ + 1]) != 0x8b)
                    return fail("trailing garbage after compressed data");
                start_member();
            }
            std::size_t produced = 0;
            bool member_done = false;
            if (!inflate_some(buf, n, produced, member_done)) return -1;
            if (member_done) in_member_ = false;
            if (produced > 0) return static_cast<std::ptrdiff_t>(produced);
        }
    }

private:
    std::ptrdiff_t fail(const std::string& why) {
        failed_ = true;
        error_ = why;
        return -1;
    }

    bool refill() {
        if (in_pos_ > 0) {
            std::memmove(in_.data(), in_.data() + in_pos_, in_len_ - in_pos_);
            in_len_ -= in_pos_;
            in_pos_ = 0;
        }
        if (fd_.get() < 0) {
            eof_ = true;
            return true;
        }
        std::ptrdiff_t got = read_fd(fd_.get(), in_.data() + in_len_, in_.size() - in_len_);
        if (got < 0) return false;
        if (got == 0) eof_ = true;
        in_len_ += static_cast<std::size_t>(got);
        return true;
    }

    bool skip_zero_padding() {
        for (;;) {
            while (in_pos_ < in_len_) {
                if (in_[in_pos_] != 0) return false;
                ++in_pos_;
            }
            if (eof_) return true;
            if (!refill()) return false;
        }
    }

#ifdef WES_HAVE_ISAL
    void start_member() {
        isal_inflate_init(&st_);
        st_.crc_flag = ISAL_GZIP;
        in_member_ = true;
    }

    bool inflate_some(char* buf, std::size_t n, std::size_t& produced, bool& done) {
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
        done = st_.block_state == ISAL_BLOCK_FINISH;
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

    bool inflate_some(char* buf, std::size_t n, std::size_t& produced, bool& done) {
        zs_.next_in = reinterpret_cast<Bytef*>(in_.data() + in_pos_);
        zs_.avail_in = static_cast<uInt>(in_len_ - in_pos_);
        zs_.next_out = reinterpret_cast<Bytef*>(buf);
        zs_.avail_out = static_cast<uInt>(std::min<std::size_t>(n, 1u << 30));
        uInt before_out = zs_.avail_out;
        int rc = inflate(&zs_, Z_NO_FLUSH);
        in_pos_ = in_len_ - zs_.avail_in;
        produced = before_out - zs_.avail_out;
        if (rc == Z_STREAM_END) {
            done = true;
            return true;
        }
        if (rc == Z_OK || rc == Z_BUF_ERROR) return true;
        fail(rc == Z_DATA_ERROR ? "invalid compressed data (corrupt file)" : "inflate failed");
        return false;
    }
    z_stream zs_{};
    bool zinit_ = false;
#endif

    FdHolder fd_;
    std::vector<char> in_;
    std::size_t in_pos_ = 0, in_len_ = 0;
    bool eof_ = false, in_member_ = false, failed_ = false;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string data) : data_(std::move(data)) {}
    std::ptrdiff_t read(char* buf, std::size_t n) override {
        std::size_t k = std::min(n, data_.size() - pos_);
        std::memcpy(buf, data_.data() + pos_, k);
        pos_ += k;
        return static_cast<std::ptrdiff_t>(k);
    }

private:
    std::string data_;
    std::size_t pos_ = 0;
};

}  // namespace

std::unique_ptr<ByteSource> open_byte_source(const std::string& path, std::string& err) {
    int fd = path == "-" ? 0 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        err = std::strerror(errno);
        return nullptr;
    }
    // Sniff the first two bytes; they are handed on to whichever reader takes the file.
    char head[2];
    std::size_t have = 0;
    while (have < 2) {
        std::ptrdiff_t got = read_fd(fd, head + have, 2 - have);
        if (got < 0) {
            err = std::strerror(errno);
            if (fd > 0) ::close(fd);
            return nullptr;
        }
        if (got == 0) break;
        have += static_cast<std::size_t>(got);
    }
    std::string h(head, have);
    if (have == 2 && static_cast<unsigned char>(head[0]) == 0x1f &&
        static_cast<unsigned char>(head[1]) == 0x8b) {
        return std::make_unique<GzipSource>(fd, std::move(h));
    }
    return std::make_unique<PlainSource>(fd, std::move(h));
}

std::unique_ptr<ByteSource> memory_byte_source(std::string data) {
    return std::make_unique<MemorySource>(std::move(data));
}

const char* inflater_name() {
#ifdef WES_HAVE_ISAL
    return "isa-l";
#else
    return "zlib";
#endif
}

}  // namespace wes

#include "byte_source.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sched.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

#ifdef WES_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#else
#include <zlib.h>
#endif

namespace wes {
namespace {

// Compressed bytes are read, and inflated bytes handed out, 1 MiB at a time.
constexpr std::size_t k_buffer_size = 1 << 20;

// The bytes of the file itself: a descriptor read with read(2), or bytes held in memory.
// A regular file must deliver at least the size it had when it was opened. The first two
// bytes, read to tell compressed data from plain, are handed out first.
class FileSource final : public ByteSource {
public:
    explicit FileSource(int fd) : fd_(fd) {
        struct stat st;
        if (::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) size_ = static_cast<std::uint64_t>(st.st_size);
    }
    explicit FileSource(std::string data) : mem_(std::move(data)), size_(mem_.size()) {}
    ~FileSource() override {
        if (fd_ > 0) ::close(fd_);
    }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    // Reads the first two bytes (fewer when the data is shorter); false on a failure.
    bool sniff() {
        while (head_len_ < 2) {
            std::ptrdiff_t got = read(head_ + head_len_, 2 - head_len_);
            if (got < 0) return false;
            if (got == 0) break;
            head_len_ += static_cast<std::size_t>(got);
        }
        return true;
    }
    bool gzip_magic() const {
        return head_len_ == 2 && static_cast<unsigned char>(head_[0]) == 0x1f &&
               static_cast<unsigned char>(head_[1]) == 0x8b;
    }

    std::ptrdiff_t fill(Buffer& b) override {
        std::ptrdiff_t got;
        if (head_pos_ < head_len_) {
            const std::size_t k = std::min(b.room(), head_len_ - head_pos_);
            std::memcpy(b.mem + b.end, head_ + head_pos_, k);
            head_pos_ += k;
            got = static_cast<std::ptrdiff_t>(k);
        } else {
            got = read(b.mem + b.end, b.room());
        }
        if (got > 0) b.end += static_cast<std::size_t>(got);
        return got;
    }
    // A compressed file is read on the inflater's thread while the progress line asks
    // from the main one.
    std::uint64_t file_bytes_read() const override { return done_.load(std::memory_order_relaxed); }
    std::uint64_t file_size() const override { return size_; }

private:
    std::ptrdiff_t read(char* buf, std::size_t n) {
        if (!error_.empty()) return -1;
        if (fd_ < 0) {
            const std::size_t k = std::min<std::size_t>(n, mem_.size() - file_bytes_read());
            std::memcpy(buf, mem_.data() + file_bytes_read(), k);
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
                if (file_bytes_read() < size_) {
                    error_ = "the file shrank while it was read";
                    return -1;
                }
                return 0;
            }
            if (errno != EINTR) {
                error_ = std::strerror(errno);
                return -1;
            }
        }
    }
    // Only the reading thread writes the count: a plain store, no read-modify-write.
    void count(std::uint64_t k) { done_.store(file_bytes_read() + k, std::memory_order_relaxed); }

    int fd_ = -1;
    std::string mem_;
    std::uint64_t size_ = 0;
    std::atomic<std::uint64_t> done_{0};
    char head_[2] = {};
    std::size_t head_len_ = 0, head_pos_ = 0;
};

// The 28-byte empty block that ends every complete BGZF file.
constexpr unsigned char k_bgzf_eof[28] = {0x1f, 0x8b, 0x08, 0x04, 0, 0, 0, 0, 0, 0xff, 0x06, 0, 0x42, 0x43,
                                          0x02, 0,    0x1b, 0,    0x03, 0, 0, 0, 0, 0, 0,    0,    0, 0};

// Compressed data: one or more gzip members back to back (bgzip writes many). A file
// whose first member is a BGZF block must end with the BGZF end-of-file block: a
// BGZF file cut between two blocks is otherwise indistinguishable from a whole one.
class GzipSource final : public ByteSource {
public:
    explicit GzipSource(std::unique_ptr<FileSource> raw) : raw_(std::move(raw)) {}
    ~GzipSource() override {
#ifndef WES_HAVE_ISAL
        if (zinit_) inflateEnd(&zs_);
#endif
    }
    bool compressed() const override { return true; }
    std::uint64_t file_bytes_read() const override { return raw_->file_bytes_read(); }
    std::uint64_t file_size() const override { return raw_->file_size(); }

    std::ptrdiff_t fill(Buffer& b) override {
        if (failed_) return -1;
        for (;;) {
            if (!in_member_) {
                int next = next_member();
                if (next <= 0) return next;
            }
            std::size_t produced = 0;
            if (!member_step(b.mem + b.end, b.room(), produced)) return -1;
            b.end += produced;
            if (produced > 0) return static_cast<std::ptrdiff_t>(produced);
        }
    }

    // The member the last bytes came from is read to its end, which checks its checksum.
    bool verify_so_far() override {
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
        if (in_.unread() > 0) return inflate_some(buf, n, produced);
        if (eof_) {
            fail("unexpected end of compressed data (file truncated)");
            return false;
        }
        return refill();
    }

    int fail(std::string why) {
        failed_ = true;
        error_ = std::move(why);
        return -1;
    }

    // Makes at least want compressed bytes unread, unless the file ends first.
    bool refill(std::size_t want = 1) {
        in_.compact();
        if (in_.size == 0 && !in_.grow(k_buffer_size)) {
            fail("cannot allocate memory");
            return false;
        }
        while (!eof_ && in_.unread() < want) {
            std::ptrdiff_t got = raw_->fill(in_);
            if (got < 0) {
                fail(raw_->error());
                return false;
            }
            if (got == 0) eof_ = true;
            if (want == 1) break;
        }
        return true;
    }

    // Between members: 1 when a new member starts, 0 at a clean end, -1 on a failure.
    // Zero padding at the very end is tolerated.
    int next_member() {
        if (in_.unread() < sizeof k_bgzf_eof && !eof_ && !refill(sizeof k_bgzf_eof)) return -1;
        if (in_.unread() == 0) return at_end();
        const auto* b = reinterpret_cast<const unsigned char*>(in_.mem + in_.begin);
        const std::size_t avail = in_.unread();
        if (b[0] == 0) {
            for (;;) {
                while (in_.begin < in_.end)
                    if (in_.mem[in_.begin++] != 0) return fail("trailing garbage after compressed data");
                if (eof_) return at_end();
                if (!refill()) return -1;
            }
        }
        if (avail < 2 || b[0] != 0x1f || b[1] != 0x8b) return fail("trailing garbage after compressed data");
        if (members_ == 0)
            first_is_bgzf_ = avail >= 18 && (b[3] & 4) && b[10] == 6 && b[11] == 0 && b[12] == 'B' && b[13] == 'C';
        last_is_bgzf_eof_ = avail >= sizeof k_bgzf_eof && std::memcmp(b, k_bgzf_eof, sizeof k_bgzf_eof) == 0;
        ++members_;
        start_member();
        return 1;
    }

    int at_end() {
        if (first_is_bgzf_ && !last_is_bgzf_eof_)
            return fail("truncated (no BGZF end-of-file block)");
        return 0;
    }

#ifdef WES_HAVE_ISAL
    void start_member() {
        isal_inflate_init(&st_);
        st_.crc_flag = ISAL_GZIP;
        in_member_ = true;
    }

    bool inflate_some(char* buf, std::size_t n, std::size_t& produced) {
        st_.next_in = reinterpret_cast<uint8_t*>(in_.mem + in_.begin);
        st_.avail_in = static_cast<uint32_t>(in_.unread());
        st_.next_out = reinterpret_cast<uint8_t*>(buf);
        st_.avail_out = static_cast<uint32_t>(std::min<std::size_t>(n, 1u << 30));
        uint32_t before_out = st_.avail_out;
        int rc = isal_inflate(&st_);
        in_.begin = in_.end - st_.avail_in;
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
        zs_.next_in = reinterpret_cast<Bytef*>(in_.mem + in_.begin);
        zs_.avail_in = static_cast<uInt>(in_.unread());
        zs_.next_out = reinterpret_cast<Bytef*>(buf);
        zs_.avail_out = static_cast<uInt>(std::min<std::size_t>(n, 1u << 30));
        uInt before_out = zs_.avail_out;
        int rc = inflate(&zs_, Z_NO_FLUSH);
        in_.begin = in_.end - zs_.avail_in;
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

    std::unique_ptr<FileSource> raw_;
    Buffer in_;  // compressed bytes
    std::uint64_t members_ = 0;
    bool eof_ = false, in_member_ = false, failed_ = false;
    bool first_is_bgzf_ = false, last_is_bgzf_eof_ = false;
};

// The first two bytes tell which reader takes the data.
std::unique_ptr<ByteSource> pick_source(std::unique_ptr<FileSource> in, std::string& err) {
    if (!in->sniff()) {
        err = in->error();
        return nullptr;
    }
    if (in->gzip_magic()) return std::make_unique<GzipSource>(std::move(in));
    return in;
}

// A second thread pays only where it gets a CPU of its own.
bool more_than_one_cpu() {
    cpu_set_t set;
    return sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 1;
}

// Compressed data inflated by a second thread into a spare buffer while the reader
// reads the one before. The reader's unread bytes are copied into the room left in
// front of the new bytes and the two buffers change hands; unread bytes longer than
// that room (a long line) take the new bytes after them in the reader's buffer instead.
class AheadSource final : public ByteSource {
public:
    static constexpr std::size_t k_front = 64 << 10;  // room for the reader's unread bytes

    explicit AheadSource(std::unique_ptr<ByteSource> in) : in_(std::move(in)) {}
    ~AheadSource() override { stop(); }
    bool compressed() const override { return true; }
    std::uint64_t file_bytes_read() const override { return in_->file_bytes_read(); }
    std::uint64_t file_size() const override { return in_->file_size(); }

    std::ptrdiff_t fill(Buffer& b) override {
        if (thread_.joinable()) return take(b);
        const std::ptrdiff_t got = in_->fill(b);
        if (got < 0) error_ = in_->error();
        // The first buffer is inflated here; once it is full the thread starts.
        const std::size_t before = in_this_thread_;
        if (got > 0) in_this_thread_ += static_cast<std::size_t>(got);
        if (before < k_buffer_size && in_this_thread_ >= k_buffer_size) start();
        return got;
    }

    // The thread stops; the bytes it inflated ahead are dropped.
    bool verify_so_far() override {
        stop();
        if (in_->verify_so_far()) return true;
        error_ = in_->error();
        return false;
    }

private:
    void start() {
        if (!more_than_one_cpu() || !spare_.grow(k_buffer_size)) return;
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            // No thread to be had: everything is done in this one, with the same bytes.
        }
    }

    void stop() {
        if (!thread_.joinable()) return;
        {
            std::lock_guard<std::mutex> lock(m_);
            stop_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }

    // The thread: fills the spare buffer whenever the reader has given it back, until
    // the data ends or fails.
    void run() {
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(m_);
                cv_.wait(lock, [&] { return stop_ || !full_; });
                if (stop_) return;
            }
            spare_.begin = spare_.end = k_front;  // the room in front
            std::ptrdiff_t got = 1;
            while (spare_.room() > 0 && !stop_.load(std::memory_order_relaxed) && (got = in_->fill(spare_)) > 0) {
            }
            {
                std::lock_guard<std::mutex> lock(m_);
                full_ = true;
                last_ = got;
            }
            cv_.notify_all();
            if (got <= 0) return;
        }
    }

    // The reader's side: the spare buffer's bytes, once it is full.
    std::ptrdiff_t take(Buffer& b) {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait(lock, [&] { return full_; });
        const std::size_t n = spare_.unread(), keep = b.unread();
        if (n == 0) {  // the thread has ended: the end of the data, or its failure
            if (last_ < 0) error_ = in_->error();
            return last_ < 0 ? -1 : 0;
        }
        std::size_t got = n;
        if (keep <= spare_.begin) {
            std::memcpy(spare_.mem + spare_.begin - keep, b.mem + b.begin, keep);
            spare_.begin -= keep;
            b.swap(spare_);
            spare_.begin = spare_.end;
        } else {
            got = std::min(n, b.room());
            std::memcpy(b.mem + b.end, spare_.mem + spare_.begin, got);
            b.end += got;
            spare_.begin += got;
        }
        // An emptied buffer goes back to the thread, unless the thread has ended.
        if (spare_.unread() == 0 && last_ > 0) {
            full_ = false;
            lock.unlock();
            cv_.notify_all();
        }
        return static_cast<std::ptrdiff_t>(got);
    }

    std::unique_ptr<ByteSource> in_;
    std::size_t in_this_thread_ = 0;  // bytes inflated in the reader's thread
    // Shared with the thread: spare_ is the thread's while full_ is false.
    Buffer spare_;
    std::mutex m_;
    std::condition_variable cv_;
    bool full_ = false;
    std::atomic<bool> stop_{false};  // also looked at between two fills of the buffer
    std::ptrdiff_t last_ = 1;  // the thread's last fill: 0 at the end, -1 on a failure
    std::thread thread_;
};

}  // namespace

Buffer::~Buffer() { std::free(mem); }

void Buffer::swap(Buffer& other) noexcept {
    std::swap(mem, other.mem);
    std::swap(size, other.size);
    std::swap(begin, other.begin);
    std::swap(end, other.end);
}

void Buffer::compact() {
    if (begin == 0) return;
    std::memmove(mem, mem + begin, unread());
    end -= begin;
    begin = 0;
}

bool Buffer::grow(std::size_t new_size) {
    if (new_size <= size) return true;
    char* grown = static_cast<char*>(std::realloc(mem, new_size));
    if (!grown) return false;
    mem = grown;
    size = new_size;
    return true;
}

std::unique_ptr<ByteSource> open_byte_source(const std::string& path, std::string& err) {
    int fd = path == "-" ? 0 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        err = std::strerror(errno);
        return nullptr;
    }
    return pick_source(std::make_unique<FileSource>(fd), err);
}

std::unique_ptr<ByteSource> memory_byte_source(std::string data) {
    std::string err;
    return pick_source(std::make_unique<FileSource>(std::move(data)), err);
}

std::unique_ptr<ByteSource> inflate_ahead(std::unique_ptr<ByteSource> src) {
    if (!src->compressed()) return src;
    return std::make_unique<AheadSource>(std::move(src));
}

}  // namespace wes

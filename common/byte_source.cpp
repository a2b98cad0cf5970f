#include "byte_source.hpp"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sched.h>
#include <system_error>
#include <thread>
#include <unistd.h>

#include "gzip_source.hpp"

namespace wes {
namespace {

// The first bytes tell which reader takes the data.
std::unique_ptr<ByteSource> pick_source(std::unique_ptr<FileSource> in, std::string& err) {
    if (!in->sniff()) {
        err = in->error();
        return nullptr;
    }
    if (in->gzip_magic()) {
        const bool bgzf = in->bgzf_magic();
        return std::make_unique<GzipSource>(std::move(in), bgzf);
    }
    return in;
}

// A second thread pays only where it gets a CPU of its own.
bool more_than_one_cpu() { return allowed_cpus() > 1; }

// Compressed data inflated by a second thread into a spare buffer while the reader
// reads the one before (see hand_over).
class AheadSource final : public ByteSource {
public:
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
        if (!more_than_one_cpu() || !spare_.grow(k_front + k_buffer_size)) return;
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
        if (spare_.unread() == 0) {  // the thread has ended: the end of the data, or its failure
            if (last_ < 0) error_ = in_->error();
            return last_ < 0 ? -1 : 0;
        }
        const std::size_t got = hand_over(spare_, b);
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

std::size_t hand_over(Buffer& spare, Buffer& b) {
    const std::size_t n = spare.unread(), keep = b.unread();
    if (keep <= spare.begin) {
        std::memcpy(spare.mem + spare.begin - keep, b.mem + b.begin, keep);
        spare.begin -= keep;
        b.swap(spare);
        spare.begin = spare.end;
        return n;
    }
    const std::size_t got = std::min(n, b.room());
    std::memcpy(b.mem + b.end, spare.mem + spare.begin, got);
    b.end += got;
    spare.begin += got;
    return got;
}

unsigned allowed_cpus() {
    cpu_set_t set;
    return sched_getaffinity(0, sizeof set, &set) == 0 ? static_cast<unsigned>(CPU_COUNT(&set)) : 1;
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
    if (GzipSource* bgzf = src->blocks()) {
        bgzf->allow_pool();
        return src;
    }
    return std::make_unique<AheadSource>(std::move(src));
}

}  // namespace wes

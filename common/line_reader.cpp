#include "line_reader.hpp"

#include <condition_variable>
#include <cstring>
#include <sys/mman.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace wes {
namespace {
constexpr std::size_t k_initial_buffer = 1 << 20;
}

// Two chunks filled in turn by a reader thread. Each chunk keeps room in front of its
// data, where the consumer puts the unfinished line of the chunk before, so lines are
// handed out of the chunk itself without copying the bulk of the data.
class ReadAhead {
public:
    static constexpr std::size_t k_front = 64 << 10;
    static constexpr std::size_t k_data = 1 << 20;

    struct Chunk {
        std::vector<char> mem = std::vector<char>(k_front + k_data);
        std::size_t size = 0;  // bytes read into mem[k_front ...]
        bool filled = false;
        bool at_end = false;  // nothing follows this chunk
        bool failed = false;
        std::string error;
    };

    explicit ReadAhead(ByteSource& src) : src_(src), thread_([this] { run(); }) {}
    ~ReadAhead() {
        {
            std::lock_guard<std::mutex> lock(m_);
            stop_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }

    // The next chunk in file order, once it is filled.
    int take() {
        std::unique_lock<std::mutex> lock(m_);
        int i = next_take_;
        cv_.wait(lock, [&] { return chunks_[i].filled; });
        next_take_ ^= 1;
        return i;
    }
    Chunk& chunk(int i) { return chunks_[i]; }
    // Gives chunk i back to be filled again.
    void release(int i) {
        {
            std::lock_guard<std::mutex> lock(m_);
            chunks_[i].filled = false;
        }
        cv_.notify_all();
    }

private:
    void run() {
        int i = 0;
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(m_);
                cv_.wait(lock, [&] { return stop_ || !chunks_[i].filled; });
                if (stop_) return;
            }
            Chunk& c = chunks_[i];
            c.size = 0;
            bool end = false, failed = false;
            while (c.size < k_data) {
                std::ptrdiff_t got = src_.read(c.mem.data() + k_front + c.size, k_data - c.size);
                if (got < 0) {
                    failed = true;
                    c.error = src_.error();
                    break;
                }
                if (got == 0) {
                    end = true;
                    break;
                }
                c.size += static_cast<std::size_t>(got);
            }
            {
                std::lock_guard<std::mutex> lock(m_);
                c.at_end = end || failed;
                c.failed = failed;
                c.filled = true;
            }
            cv_.notify_all();
            if (end || failed) return;
            i ^= 1;
        }
    }

    ByteSource& src_;
    Chunk chunks_[2];
    std::mutex m_;
    std::condition_variable cv_;
    int next_take_ = 0;
    bool stop_ = false;
    std::thread thread_;  // last: starts once everything above is ready
};

// A regular file read ahead is mapped rather than copied: a second thread maps the
// pages a little ahead of the reader (so the reader takes no page faults), and the
// pages behind the reader are given back as it goes.
class MapAhead {
public:
    static constexpr std::size_t k_ahead = 2 << 20;
    static constexpr std::size_t k_step = 256 << 10;
    static constexpr std::size_t k_release = 512 << 10;

    MapAhead(ByteSource& src, const char* base, std::size_t size)
        : src_(src), base_(base), size_(size), thread_([this] { run(); }) {}
    ~MapAhead() {
        {
            std::lock_guard<std::mutex> lock(m_);
            stop_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    void consumed(std::size_t pos) {
        {
            std::lock_guard<std::mutex> lock(m_);
            consumer_ = pos;
        }
        cv_.notify_all();
    }

private:
    void run() {
        std::size_t done = 0, released = 0;
        for (;;) {
            std::size_t consumer;
            {
                std::unique_lock<std::mutex> lock(m_);
                cv_.wait(lock, [&] {
                    return stop_ || (done < size_ && done < consumer_ + k_ahead) || released < consumer_;
                });
                if (stop_) return;
                consumer = consumer_;
            }
            if (released < consumer) {
                src_.release_before(consumer);
                released = consumer;
            }
            if (done >= size_ || done >= consumer + k_ahead) continue;
            std::size_t n = std::min(k_step, size_ - done);
            char* p = const_cast<char*>(base_) + done;
#ifdef MADV_POPULATE_READ
            if (::madvise(p, n, MADV_POPULATE_READ) != 0)
#endif
            {
                for (std::size_t i = 0; i < n; i += 4096) (void)*static_cast<volatile const char*>(p + i);
            }
            done += n;
        }
    }

    ByteSource& src_;
    const char* base_;
    std::size_t size_;
    std::size_t consumer_ = 0;
    bool stop_ = false;
    std::mutex m_;
    std::condition_variable cv_;
    std::thread thread_;  // last: starts once everything above is ready
};

LineReader::LineReader() = default;
LineReader::~LineReader() = default;

LineReader::LineReader(std::unique_ptr<ByteSource> src, std::string name)
    : src_(std::move(src)), path_(std::move(name)), buf_(k_initial_buffer) {
    data_ = buf_.data();
}

bool LineReader::open(const std::string& path, bool read_ahead) {
    ahead_.reset();
    map_ahead_.reset();
    release_at_ = SIZE_MAX;
    chunk_ = -1;
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
    struct stat st;
    if (read_ahead && path != "-" && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        const char* map = nullptr;
        std::size_t size = 0;
        if (src_->map_whole(map, size)) {
            data_ = map;
            end_ = size;
            eof_ = true;
            release_at_ = MapAhead::k_release;
            buf_ = std::vector<char>();
            map_ahead_ = std::make_unique<MapAhead>(*src_, map, size);
        } else {
            ahead_ = std::make_unique<ReadAhead>(*src_);
        }
    }
    return true;
}

// Read-ahead: moves on to the next chunk, carrying the unfinished line [pos_, end_)
// into the room in front of the chunk's data (or, for a line longer than that room,
// into buf_ together with the chunk's data).
bool LineReader::fill_ahead() {
    int next = ahead_->take();
    ReadAhead::Chunk& c = ahead_->chunk(next);
    if (c.failed) {
        failed_ = true;
        error_ = c.error;
        return false;
    }
    const bool at_end = c.at_end;
    std::size_t tail = end_ - pos_;
    std::size_t scanned = next_block_ - pos_;  // bytes of the tail already searched
    char* front = c.mem.data() + ReadAhead::k_front;
    if (tail <= ReadAhead::k_front) {
        std::memcpy(front - tail, data_ + pos_, tail);
        if (chunk_ >= 0) ahead_->release(chunk_);
        chunk_ = next;
        data_ = c.mem.data();
        pos_ = ReadAhead::k_front - tail;
        end_ = ReadAhead::k_front + c.size;
    } else {
        std::vector<char> joined(tail + c.size);
        std::memcpy(joined.data(), data_ + pos_, tail);
        std::memcpy(joined.data() + tail, front, c.size);
        if (chunk_ >= 0) ahead_->release(chunk_);
        ahead_->release(next);
        chunk_ = -1;
        buf_.swap(joined);
        data_ = buf_.data();
        pos_ = 0;
        end_ = buf_.size();
    }
    next_block_ = pos_ + scanned;
    if (at_end) eof_ = true;
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
    if (next_block_ >= release_at_) {
        map_ahead_->consumed(pos_);
        release_at_ = next_block_ + MapAhead::k_release;
        if (next_block_ + 64 <= end_) return next(line, had_newline);
    }
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
        if (ahead_) {
            if (!fill_ahead()) return Status::error;
        } else {
            std::size_t shift = pos_;
            if (!fill()) return Status::error;
            next_block_ -= shift;
        }
        // Newly read bytes may hold whole blocks again: go back to the fast scan.
        if (next_block_ + 64 <= end_) return next(line, had_newline);
    }
}

}  // namespace wes

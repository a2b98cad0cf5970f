#include "line_reader.hpp"

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sched.h>
#include <system_error>
#include <thread>
#include <vector>

#include "diagnostics.hpp"

namespace wes {
namespace {

constexpr std::size_t k_first_buffer = 1 << 20;

// A second thread pays only where it gets a CPU of its own.
bool more_than_one_cpu() {
    cpu_set_t set;
    return sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 1;
}

}  // namespace

// Two chunks of inflated data, filled in turn by a second thread. Each chunk keeps room
// in front of its data, where the reader puts the unfinished line of the chunk before,
// so that lines are handed out of the chunk itself without copying the bulk of it.
class InflateAhead {
public:
    static constexpr std::size_t k_front = 64 << 10;
    static constexpr std::size_t k_data = 1 << 20;

    struct Chunk {
        std::vector<char> mem = std::vector<char>(k_front + k_data);
        std::size_t size = 0;  // bytes inflated into mem[k_front ...]
        bool filled = false;
        bool at_end = false;  // nothing follows this chunk
        bool failed = false;
        std::string error;
        char* data() { return mem.data() + k_front; }
    };

    // Throws std::system_error when no thread can be started.
    explicit InflateAhead(ByteSource& src) : src_(src), thread_([this] { run(); }) {}
    ~InflateAhead() {
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
        for (int i = 0;; i ^= 1) {
            {
                std::unique_lock<std::mutex> lock(m_);
                cv_.wait(lock, [&] { return stop_ || !chunks_[i].filled; });
                if (stop_) return;
            }
            Chunk& c = chunks_[i];
            c.size = 0;
            bool end = false, failed = false;
            while (c.size < k_data) {
                std::ptrdiff_t got = src_.read(c.data() + c.size, k_data - c.size);
                if (got <= 0) {
                    end = true;
                    failed = got < 0;
                    if (failed) c.error = src_.error();
                    break;
                }
                c.size += static_cast<std::size_t>(got);
            }
            {
                std::lock_guard<std::mutex> lock(m_);
                c.at_end = end;
                c.failed = failed;
                c.filled = true;
            }
            cv_.notify_all();
            if (end) return;
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

LineReader::LineReader() = default;

LineReader::~LineReader() {
    ahead_.reset();
    std::free(own_);
}

LineReader::LineReader(std::unique_ptr<ByteSource> src, std::string name, Inflate mode)
    : src_(std::move(src)), path_(std::move(name)) {
    start(mode);
}

bool LineReader::open(const std::string& path, Inflate mode) {
    ahead_.reset();
    path_ = path;
    error_.clear();
    src_ = open_byte_source(path, error_);
    if (!src_) return false;
    start(mode);
    return true;
}

void LineReader::start(Inflate mode) {
    chunk_ = -1;
    data_ = own_;
    pos_ = end_ = next_block_ = 0;
    mask_ = 0;
    line_no_ = 0;
    eof_ = failed_ = false;
    deferred_error_.clear();
    if (mode == Inflate::ahead_when_it_pays && src_->compressed() && more_than_one_cpu()) {
        try {
            ahead_ = std::make_unique<InflateAhead>(*src_);
        } catch (const std::system_error&) {
            // No thread to be had: everything is done in this one, with the same lines.
        }
    }
}

bool LineReader::fail(std::string why) {
    failed_ = true;
    error_ = std::move(why);
    return false;
}

// The line being read (the one after the last handed out) cannot be held.
bool LineReader::too_long(const char* why) {
    return fail("line " + std::to_string(line_no_ + 1) + " is too long (" + why + ")");
}

std::string LineReader::failure_message() const { return "Error: cannot read " + path_ + ": " + error_; }

void LineReader::report_failure() const { say("%s\n", failure_message().c_str()); }

// Makes own_ hold at least bytes, growing it by doubling so that a long line costs time
// linear in its length. The bytes [pos_, end_) of own_ are kept.
bool LineReader::hold(std::size_t bytes) {
    if (bytes <= own_size_) return true;
    if (bytes > max_line + k_first_buffer) return too_long("more than 256 MiB");
    std::size_t size = own_size_ ? own_size_ : k_first_buffer;
    while (size < bytes) size *= 2;
    char* grown = static_cast<char*>(std::realloc(own_, size));
    if (!grown) return too_long("cannot allocate memory");
    if (data_ == own_) data_ = grown;
    own_ = grown;
    own_size_ = size;
    return true;
}

// Reads more of the source into own_ after the unfinished line [pos_, end_), which is
// moved to the front first.
bool LineReader::read_more() {
    const std::size_t tail = end_ - pos_;
    if (pos_ > 0) {
        std::memmove(own_, own_ + pos_, tail);
        next_block_ -= pos_;
        pos_ = 0;
        end_ = tail;
    }
    if (tail >= max_line) return too_long("more than 256 MiB");
    if (!hold(own_size_ == 0 ? k_first_buffer : (end_ == own_size_ ? 2 * own_size_ : own_size_))) return false;
    std::ptrdiff_t got = src_->read(own_ + end_, own_size_ - end_);
    if (got < 0) return fail(src_->error());
    if (got == 0) eof_ = true;
    end_ += static_cast<std::size_t>(got);
    return true;
}

// Moves on to the inflater's next chunk. The unfinished line goes into the room in
// front of the chunk's data when it fits there; a longer one is gathered in own_,
// which then takes the chunk's data after it.
bool LineReader::take_chunk() {
    const int next = ahead_->take();
    InflateAhead::Chunk& c = ahead_->chunk(next);
    // The lines of a chunk that failed are handed out before the failure is reported.
    if (c.failed) deferred_error_ = c.error;
    const bool at_end = c.at_end;  // read now: a released chunk is the inflater's again
    const std::size_t tail = end_ - pos_;
    const std::size_t scanned = next_block_ - pos_;  // bytes of the tail already searched
    if (tail <= InflateAhead::k_front) {
        if (tail > 0) std::memcpy(c.data() - tail, data_ + pos_, tail);
        if (chunk_ >= 0) ahead_->release(chunk_);
        chunk_ = next;
        data_ = c.data() - tail;
        end_ = tail + c.size;
    } else {
        if (data_ == own_) {
            std::memmove(own_, own_ + pos_, tail);
        } else {
            if (!hold(tail)) return false;
            std::memcpy(own_, data_ + pos_, tail);
            ahead_->release(chunk_);
            chunk_ = -1;
            data_ = own_;
        }
        // Checked here: own_ may already be larger than the limit allows a line to be.
        if (tail + c.size > max_line + k_first_buffer) return too_long("more than 256 MiB");
        pos_ = 0;
        end_ = tail;
        if (!hold(tail + c.size)) return false;
        std::memcpy(own_ + tail, c.data(), c.size);
        end_ = tail + c.size;
        ahead_->release(next);
    }
    pos_ = 0;
    next_block_ = scanned;
    if (at_end) eof_ = true;
    return true;
}

// Fewer than 64 unscanned bytes are left: look for the newline with memchr, reading
// more (and growing the buffer for a long line) as needed.
LineReader::Status LineReader::next_slow(std::string_view& line, bool& had_newline) {
    if (failed_ || !src_) return Status::error;
    for (;;) {
        const void* nl = next_block_ < end_ ? std::memchr(data_ + next_block_, '\n', end_ - next_block_) : nullptr;
        if (nl) {
            std::size_t e = static_cast<std::size_t>(static_cast<const char*>(nl) - data_);
            line = std::string_view(data_ + pos_, e - pos_);
            had_newline = true;
            pos_ = e + 1;
            next_block_ = pos_;
            ++line_no_;
            return Status::line;
        }
        next_block_ = end_;
        if (eof_) {
            if (!deferred_error_.empty()) {
                fail(deferred_error_);
                return Status::error;
            }
            if (pos_ == end_) return Status::eof;
            line = std::string_view(data_ + pos_, end_ - pos_);
            had_newline = false;
            pos_ = end_;
            ++line_no_;
            return Status::line;
        }
        if (!(ahead_ ? take_chunk() : read_more())) return Status::error;
        // Newly read bytes may hold whole blocks again: go back to the fast scan.
        if (next_block_ + 64 <= end_) return next(line, had_newline);
    }
}

bool LineReader::finish_member() {
    if (!src_ || !src_->compressed() || failed_) return !failed_;
    // The inflater stops and its chunks are gone: nothing more is handed out.
    ahead_.reset();
    chunk_ = -1;
    data_ = own_;
    pos_ = end_ = next_block_ = 0;
    mask_ = 0;
    eof_ = true;
    deferred_error_.clear();
    if (!src_->finish_member()) return fail(src_->error());
    return true;
}

}  // namespace wes

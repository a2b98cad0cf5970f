#include "out_file.hpp"

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace wes {

// Writes full buffers on a second thread: the owner hands over its buffer and goes on
// filling the spare one; at most one buffer is in flight.
class WriteBehind {
public:
    explicit WriteBehind(OutFile& out) : out_(out), spare_(out.buf_.size()), thread_([this] { run(); }) {}
    ~WriteBehind() {
        wait_idle();
        {
            std::lock_guard<std::mutex> lock(m_);
            stop_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    // Swaps buf (holding len bytes) for the spare buffer and has it written.
    void submit(std::vector<char>& buf, std::size_t len) {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait(lock, [&] { return !busy_; });
        spare_.swap(buf);
        len_ = len;
        busy_ = true;
        lock.unlock();
        cv_.notify_all();
    }
    void wait_idle() {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait(lock, [&] { return !busy_; });
    }

private:
    void run() {
        std::unique_lock<std::mutex> lock(m_);
        for (;;) {
            cv_.wait(lock, [&] { return stop_ || busy_; });
            if (busy_) {
                lock.unlock();
                if (!out_.failed()) out_.write_all(spare_.data(), len_);
                lock.lock();
                busy_ = false;
                cv_.notify_all();
                continue;
            }
            return;
        }
    }

    OutFile& out_;
    std::vector<char> spare_;
    std::size_t len_ = 0;
    bool busy_ = false, stop_ = false;
    std::mutex m_;
    std::condition_variable cv_;
    std::thread thread_;  // last: starts once everything above is ready
};

OutFile::OutFile() = default;

OutFile::~OutFile() {
    behind_.reset();
    if (fd_ > 1) ::close(fd_);
}

bool OutFile::open(const std::string& path, bool write_behind) {
    path_ = path;
    if (path == "-") {
        fd_ = 1;
    } else {
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            error_ = std::strerror(errno);
            return false;
        }
    }
    if (write_behind) behind_ = std::make_unique<WriteBehind>(*this);
    return true;
}

bool OutFile::write_all(const char* p, std::size_t left) {
    while (left > 0) {
        ssize_t n = ::write(fd_, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = std::strerror(errno);
            failed_.store(true, std::memory_order_release);
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

bool OutFile::flush() {
    if (failed()) {
        len_ = 0;
        return false;
    }
    if (fd_ < 0) {
        error_ = "file is not open";
        failed_.store(true);
        return false;
    }
    if (behind_) {
        if (len_ > 0) behind_->submit(buf_, len_);
    } else {
        write_all(buf_.data(), len_);
    }
    len_ = 0;
    return !failed();
}

void OutFile::write_slow(std::string_view s) {
    while (!s.empty()) {
        if (len_ == buf_.size()) flush();
        std::size_t k = std::min(s.size(), buf_.size() - len_);
        std::memcpy(buf_.data() + len_, s.data(), k);
        len_ += k;
        s.remove_prefix(k);
    }
}

bool OutFile::close() {
    flush();
    behind_.reset();  // waits for the last buffer
    bool ok = !failed();
    if (fd_ > 1) {
        if (::close(fd_) != 0 && ok) {
            error_ = std::strerror(errno);
            failed_.store(true);
            ok = false;
        }
    }
    fd_ = -1;
    return ok;
}

void OutFile::report_failure() const {
    std::printf("Error: cannot write %s: %s\n", path_.c_str(), error_.c_str());
    std::fflush(stdout);
}

}  // namespace wes

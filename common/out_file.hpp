// A buffered output file whose every write and close is checked. Once a write fails
// the file stays failed; the caller reports it (report_failure) and ends with status 2.
#pragma once

#include <atomic>
#include <charconv>
#include <cstdint>
#include <memory>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace wes {

class WriteBehind;

class OutFile {
public:
    OutFile();
    ~OutFile();
    OutFile(const OutFile&) = delete;
    OutFile& operator=(const OutFile&) = delete;

    // Creates or truncates path ("-" is standard output). False when it cannot be opened.
    // With write_behind, a second thread writes each full buffer while the next one fills.
    bool open(const std::string& path, bool write_behind = false);
    bool is_open() const { return fd_ >= 0; }

    void write(std::string_view s) {
        if (s.empty()) return;  // an empty view may hold no pointer at all
        if (s.size() > buf_.size() - len_) {
            write_slow(s);
            return;
        }
        std::memcpy(buf_.data() + len_, s.data(), s.size());
        len_ += s.size();
    }
    void put(char c) {
        if (len_ == buf_.size()) flush();
        buf_[len_++] = c;
    }
    template <typename Int>
    void put_int(Int v) {
        char tmp[24];
        auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
        write(std::string_view(tmp, static_cast<std::size_t>(r.ptr - tmp)));
    }

    // Writes the buffer out; false once any write has failed.
    bool flush();
    // Flushes and closes; false when anything failed along the way.
    bool close();

    bool failed() const { return failed_.load(std::memory_order_acquire); }
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }

    // Prints the one-line message for a failed write or close on standard output.
    void report_failure() const;

private:
    void write_slow(std::string_view s);
    friend class WriteBehind;
    bool write_all(const char* p, std::size_t n);  // false (and failed) on an error

    int fd_ = -1;
    std::atomic<bool> failed_{false};
    std::unique_ptr<WriteBehind> behind_;
    std::string path_;
    std::string error_;
    std::vector<char> buf_ = std::vector<char>(1 << 18);
    std::size_t len_ = 0;
};

}  // namespace wes

// A buffered output file whose every write and close is checked. Once a write fails
// the file stays failed; the caller reports it (report_failure) and ends with a failure
// status.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace wes {

class OutFile {
public:
    OutFile() = default;
    ~OutFile();
    OutFile(const OutFile&) = delete;
    OutFile& operator=(const OutFile&) = delete;

    // Creates or truncates path. "-" is standard output (main has sent the messages
    // elsewhere: keep_messages_out_of). False when it cannot be opened.
    bool open(const std::string& path);
    bool is_open() const { return fd_ >= 0; }

    void write(std::string_view s) {
        if (s.size() > buf_.size() - len_) {
            write_slow(s);
            return;
        }
        if (!s.empty()) std::memcpy(buf_.data() + len_, s.data(), s.size());
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

    bool failed() const { return failed_; }
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }

    // "Error: cannot write <path>: <reason>", the suite's message for a failed write.
    void report_failure() const;

private:
    void write_slow(std::string_view s);

    int fd_ = -1;
    bool failed_ = false;
    std::string path_;
    std::string error_;
    std::vector<char> buf_ = std::vector<char>(1 << 18);
    std::size_t len_ = 0;
};

// Writes text as the whole of path; on a failure prints the message (report_failure)
// and returns false.
bool write_whole_file(const std::string& path, std::string_view text);

// Before an output is opened: whether it names an existing regular file that the run
// also reads (the same device and inode, through any name: "./x", a symbolic or a hard
// link; "-" among inputs is standard input). Opening it would empty that input.
bool is_also_an_input(const std::string& output, const std::vector<std::string>& inputs);

// Before two outputs are opened: whether they name one file (the same path, "./x", a
// link; a file not there yet by its folder and name). The second would overwrite the first.
bool same_output(const std::string& a, const std::string& b);

// "Error: <output> is also an input of this run".
void report_output_is_input(const std::string& output);

}  // namespace wes

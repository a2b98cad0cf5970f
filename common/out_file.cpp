#include "out_file.hpp"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace wes {

OutFile::~OutFile() {
    if (fd_ > 1) ::close(fd_);
}

bool OutFile::open(const std::string& path) {
    path_ = path;
    if (path == "-") {
        fd_ = 1;
        return true;
    }
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        error_ = std::strerror(errno);
        return false;
    }
    return true;
}

bool OutFile::flush() {
    if (failed_) {
        len_ = 0;
        return false;
    }
    if (fd_ < 0) {
        failed_ = true;
        error_ = "file is not open";
        return false;
    }
    const char* p = buf_.data();
    std::size_t left = len_;
    while (left > 0) {
        ssize_t n = ::write(fd_, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            failed_ = true;
            error_ = std::strerror(errno);
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    len_ = 0;
    return !failed_;
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
    bool ok = flush();
    if (fd_ > 1) {
        if (::close(fd_) != 0 && ok) {
            failed_ = true;
            error_ = std::strerror(errno);
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

#include "out_file.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "diagnostics.hpp"

namespace wes {

OutFile::~OutFile() {
    if (fd_ > 2) ::close(fd_);
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
        failed_ = true;
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
        error_ = "file is not open";
        failed_ = true;
        return false;
    }
    const char* p = buf_.data();
    std::size_t left = len_;
    len_ = 0;
    while (left > 0) {
        ssize_t n = ::write(fd_, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = std::strerror(errno);
            failed_ = true;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
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
    if (fd_ > 2 && ::close(fd_) != 0 && ok) {
        error_ = std::strerror(errno);
        failed_ = true;
        ok = false;
    }
    fd_ = -1;
    return ok;
}

void OutFile::report_failure() const { say("Error: cannot write %s: %s\n", path_.c_str(), error_.c_str()); }

bool write_whole_file(const std::string& path, std::string_view text) {
    OutFile f;
    if (f.open(path)) f.write(text);
    if (!f.close()) {
        f.report_failure();
        return false;
    }
    return true;
}

bool is_also_an_input(const std::string& output, const std::vector<std::string>& inputs) {
    struct stat out;
    if (output == "-" || ::stat(output.c_str(), &out) != 0 || !S_ISREG(out.st_mode)) return false;
    for (const std::string& in : inputs) {
        struct stat st;
        int rc = in == "-" ? ::fstat(0, &st) : ::stat(in.c_str(), &st);
        if (rc == 0 && st.st_dev == out.st_dev && st.st_ino == out.st_ino) return true;
    }
    return false;
}

namespace {

// Where writing to path lands: the file it names (through any links) when there is one,
// else the name it would be given in its folder, following a link that points where
// nothing is yet. False when that cannot be told.
struct Place {
    dev_t dev;
    ino_t ino;
    std::string name;  // empty for a file that is there
};

bool place_of(std::string path, Place& place) {
    for (int links = 0; links < 40; ++links) {
        struct stat st;
        if (::stat(path.c_str(), &st) == 0) {
            place = {st.st_dev, st.st_ino, ""};
            return true;
        }
        const std::size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            std::string target(static_cast<std::size_t>(st.st_size) + 1, '\0');
            const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
            if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) return false;
            target.resize(static_cast<std::size_t>(n));
            path = target[0] == '/' ? target : folder + "/" + target;
            continue;
        }
        if (::stat(folder.c_str(), &st) != 0) return false;
        place = {st.st_dev, st.st_ino, path.substr(slash + 1)};
        return true;
    }
    return false;
}

}  // namespace

bool same_output(const std::string& a, const std::string& b) {
    if (a == b) return true;
    if (a == "-" || b == "-") return false;
    Place pa, pb;
    return place_of(a, pa) && place_of(b, pb) && pa.dev == pb.dev && pa.ino == pb.ino && pa.name == pb.name;
}

void report_output_is_input(const std::string& output) {
    say("Error: %s is also an input of this run\n", output.c_str());
}

}  // namespace wes

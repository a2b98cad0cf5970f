#include "test_util.hpp"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

extern char** environ;

namespace wes::test {

std::string bin_path(const std::string& program) { return std::string(WES_BIN_DIR) + "/" + program; }
std::string data_path(const std::string& name) { return std::string(WES_TEST_DATA_DIR) + "/" + name; }

std::string read_file(const std::string& path) {
    std::string s;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) throw std::runtime_error("cannot read " + path);
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
}

void write_file(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

bool file_exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

void write_gzip(const std::string& path, const std::string& text, std::size_t member_size) {
    std::string out;
    std::size_t step = member_size ? member_size : std::max<std::size_t>(text.size(), 1);
    for (std::size_t off = 0; off < text.size() || (off == 0 && text.empty()); off += step) {
        std::string piece = text.substr(off, step);
        z_stream zs{};
        deflateInit2(&zs, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        std::vector<unsigned char> buf(deflateBound(&zs, piece.size()) + 64);
        zs.next_in = reinterpret_cast<Bytef*>(piece.data());
        zs.avail_in = static_cast<uInt>(piece.size());
        zs.next_out = buf.data();
        zs.avail_out = static_cast<uInt>(buf.size());
        deflate(&zs, Z_FINISH);
        out.append(reinterpret_cast<char*>(buf.data()), buf.size() - zs.avail_out);
        deflateEnd(&zs);
        if (text.empty()) break;
    }
    write_file(path, out);
}

namespace {
std::string slurp_fd(int fd) {
    std::string s;
    char buf[65536];
    ::lseek(fd, 0, SEEK_SET);
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) s.append(buf, static_cast<std::size_t>(n));
    ::close(fd);
    return s;
}
}  // namespace

RunResult Child::finish() {
    if (in >= 0) ::close(in);
    int st = 0;
    ::waitpid(pid, &st, 0);
    RunResult r;
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    r.out = slurp_fd(out);
    r.err = slurp_fd(err);
    return r;
}

Child start_path(const std::string& path, const Start& how) {
    Child c;
    char out_tmpl[] = "/tmp/wes_out_XXXXXX";
    char err_tmpl[] = "/tmp/wes_err_XXXXXX";
    c.out = ::mkstemp(out_tmpl);
    c.err = ::mkstemp(err_tmpl);
    ::unlink(out_tmpl);
    ::unlink(err_tmpl);
    int pipe_fds[2] = {-1, -1};
    if (how.stdin_pipe && ::pipe2(pipe_fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    std::fflush(nullptr);
    c.pid = ::fork();
    if (c.pid == 0) {
        int in = how.stdin_pipe ? pipe_fds[0] : ::open(how.stdin_file.c_str(), O_RDONLY);
        ::dup2(in, 0);  // dup2 clears close-on-exec for fd 0
        ::dup2(c.out, 1);
        ::dup2(c.err, 2);
        if (how.close_stdout) ::close(1);
        if (how.close_stderr) ::close(2);
        for (const auto& [k, v] : how.env) {
            if (v == unset)
                ::unsetenv(k.c_str());
            else
                ::setenv(k.c_str(), v.c_str(), 1);
        }
        // As from an interactive shell, whatever ran these tests: none of these ignored.
        for (int sig : {SIGINT, SIGQUIT, SIGHUP, SIGTERM}) ::signal(sig, SIG_DFL);
        if (how.address_space) {
            rlimit lim{how.address_space, how.address_space};
            ::setrlimit(RLIMIT_AS, &lim);
        }
        if (how.one_process) {
            rlimit lim{1, 1};
            ::setrlimit(RLIMIT_NPROC, &lim);
            if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(125);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(path.c_str()));
        for (const std::string& a : how.args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(path.c_str(), argv.data());
        ::_exit(126);
    }
    if (how.stdin_pipe) {
        ::close(pipe_fds[0]);
        c.in = pipe_fds[1];
    }
    return c;
}

RunResult run_path(const std::string& path, const std::vector<std::string>& args,
                   const std::map<std::string, std::string>& env) {
    return start_path(path, {.args = args, .env = env}).finish();
}

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env) {
    return run_path(bin_path(program), args, env);
}

ScratchDir::ScratchDir() {
    char tmpl[] = "/tmp/wes_test_XXXXXX";
    if (!::mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
    dir_ = tmpl;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

}  // namespace wes::test

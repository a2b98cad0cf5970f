// Helpers for end-to-end tests: run a built program, capture its standard output and
// exit status, and read and write small files in a scratch folder.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace wes::test {

struct RunResult {
    int status = -1;      // exit status, or 128 + signal
    std::string out;      // standard output
    std::string err;      // standard error
};

// As a value in env: the variable is removed (no variable can hold this value).
inline const std::string unset(1, '\0');

// How a program is started, beyond its arguments and environment (env entries are set,
// empty values too, on top of this process's environment; `unset` removes one).
struct Start {
    std::vector<std::string> args;
    std::map<std::string, std::string> env = {};
    bool close_stdout = false;
    bool close_stderr = false;
    unsigned long address_space = 0;  // bytes of RLIMIT_AS; 0 for no limit
    bool one_process = false;         // RLIMIT_NPROC 1, as user nobody when run as root (status 125 if that fails)
    bool stdin_pipe = false;          // standard input a pipe the test writes, else stdin_file
    std::string stdin_file = "/dev/null";
};

// A started program. finish() closes the pipe to its standard input, waits for it and
// collects its status and output.
struct Child {
    int pid = -1;
    int in = -1;  // write end of the standard-input pipe, or -1
    int out = -1, err = -1;
    RunResult finish();
};

// Starts the executable at path as how says.
Child start_path(const std::string& path, const Start& how);

// Runs WES_BIN_DIR/program with args. env entries are set, empty values too, on top of
// this process's environment. stdin is /dev/null.
RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env = {});

// Same, for any executable path.
RunResult run_path(const std::string& path, const std::vector<std::string>& args,
                   const std::map<std::string, std::string>& env = {});

std::string bin_path(const std::string& program);
std::string data_path(const std::string& name);  // tests/data/name

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& text);
bool file_exists(const std::string& path);

// gzip-compresses text into path (one member; bgzf-like many members when member_size > 0).
void write_gzip(const std::string& path, const std::string& text, std::size_t member_size = 0);

// A fresh scratch folder per test (removed at exit of the test program).
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    const std::string& dir() const { return dir_; }

private:
    std::string dir_;
};

}  // namespace wes::test

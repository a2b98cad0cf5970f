#include "program.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <new>
#include <unistd.h>

#include "build_config.hpp"

namespace wes {
namespace {

void open_closed_standard_descriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open() takes the lowest free number, which is fd itself.
        int got = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (got >= 0 && got != fd) {
            ::dup2(got, fd);
            ::close(got);
        }
    }
}

}  // namespace

void print_usage(const char* invoked_as, std::string_view usage) {
    const std::size_t at = usage.find("%s");
    std::fwrite(usage.data(), 1, std::min(at, usage.size()), stdout);
    if (at == std::string_view::npos) return;
    std::fputs(invoked_as, stdout);
    usage.remove_prefix(at + 2);
    std::fwrite(usage.data(), 1, usage.size(), stdout);
}

int run_main(int argc, char** argv, const ProgramInfo& program, const std::function<int(int, char**)>& body) {
    open_closed_standard_descriptors();
    try {
        if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
            print_usage(argv[0], program.usage);
            std::fflush(stdout);
            return 0;
        }
        if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
            std::printf("%s (wes-suite) %s\n", program.name, build::version);
            std::fflush(stdout);
            return 0;
        }
        return body(argc, argv);
    } catch (const std::bad_alloc&) {
        say("Error: out of memory\n");
    } catch (const std::exception& e) {
        say("Error: %s\n", e.what());
    }
    return program.failure_status;
}

}  // namespace wes

#include "program.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <new>
#include <unistd.h>

#include "build_config.hpp"
#include "messages.hpp"

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

int run_main(int argc, char** argv, const ProgramInfo& program, const std::function<int(int, char**)>& body) {
    open_closed_standard_descriptors();
    try {
        if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
            program.help(argv[0]);
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

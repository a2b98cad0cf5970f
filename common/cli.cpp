#include "cli.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "build_config.hpp"

namespace wes {

void handle_common_options(int argc, char** argv, const char* program, HelpPrinter help) {
    if (argc != 2) return;
    if (std::strcmp(argv[1], "--help") == 0) {
        help(argv[0]);
        std::fflush(stdout);
        std::exit(0);
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s (wes-suite) %s\n", program, build::version);
        std::fflush(stdout);
        std::exit(0);
    }
}

}  // namespace wes

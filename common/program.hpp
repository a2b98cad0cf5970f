// What every program of the suite shares around its own work: compiled-in paths with
// environment overrides, the usage text, --help and --version, sane standard
// descriptors, and no exception ever ending a run unreported.
#pragma once

#include <cstdlib>
#include <functional>
#include <string_view>

#include "diagnostics.hpp"

namespace wes {

// The value of environment variable env when it is set and not empty, else compiled.
inline const char* path_setting(const char* env, const char* compiled) {
    const char* v = std::getenv(env);
    return (v && *v) ? v : compiled;
}

// Prints a usage text on standard output, its "%s" replaced by the program as invoked.
void print_usage(const char* invoked_as, std::string_view usage);

struct ProgramInfo {
    const char* name;
    const char* usage;   // the usage text (print_usage)
    int failure_status;  // the status of a run that fails before or while it works
};

// Runs body(argc, argv) as the whole of a program. Before it, standard input, output
// and error are opened on /dev/null where they are closed (so that no output file
// takes their numbers and receives messages), a sole "--help" prints the usage text
// and ends with 0, and a sole "--version" prints "<name> (wes-suite) <version>" and
// ends with 0. An exception that escapes body is reported as "Error: <what>" and ends
// the run with the failure status.
int run_main(int argc, char** argv, const ProgramInfo& program, const std::function<int(int, char**)>& body);

}  // namespace wes

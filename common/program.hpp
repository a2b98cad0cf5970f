// What every program of the suite shares around its own work: the exit status of a
// failure, compiled-in paths with environment overrides, --help and --version, sane
// standard descriptors, and no exception ever ending a run unreported.
#pragma once

#include <cstdlib>
#include <functional>

namespace wes {

// Every failure that the suite adds beyond its historical statuses ends with this one.
constexpr int exit_failure = 2;

// The value of environment variable env when it is set and not empty, else compiled.
inline const char* path_setting(const char* env, const char* compiled) {
    const char* v = std::getenv(env);
    return (v && *v) ? v : compiled;
}

using HelpPrinter = std::function<void(const char* invoked_as)>;

struct ProgramInfo {
    const char* name;
    HelpPrinter help;    // the usage text, for the program as invoked
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

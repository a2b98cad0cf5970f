// Conventions every program of the suite shares on its command line.
#pragma once

namespace wes {

using HelpPrinter = void (*)(const char* invoked_as);

// A sole argument "--help" prints the usage text and exits 0; a sole "--version"
// prints "<program> (wes-suite) <version>" and exits 0. Anything else returns.
void handle_common_options(int argc, char** argv, const char* program, HelpPrinter help);

}  // namespace wes

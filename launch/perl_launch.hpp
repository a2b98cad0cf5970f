// The three launchers start an in-house perl script of the pipeline with an input and
// an output path. The script is started directly, never through a shell, so a path
// with blanks or shell metacharacters reaches it as one argument and nothing else runs; and
// after "--", so a script path that begins with "-" is never taken for one of perl's switches.
#pragma once

#include <string>
#include <vector>

#include "program.hpp"

namespace wes {

// The argument vector of one launcher, "perl" and "--" first, from the input and output paths.
using PerlWords = std::vector<std::string> (*)(const std::string& in, const std::string& out);

// perl, --, the origin-label script, in, the OMIM, SwissVar, HGMD and ClinVar databases, out.
std::vector<std::string> origin_label_words(const std::string& in, const std::string& out);
// perl, --, the tier-sort script, in, out.
std::vector<std::string> tier_sort_words(const std::string& in, const std::string& out);
// perl, --, the general annotation script, -f, table, -i, in, -o, out.
std::vector<std::string> tessaro_words(const std::string& in, const std::string& out);

// Starts words[0] (found through PATH) with words as its argument vector and waits for
// it. Returns its exit status, 128 + N when signal N ended it, or 127 after a one-line
// message when it cannot be started. A signal sent to the launcher that would end it
// (TERM, HUP, INT, QUIT, USR1, ALRM, PIPE ...) is passed on to the script and makes the
// result 128 + N (N the first such signal), without starting it when the signal came
// first; an INT or QUIT typed at the terminal reached the script already and is not
// passed on. Meant as a launcher's last step: those signals and CHLD stay blocked.
int run_words(const std::vector<std::string>& words);

// The whole flow of a launcher: label infile outfile, or the usage text and status 255;
// any other failure prints "Error: <what>" and ends with status 2.
int launcher_main(int argc, char** argv, const char* program, const char* usage, PerlWords words);

}  // namespace wes

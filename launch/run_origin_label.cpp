// run_origin_label label infile outfile: runs the origin-label script on infile with the
// four disease databases, writing outfile; exits with the script's status.
#include "perl_launch.hpp"

namespace {
void help(const char* invoked_as) { wes::print_launcher_usage(invoked_as, "\t1>\tOMIM+SWISS"); }
}  // namespace

int main(int argc, char** argv) {
    return wes::launcher_main(argc, argv, "run_origin_label", help, wes::origin_label_words);
}

// run_tier_sort label infile outfile: runs the tier-sort script on infile, writing
// outfile; exits with the script's status.
#include "perl_launch.hpp"

namespace {
void help(const char* invoked_as) { wes::print_launcher_usage(invoked_as, "\t1>\trun_tier_sort"); }
}  // namespace

int main(int argc, char** argv) {
    return wes::launcher_main(argc, argv, "run_tier_sort", help, wes::tier_sort_words);
}

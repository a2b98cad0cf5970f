// run_tessaro label infile outfile: runs the general annotation script with "-f table"
// on infile, writing outfile; exits with the script's status.
#include "perl_launch.hpp"

namespace {
void help(const char* invoked_as) { wes::print_launcher_usage(invoked_as, "\t1>\tTessaro"); }
}  // namespace

int main(int argc, char** argv) {
    return wes::launcher_main(argc, argv, "run_tessaro", help, wes::tessaro_words);
}

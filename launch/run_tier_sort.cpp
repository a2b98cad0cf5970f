// run_tier_sort label infile outfile: runs the tier-sort script on infile, writing
// outfile; exits with the script's status.
#include "perl_launch.hpp"

int main(int argc, char** argv) {
    return wes::launcher_main(argc, argv, "run_tier_sort", "Usage:\n\t%s\t<>\t<>\t<>\n\t1>\trun_tier_sort\n\t2>\tinfile\n\t3>\toutfile\n",
                              wes::tier_sort_words);
}

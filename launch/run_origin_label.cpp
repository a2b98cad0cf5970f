// run_origin_label label infile outfile: runs the origin-label script on infile with the
// four disease databases, writing outfile; exits with the script's status.
#include "perl_launch.hpp"

int main(int argc, char** argv) {
    return wes::launcher_main(argc, argv, "run_origin_label", "Usage:\n\t%s\t<>\t<>\t<>\n\t1>\tOMIM+SWISS\n\t2>\tinfile\n\t3>\toutfile\n",
                              wes::origin_label_words);
}

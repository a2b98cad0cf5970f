// run_tessaro label infile outfile: runs the general annotation script with "-f table"
// on infile, writing outfile; exits with the script's status.
#include "perl_launch.hpp"

int main(int argc, char** argv) {
    return wes::launcher_main(argc, argv, "run_tessaro", "Usage:\n\t%s\t<>\t<>\t<>\n\t1>\tTessaro\n\t2>\tinfile\n\t3>\toutfile\n",
                              wes::tessaro_words);
}

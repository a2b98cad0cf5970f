// vcf_to_table vcf_file out_file: one row per alternative allele of each VCF data line.
#include "cli.hpp"
#include "vcf_to_table.hpp"

int main(int argc, char** argv) {
    wes::handle_common_options(argc, argv, "vcf_to_table", wes::vcf::help);
    return wes::vcf::run_vcf_to_table(argc, argv);
}

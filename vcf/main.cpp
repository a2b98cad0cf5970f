// vcf_to_table vcf_file out_file: one row per alternative allele of each VCF data line.
#include "program.hpp"
#include "vcf_to_table.hpp"

int main(int argc, char** argv) {
    return wes::run_main(argc, argv, {"vcf_to_table", wes::vcf::usage, wes::exit_minus_one}, wes::vcf::run_vcf_to_table);
}

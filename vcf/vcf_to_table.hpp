// The vcf_to_table program: VCF data lines to the per-allele mutation table.
#pragma once

#include <string>
#include <string_view>

#include "line_reader.hpp"
#include "out_file.hpp"
#include "progress.hpp"

namespace wes::vcf {

inline constexpr const char* usage = "Usage:\n\t%s\tvcf_file\tout_file\n\t1>:\tvcf_file\n\t2>:\tout_file\n";

// Turns every VCF line of in into rows of out. Returns false when the input could not
// be read to its end; stops early once a write of out has failed, which the caller
// learns from out. progress, when given, counts the lines read.
bool convert_lines(LineReader& in, OutFile& out, Progress* progress = nullptr);

// The whole program after the common options: returns the exit status.
int run_vcf_to_table(int argc, char** argv);

}  // namespace wes::vcf

// One row of the mutation table:
// "%s\t%d\t%d\t%s\t%s\t%s\t%.4f\t%.0f/%d=%.4f\n" from chromosome, start, end, trimmed
// reference and alternative, identifier, mapping quality, allele depth, total depth and
// the allele's share of the reads, computed in single precision (0/0 prints "-nan",
// 5/0 "inf", 3/160 "0.0188").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "trim_allele.hpp"

namespace wes::vcf {

// The per-line part of a row, fixed for all alleles of one VCF line.
struct LineValues {
    std::string_view chr;
    std::string_view id;
    std::string_view mq_text;  // the mapping quality already formatted with "%.4f"
    std::int32_t dp = 0;
};

// The mapping quality's column text, formatted once per line.
std::string_view format_mq(float mq, char* buf);

// Appends the row for one trimmed allele with depth ad to out.
void append_row(std::string& out, const LineValues& line, const TrimmedAllele& allele, float ad);

}  // namespace wes::vcf

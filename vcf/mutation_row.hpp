// One row of the mutation table:
// "%s\t%d\t%d\t%s\t%s\t%s\t%.4f\t%.0f/%d=%.4f\n" from chromosome, start, end, trimmed
// reference and alternative, identifier, mapping quality, allele depth, total depth and
// the allele's share of the reads, computed in single precision (0/0 prints "-nan",
// 5/0 "inf", 3/160 "0.0188").
#pragma once

#include <charconv>
#include <cstdint>
#include <string_view>

#include "numbers.hpp"
#include "trim_allele.hpp"

namespace wes::vcf {

// The per-line part of a row, fixed for all alleles of one VCF line.
struct LineValues {
    std::string_view chr;
    std::string_view id;
    std::string_view mq_text;  // the mapping quality already formatted with "%.4f"
    std::int32_t dp = 0;
};

// The mapping quality's column text, formatted once per line into buf
// (fixed_text_max bytes).
inline std::string_view format_mq(float mq, char* buf) {
    return std::string_view(buf, format_fixed(static_cast<double>(mq), 4, buf));
}

// Writes the row for one trimmed allele with depth ad to out, anything with
// write(std::string_view) and put(char): the output file, or a string in tests.
template <typename Sink>
void write_row(Sink& out, const LineValues& line, const TrimmedAllele& allele, float ad) {
    char num[fixed_text_max];
    auto put_int = [&](std::int64_t v) {
        char* e = std::to_chars(num, num + 24, v).ptr;
        out.write(std::string_view(num, static_cast<std::size_t>(e - num)));
    };
    // The share is divided in single precision, as the table has always shown it.
    float fraction = ad / static_cast<float>(line.dp);
    out.write(line.chr);
    out.put('\t');
    put_int(allele.start);
    out.put('\t');
    put_int(allele.end);
    out.put('\t');
    out.write(allele.ref);
    out.put('\t');
    out.write(allele.alt);
    out.put('\t');
    out.write(line.id);
    out.put('\t');
    out.write(line.mq_text);
    out.put('\t');
    out.write(std::string_view(num, format_fixed(static_cast<double>(ad), 0, num)));
    out.put('/');
    put_int(line.dp);
    out.put('=');
    out.write(std::string_view(num, format_fixed(static_cast<double>(fraction), 4, num)));
    out.put('\n');
}

}  // namespace wes::vcf

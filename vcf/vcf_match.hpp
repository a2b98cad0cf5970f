// Selecting and dissecting a VCF data line.
//
// The expression below is the definition of which lines are taken and what is taken
// from them. It is compiled once per run (a failure to compile is reported, status 1),
// but lines are matched by match_vcf_line, a one-pass matcher that accepts exactly the
// lines the expression accepts (as glibc's regexec reads it, REG_EXTENDED) and yields
// the same eight captures. The tests hold the two against each other.
#pragma once

#include <array>
#include <regex.h>
#include <string>
#include <string_view>

namespace wes::vcf {

// The 106-character expression: nine TABs, the other backslashes are the pattern's own.
extern const char* const vcf_expression;

// The eight groups: CHROM, POS, ID, REF, ALT, the number after the last "MQ=" in INFO
// that is followed by ";", and the second and third sub-fields (AD, DP) of the first
// sample. Each view points into the matched line.
struct LineFields {
    std::array<std::string_view, 8> group;
};

// Compiles pattern with REG_EXTENDED. On failure returns false and sets message to
// "A\terr:<regerror text>\n", the line the tool prints.
bool compile_expression(const char* pattern, regex_t& re, std::string& message);

// True when the expression matches somewhere in line; then fields holds the groups.
// A line is taken up to its first NUL byte, as the expression sees a C string.
bool match_vcf_line(std::string_view line, LineFields& fields);

// The "chr" test: after any leading white space, the first three characters are "chr".
bool has_chr_prefix(std::string_view line);

}  // namespace wes::vcf

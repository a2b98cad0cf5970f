// Reducing a reference and an alternative allele to the part in which they differ.
#pragma once

#include <cstdint>
#include <string_view>

namespace wes::vcf {

struct TrimmedAllele {
    std::int64_t start = 0;  // first reference base of the change (1-based)
    std::int64_t end = 0;    // last one; for an insertion, the base after it
    std::string_view ref;    // trimmed reference, or "-" when nothing is left
    std::string_view alt;    // trimmed alternative, or "-"
};

// Trims alt against ref at position pos. The texts in the result are views into ref and
// alt (or the literal "-"). Returns false, and yields no allele, when alt is identical
// to ref and the leading trim leaves nothing of either.
//
// Both texts of two or more characters lose either their common leading characters
// (each one moving start by one) or, when the first characters differ, their common
// trailing characters. Then the first rule that applies, with R and A the lengths left:
//   R = 0          start - 1 and start are the bases around the inserted text; ref "-"
//   A = 0          a deletion of R bases from start; alt "-"
//   R = 1, A = 1   a substitution of one base
//   R = 1, A >= 2  an insertion after start: ref "-", alt loses its first (anchor) base
//   R >= 2, A = 1  a deletion after the anchor base: alt "-", ref loses its first base
//   R, A >= 2      a substitution of R bases
bool trim_allele(std::int64_t pos, std::string_view ref, std::string_view alt, TrimmedAllele& out);

}  // namespace wes::vcf

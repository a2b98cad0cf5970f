// The number conversions of the mutation table: leading-number reads as the C scan
// conversions "%d" and "%f" make them, and fixed-point text exactly as printf's "%.Nf".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace wes::vcf {

// A leading decimal integer (optional sign, then digits; what follows is ignored), as
// "%d" reads it. False when the text starts with no number or the number does not fit
// in 32 bits.
bool parse_leading_int(std::string_view text, std::int32_t& out);

// A leading decimal number (digits with an optional fraction), as "%f" reads it from a
// text of digits, dots, commas and backslashes, rounded to single precision; too large
// a number gives infinity. False when the text starts with no digit.
bool parse_leading_float(std::string_view text, float& out);

// Room for any double formatted with "%.4f".
constexpr std::size_t fixed_text_max = 400;

// Writes v with prec (0 to 4) decimals into out, byte for byte what printf's "%.*f"
// writes (round half to even on exact ties, "inf", "-nan"), and returns the length.
std::size_t format_fixed(double v, int prec, char* out);

}  // namespace wes::vcf

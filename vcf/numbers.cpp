#include "numbers.hpp"

#include "fields.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace wes::vcf {

bool parse_leading_int(std::string_view text, std::int32_t& out) {
    std::size_t n = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    while (n < text.size() && text[n] >= '0' && text[n] <= '9') ++n;
    return parse_int(text.substr(0, n), out);
}

bool parse_leading_float(std::string_view text, float& out) {
    const char* b = text.data();
    const char* e = b + text.size();
    const char* p = b;
    std::size_t digits = 0;
    while (p < e && *p >= '0' && *p <= '9') ++p, ++digits;
    if (p < e && *p == '.') {
        ++p;
        while (p < e && *p >= '0' && *p <= '9') ++p, ++digits;
    }
    if (digits == 0) return false;
    // Up to seven digits: the integer of the digits and the power of ten are both exact
    // floats, so one division rounds correctly.
    if (digits <= 7) {
        static constexpr float pow10f[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f};
        std::uint32_t m = 0;
        int frac = -1;
        for (const char* q = b; q < p; ++q) {
            if (*q == '.') {
                frac = 0;
                continue;
            }
            m = m * 10 + static_cast<std::uint32_t>(*q - '0');
            if (frac >= 0) ++frac;
        }
        out = static_cast<float>(m) / pow10f[frac < 0 ? 0 : frac];
        return true;
    }
    float v = 0;
    auto r = std::from_chars(b, p, v, std::chars_format::fixed);
    if (r.ec == std::errc() && r.ptr == p) {
        out = v;
        return true;
    }
    // Out of range for from_chars (huge, or below the smallest float): strtof gives
    // what the scan conversion stores, infinity or the rounded tiny value.
    std::string copy(b, p);
    out = std::strtof(copy.c_str(), nullptr);
    return true;
}

// Exact digits by integer arithmetic: vcf_to_table 0.66 s -> 0.27 s CPU against snprintf.
std::size_t format_fixed(double v, int prec, char* out) {
    static constexpr std::uint64_t pow10[] = {1, 10, 100, 1000, 10000};
    if (prec >= 0 && prec <= 4 && std::isfinite(v) && !std::signbit(v) && v < 1e15) {
        // v = m * 2^-s exactly; the digits are m * 10^prec / 2^s rounded half to even.
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        int exp = static_cast<int>((bits >> 52) & 0x7ff);
        std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
        int s;
        if (exp == 0) {
            s = 1074;
        } else {
            m |= std::uint64_t{1} << 52;
            s = 1075 - exp;  // at least 3, since v < 2^50
        }
        if (m != 0) {
            int z = __builtin_ctzll(m);
            if (z > s) z = s;
            m >>= z;
            s -= z;
        }
        std::uint64_t q = 0;
        if (s == 0) {
            q = m * pow10[prec];  // v < 2^50 and so m < 2^50
        } else if (m < (std::uint64_t{1} << 50) && s < 64) {
            std::uint64_t n = m * pow10[prec];
            std::uint64_t rem = n & ((std::uint64_t{1} << s) - 1);
            std::uint64_t half = std::uint64_t{1} << (s - 1);
            q = n >> s;
            if (rem > half || (rem == half && (q & 1))) ++q;
        } else if (s < 68) {
            unsigned __int128 n = static_cast<unsigned __int128>(m) * pow10[prec];
            unsigned __int128 rem = n & ((static_cast<unsigned __int128>(1) << s) - 1);
            unsigned __int128 half = static_cast<unsigned __int128>(1) << (s - 1);
            q = static_cast<std::uint64_t>(n >> s);
            if (rem > half || (rem == half && (q & 1))) ++q;
        }
        std::uint64_t whole, frac;
        if (prec == 4) {  // the common case, with a constant divisor
            whole = q / 10000;
            frac = q % 10000;
        } else {
            whole = q / pow10[prec];
            frac = q % pow10[prec];
        }
        char* p = std::to_chars(out, out + 24, whole).ptr;
        if (prec > 0) {
            *p++ = '.';
            for (int i = prec - 1; i >= 0; --i) {
                p[i] = static_cast<char>('0' + frac % 10);
                frac /= 10;
            }
            p += prec;
        }
        return static_cast<std::size_t>(p - out);
    }
    int n = std::snprintf(out, fixed_text_max, "%.*f", prec, v);
    return n < 0 ? 0 : static_cast<std::size_t>(n);
}

}  // namespace wes::vcf

// Field splitting and number parsing without allocation. White space is what C's
// isspace calls space in the C locale: blank, tab, newline, vertical tab, form feed, CR.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace wes {

constexpr bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Splits text at runs of white space into at most max_fields fields (leading and
// trailing white space ignored). Returns the number of fields stored; fields beyond
// max_fields are not looked at.
inline std::size_t split_fields(std::string_view text, std::string_view* out, std::size_t max_fields) {
    std::size_t n = 0;
    const char* p = text.data();
    const char* e = p + text.size();
    while (n < max_fields) {
        while (p < e && is_space(*p)) ++p;
        if (p == e) break;
        const char* s = p;
        while (p < e && !is_space(*p)) ++p;
        out[n++] = std::string_view(s, static_cast<std::size_t>(p - s));
    }
    return n;
}

// Counts all fields of text.
inline std::size_t count_fields(std::string_view text) {
    std::size_t n = 0;
    bool in = false;
    for (char c : text) {
        bool sp = is_space(c);
        if (!sp && !in) ++n;
        in = !sp;
    }
    return n;
}

// The first white-space-delimited word of text (empty when there is none).
inline std::string_view first_word(std::string_view text) {
    std::string_view w;
    split_fields(text, &w, 1);
    return w;
}

// A field that is wholly a decimal integer with an optional sign, in range of T.
template <typename T>
bool parse_int(std::string_view s, T& out) {
    if (s.empty()) return false;
    const char* p = s.data();
    const char* e = p + s.size();
    bool plus = *p == '+';
    if (plus) {
        ++p;
        if (p == e || *p == '-') return false;
    }
    T v{};
    auto r = std::from_chars(p, e, v);
    if (r.ec != std::errc() || r.ptr != e) return false;
    out = v;
    return true;
}

}  // namespace wes

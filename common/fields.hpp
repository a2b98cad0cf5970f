// Fields and numbers of the suite's text files, without allocation. White space is what
// C's isspace calls space in the C locale: blank, tab, newline, vertical tab, form feed
// and carriage return. Every tool splits its lines with FieldCursor and reads its
// positions with parse_int.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

namespace wes {

// The common case, a printable byte, is decided by the first compare.
constexpr bool is_space(char c) {
    return static_cast<unsigned char>(c) <= ' ' && (c == ' ' || (c >= '\t' && c <= '\r'));
}

// A text that is wholly a decimal integer with an optional sign, in the range of T.
// out is left alone when it is not.
template <typename T>
bool parse_int(std::string_view s, T& out) {
    const char* p = s.data();
    const char* e = p + s.size();
    bool neg = false;
    if (p < e && (*p == '+' || *p == '-')) {
        neg = *p == '-';
        ++p;
    }
    if (p == e) return false;
    std::int64_t v = 0;
    if (e - p <= 18) {  // fits in 64 bits whatever the digits
        for (; p < e; ++p) {
            unsigned d = static_cast<unsigned char>(*p) - unsigned{'0'};
            if (d > 9) return false;
            v = v * 10 + d;
        }
        if (neg) v = -v;
    } else {
        auto r = std::from_chars(neg ? p - 1 : p, e, v);
        if (r.ec != std::errc() || r.ptr != e || (!neg && *p == '-')) return false;
    }
    if (v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max()) return false;
    out = static_cast<T>(v);
    return true;
}

// Walks the white-space-delimited fields of one line, front to back.
class FieldCursor {
public:
    explicit FieldCursor(std::string_view text) : p_(text.data()), e_(text.data() + text.size()) {}

    // The next field; false, and the cursor at the end, when none is left.
    bool next(std::string_view& field) {
        while (p_ < e_ && is_space(*p_)) ++p_;
        if (p_ == e_) return false;
        const char* s = p_;
        while (p_ < e_ && !is_space(*p_)) ++p_;
        field = std::string_view(s, static_cast<std::size_t>(p_ - s));
        return true;
    }
    // The next field, empty when none is left.
    std::string_view next() {
        std::string_view f;
        next(f);
        return f;
    }
    // The next field read with parse_int; false when there is none or it is no integer.
    template <typename T>
    bool next_int(T& out) {
        std::string_view f;
        return next(f) && parse_int(f, out);
    }
    // Takes known as the next field when the text at the cursor is known followed by
    // white space: the cheap test for a line that repeats the line before's first field.
    bool next_is(std::string_view known) {
        const std::size_t n = known.size();
        if (n == 0 || static_cast<std::size_t>(e_ - p_) <= n || !is_space(p_[n]) || known.compare(0, n, p_, n) != 0)
            return false;
        p_ += n;
        return true;
    }
    // The text after the fields taken so far, from the white space after the last one.
    std::string_view rest() const { return std::string_view(p_, static_cast<std::size_t>(e_ - p_)); }

private:
    const char* p_;
    const char* e_;
};

// The first white-space-delimited word of text (empty when there is none).
inline std::string_view first_word(std::string_view text) { return FieldCursor(text).next(); }

// Whether text holds no field at all.
inline bool is_blank(std::string_view text) { return first_word(text).empty(); }

// The next piece of rest up to sep, skipping empty pieces (as strtok does); false when
// no piece is left.
inline bool next_piece(std::string_view& rest, char sep, std::string_view& piece) {
    std::size_t i = rest.find_first_not_of(sep);
    if (i == std::string_view::npos) {
        rest = {};
        return false;
    }
    std::size_t j = rest.find(sep, i);
    if (j == std::string_view::npos) j = rest.size();
    piece = rest.substr(i, j - i);
    rest.remove_prefix(j);
    return true;
}

}  // namespace wes

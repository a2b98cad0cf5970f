#include "escape.hpp"

namespace wes::qc {

namespace {

constexpr long k_replacement = 0xFFFD;

// The code point that starts at s[i], and its length in bytes (len). k_replacement
// with len 1 for a byte that starts no well-formed UTF-8 sequence (overlong forms,
// surrogates and values beyond U+10FFFF included).
long decode_utf8(std::string_view s, std::size_t i, std::size_t& len) {
    const auto c = static_cast<unsigned char>(s[i]);
    len = 1;
    if (c < 0x80) return c;
    std::size_t n = 0;
    long cp = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // the range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        n = 1, cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 2, cp = c & 0x0F;
        lo = c == 0xE0 ? 0xA0 : lo;
        hi = c == 0xED ? 0x9F : hi;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 3, cp = c & 0x07;
        lo = c == 0xF0 ? 0x90 : lo;
        hi = c == 0xF4 ? 0x8F : hi;
    } else {
        return k_replacement;
    }
    for (std::size_t k = 1; k <= n; ++k, lo = 0x80, hi = 0xBF) {
        if (i + k >= s.size()) return k_replacement;
        const auto b = static_cast<unsigned char>(s[i + k]);
        if (b < lo || b > hi) return k_replacement;
        cp = (cp << 6) | (b & 0x3F);
    }
    len = n + 1;
    return cp;
}

void append_hex4(std::string& out, long v) {
    static const char hex[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += hex[(v >> shift) & 15];
}

}  // namespace

std::string escape_html(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0, len = 0; i < s.size(); i += len) {
        long cp = decode_utf8(s, i, len);
        switch (cp) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        case k_replacement: out += "\uFFFD"; break;
        default: out.append(s.substr(i, len));
        }
    }
    return out;
}

std::string json_string(std::string_view s) {
    std::string out = "\"";
    for (std::size_t i = 0, len = 0; i < s.size(); i += len) {
        long cp = decode_utf8(s, i, len);
        if (cp == '"' || cp == '\\') {
            out += '\\';
            out += static_cast<char>(cp);
        } else if (cp >= 0x20 && cp < 0x7f) {
            out += static_cast<char>(cp);
        } else if (cp <= 0xFFFF) {
            append_hex4(out, cp);
        } else {
            append_hex4(out, 0xD800 + ((cp - 0x10000) >> 10));
            append_hex4(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
    }
    return out + "\"";
}

}  // namespace wes::qc

#include "vcf_match.hpp"

#include <cstdint>
#include <cstring>
#include <vector>

#include "fields.hpp"

namespace wes::vcf {

const char* const vcf_expression =
    "(\\S+)\t(\\S+)\t(\\S+)\t(\\S+)\t(\\S+)\t\\S+\t\\S+\t\\S+MQ\\=([0-9\\.]+)\\;\\S*\t\\S+\t"
    "[0-9\\.\\/]+\\:([0-9\\.\\,]+)\\:([0-9\\.\\,]+)\\S+";

bool compile_expression(const char* pattern, regex_t& re, std::string& message) {
    int rc = regcomp(&re, pattern, REG_EXTENDED);
    if (rc == 0) return true;
    std::vector<char> text(1024);
    regerror(rc, &re, text.data(), text.size());
    message = "A\terr:";
    message += text.data();
    message += '\n';
    return false;
}

namespace {

// Character classes of the expression: white space (C isspace), and the three
// bracket expressions, in each of which the backslash is an ordinary member.
enum : std::uint8_t {
    c_space = 1,
    c_num = 2,       // [0-9\.]     the MQ value
    c_gt = 4,        // [0-9\.\/]   the genotype
    c_depth = 8,     // [0-9\.\,]   AD and DP
};

struct ClassTable {
    std::uint8_t t[256] = {};
    constexpr ClassTable() {
        for (int c = 0; c < 256; ++c)
            if (is_space(static_cast<char>(c))) t[c] = c_space;
        for (int c = '0'; c <= '9'; ++c) t[c] = c_num | c_gt | c_depth;
        t[static_cast<unsigned char>('.')] = t[static_cast<unsigned char>('\\')] = c_num | c_gt | c_depth;
        t[static_cast<unsigned char>('/')] = c_gt;
        t[static_cast<unsigned char>(',')] = c_depth;
    }
};
constexpr ClassTable classes;

inline bool is(char c, std::uint8_t cls) { return (classes.t[static_cast<unsigned char>(c)] & cls) != 0; }

struct Span {
    const char* b;
    const char* e;
};

// INFO: some text, then "MQ=", a run of [0-9\.] and ";". The leading \S+ is greedy, so
// the last place in the column that fits gives the value.
bool info_fits(Span w, std::string_view& mq) {
    const char* b = w.b;
    const char* e = w.e;
    // "MQ=" needs one character before it and at least two after it (a digit and ';').
    if (e - b < 6) return false;
    const char* from = b + 3;  // lowest possible position of '='
    const char* hi = e - 2;    // '=' must leave room for one value character and ';'
    // Each '=' from the right (memrchr: a hand-made 16-byte scan was measured no faster).
    const void* found;
    while (hi > from && (found = memrchr(from, '=', static_cast<std::size_t>(hi - from)))) {
        const char* eq = static_cast<const char*>(found);
        if (eq[-2] == 'M' && eq[-1] == 'Q') {
            const char* v = eq + 1;
            const char* p = v;
            while (p < e && is(*p, c_num)) ++p;
            if (p > v && p < e && *p == ';') {
                mq = std::string_view(v, static_cast<std::size_t>(p - v));
                return true;
            }
        }
        hi = eq;
    }
    return false;
}

// First sample: [0-9\.\/]+ ':' ([0-9\.\,]+) ':' ([0-9\.\,]+) \S+. The last group gives
// up its final character when nothing else follows it in the column.
bool sample_fits(Span w, std::string_view& ad, std::string_view& dp) {
    const char* p = w.b;
    const char* e = w.e;
    while (p < e && is(*p, c_gt)) ++p;
    if (p == w.b || p == e || *p != ':') return false;
    const char* ad_b = ++p;
    while (p < e && is(*p, c_depth)) ++p;
    if (p == ad_b || p == e || *p != ':') return false;
    const char* ad_e = p;
    const char* dp_b = ++p;
    if (e - dp_b < 2 || !is(*dp_b, c_depth)) return false;
    ++p;
    while (p < e && is(*p, c_depth)) ++p;
    const char* dp_e = p < e ? p : e - 1;
    ad = std::string_view(ad_b, static_cast<std::size_t>(ad_e - ad_b));
    dp = std::string_view(dp_b, static_cast<std::size_t>(dp_e - dp_b));
    return true;
}

}  // namespace

bool has_chr_prefix(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && is(line[i], c_space)) ++i;
    return line.size() - i >= 3 && line[i] == 'c' && line[i + 1] == 'h' && line[i + 2] == 'r';
}

// The expression is unanchored, so it may fit from any word of the line; it fits from
// the word that starts column 1 when that word and the nine after it are joined by
// single TABs, the eighth of them fits INFO and the tenth fits the first sample. The
// words are walked once, the last ten kept in a ring, and the first start that fits
// is the leftmost match.
bool match_vcf_line(std::string_view line, LineFields& fields) {
    if (line.empty()) return false;
    if (const void* nul = std::memchr(line.data(), '\0', line.size()))
        line = line.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - line.data()));
    const char* p = line.data();
    const char* e = p + line.size();
    Span ring[10];
    std::size_t word = 0;         // index of the current word
    std::size_t chain_start = 0;  // first word of the current run joined by single TABs
    while (p < e && is(*p, c_space)) ++p;
    while (p < e) {
        const char* wb = p;
        p = find_space(p, e);
        ring[word % 10] = Span{wb, p};
        if (word - chain_start >= 9) {
            std::string_view mq, ad, dp;
            std::size_t first = word - 9;
            if (sample_fits(ring[word % 10], ad, dp) && info_fits(ring[(first + 7) % 10], mq)) {
                for (std::size_t g = 0; g < 5; ++g) {
                    const Span& s = ring[(first + g) % 10];
                    fields.group[g] = std::string_view(s.b, static_cast<std::size_t>(s.e - s.b));
                }
                fields.group[5] = mq;
                fields.group[6] = ad;
                fields.group[7] = dp;
                return true;
            }
        }
        if (p == e) break;
        const char* sb = p;
        while (p < e && is(*p, c_space)) ++p;
        ++word;
        if (p - sb != 1 || *sb != '\t') chain_start = word;
    }
    return false;
}

}  // namespace wes::vcf

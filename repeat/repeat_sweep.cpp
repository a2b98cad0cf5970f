#include "repeat_sweep.hpp"

#include <charconv>
#include <initializer_list>

#include "fields.hpp"
#include "get_big.hpp"

namespace wes {

namespace {

// The white space of C's isspace, as a table: this loop runs over every byte read.
struct SpaceTable {
    bool is[256] = {};
    constexpr SpaceTable() {
        for (unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'}) is[c] = true;
    }
};
constexpr SpaceTable k_space;
inline bool space(char c) { return k_space.is[static_cast<unsigned char>(c)]; }

// The next white-space-delimited field from p on; false when none is left.
inline bool next_field(const char*& p, const char* e, std::string_view& field) {
    while (p < e && space(*p)) ++p;
    if (p == e) return false;
    const char* s = p;
    while (p < e && !space(*p)) ++p;
    field = std::string_view(s, static_cast<std::size_t>(p - s));
    return true;
}

// A field that is wholly a decimal integer with an optional sign. Short fields (all
// positions) take the quick loop; long ones the range-checked parse.
inline bool parse_position(std::string_view f, std::int64_t& out) {
    const char* p = f.data();
    const char* e = p + f.size();
    bool neg = false;
    if (p < e && (*p == '+' || *p == '-')) {
        neg = *p == '-';
        ++p;
    }
    if (e - p > 18) return parse_int(f, out);
    if (p == e) return false;
    std::int64_t v = 0;
    for (; p < e; ++p) {
        unsigned d = static_cast<unsigned char>(*p) - unsigned{'0'};
        if (d > 9) return false;
        v = v * 10 + d;
    }
    out = neg ? -v : v;
    return true;
}

}  // namespace

RowScan scan_row(std::string_view line, RepeatRow& row) {
    const char* p = line.data();
    const char* e = p + line.size();
    std::string_view chrom, start, end;
    if (!next_field(p, e, chrom)) return RowScan::blank;
    if (!next_field(p, e, start) || !next_field(p, e, end)) return RowScan::malformed;
    RepeatRow r;
    r.chrom = chrom;
    if (!parse_position(start, r.start) || !parse_position(end, r.end)) return RowScan::malformed;
    row = r;
    return RowScan::row;
}

bool scan_interval_head(std::string_view line, RepeatInterval& iv) {
    const char* p = line.data();
    const char* e = p + line.size();
    std::string_view chrom, start, end;
    if (!next_field(p, e, chrom) || !next_field(p, e, start) || !next_field(p, e, end)) return false;
    RepeatInterval r;
    r.chrom = chrom;
    if (!parse_position(start, r.start) || !parse_position(end, r.end)) return false;
    r.rest = std::string_view(p, static_cast<std::size_t>(e - p));
    iv = r;
    return true;
}

bool find_counts(RepeatInterval& iv) {
    const char* p = iv.rest.data();
    const char* e = p + iv.rest.size();
    std::string_view f;
    if (!next_field(p, e, f) || !next_field(p, e, f) || !next_field(p, e, f)) return false;
    iv.counts = f;
    return true;
}

RepeatSweep::RepeatSweep(LineReader& repeats) : repeats_(repeats), order_(repeats.path()) {
    cur_mark_.reserve(16);
}

bool RepeatSweep::mark(const RepeatRow& row, std::string_view& out) {
    int c = row.chrom.compare(cur_chrom_);
    if (c < 0 || (c == 0 && row.end < cur_start_)) {
        out = no_repeat_mark;
        return true;
    }
    if (c == 0 && row.start <= cur_end_) {
        if (cur_from_file_) ++hits_;
        out = cur_mark_;
        return true;
    }
    return advance(row, out);
}

bool RepeatSweep::advance(const RepeatRow& row, std::string_view& out) {
    out = no_repeat_mark;
    if (exhausted_) return true;  // once at its end, the file stays there
    std::string_view line;
    RepeatInterval iv;
    for (;;) {
        switch (repeats_.next(line)) {
        case LineReader::Status::eof:
            exhausted_ = true;
            return true;
        case LineReader::Status::error:
            return false;
        case LineReader::Status::line:
            break;
        }
        if (!scan_interval_head(line, iv)) continue;
        order_.see(iv.chrom, iv.start, repeats_.line_number());
        names_.see(iv.chrom);
        int c = row.chrom.compare(iv.chrom);
        if (c > 0) continue;  // a whole chromosome before the row's
        if (c == 0 && row.end >= iv.start) {
            if (row.start > iv.end) continue;  // wholly before the row
            if (!find_counts(iv)) continue;
            take_as_cursor(iv);
            ++hits_;
            out = cur_mark_;
            return true;
        }
        // The interval starts after the row: the row lies in no interval.
        if (!find_counts(iv)) continue;
        take_as_cursor(iv);
        return true;
    }
}

void RepeatSweep::take_as_cursor(const RepeatInterval& iv) {
    cur_chrom_.assign(iv.chrom);
    cur_start_ = iv.start;
    cur_end_ = iv.end;
    char buf[16] = {'Y', '='};
    auto r = std::to_chars(buf + 2, buf + sizeof buf, get_big(iv.counts));
    cur_mark_.assign(buf, static_cast<std::size_t>(r.ptr - buf));
    cur_from_file_ = true;
}

}  // namespace wes

#include "repeat_sweep.hpp"

#include <charconv>

#include "fields.hpp"
#include "get_big.hpp"

namespace wes {

RowScan scan_row(std::string_view line, RepeatRow& row) {
    std::string_view f[3];
    std::size_t n = split_fields(line, f, 3);
    if (n == 0) return RowScan::blank;
    if (n < 3) return RowScan::malformed;
    RepeatRow r;
    r.chrom = f[0];
    if (!parse_int(f[1], r.start) || !parse_int(f[2], r.end)) return RowScan::malformed;
    row = r;
    return RowScan::row;
}

bool scan_interval(std::string_view line, RepeatInterval& iv) {
    std::string_view f[6];
    if (split_fields(line, f, 6) < 6) return false;
    RepeatInterval r;
    r.chrom = f[0];
    if (!parse_int(f[1], r.start) || !parse_int(f[2], r.end)) return false;
    r.counts = f[5];
    iv = r;
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
        if (!scan_interval(line, iv)) continue;
        order_.see(iv.chrom, iv.start, repeats_.line_number());
        names_.see(iv.chrom);
        int c = row.chrom.compare(iv.chrom);
        if (c > 0) continue;  // a whole chromosome before the row's
        if (c == 0 && row.end >= iv.start) {
            if (row.start > iv.end) continue;  // wholly before the row
            take_as_cursor(iv);
            ++hits_;
            out = cur_mark_;
            return true;
        }
        // The interval starts after the row: the row lies in no interval.
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

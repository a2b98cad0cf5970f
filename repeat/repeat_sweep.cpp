#include "repeat_sweep.hpp"

#include <charconv>

#include "fields.hpp"
#include "get_big.hpp"

namespace wes {

RowScan scan_row(std::string_view line, RepeatRow& row) {
    FieldCursor f(line);
    RepeatRow r;
    if (!f.next(r.chrom)) return RowScan::blank;
    if (!f.next_int(r.start) || !f.next_int(r.end)) return RowScan::malformed;
    row = r;
    return RowScan::row;
}

bool scan_interval_head(std::string_view line, RepeatInterval& iv) {
    FieldCursor f(line);
    RepeatInterval r;
    if (!f.next(r.chrom) || !f.next_int(r.start) || !f.next_int(r.end)) return false;
    r.rest = f.rest();
    iv = r;
    return true;
}

bool find_counts(RepeatInterval& iv) {
    FieldCursor f(iv.rest);
    std::string_view skipped;
    return f.next(skipped) && f.next(skipped) && f.next(iv.counts);
}

RepeatSweep::RepeatSweep(LineReader& repeats) : repeats_(repeats), order_(repeats.path()) {
    cur_mark_.reserve(16);
}

bool RepeatSweep::mark(const RepeatRow& row, std::string_view& out) {
    const int c = compare_chrom(row.chrom, cur_chrom_);
    if (compare_place(c, row.end, cur_start_) < 0) {  // the row ends before the cursor starts
        out = no_repeat_mark;
        return true;
    }
    if (compare_place(c, row.start, cur_end_) <= 0) {  // the row starts inside the cursor
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
        ++intervals_;
        const int c = compare_chrom(row.chrom, iv.chrom);
        const bool after_row = compare_place(c, row.end, iv.start) < 0;
        if (!after_row && compare_place(c, row.start, iv.end) > 0) continue;  // wholly before the row
        if (!find_counts(iv)) continue;
        take_as_cursor(iv);
        if (after_row) return true;  // the row lies in no interval
        ++hits_;
        out = cur_mark_;
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

// The forward sweep of mark_repeat: each row of a sorted table is compared first with
// the cursor, the repeat interval that stopped the last advance, and only when it lies
// after the cursor is the repeat file read on, never rewound.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "line_reader.hpp"
#include "merge_order.hpp"

namespace wes {

// The mark of a row that lies in no interval met.
inline constexpr std::string_view no_repeat_mark = "N=0";

// One row of the table: the first three fields, chromosome, start and end.
struct RepeatRow {
    std::string_view chrom;
    std::int64_t start = 0;
    std::int64_t end = 0;
};

enum class RowScan { blank, malformed, row };

// Reads the first three fields of a table line. blank: no field at all; malformed:
// fewer than three fields, or a start or end that is not wholly a decimal integer.
RowScan scan_row(std::string_view line, RepeatRow& row);

// One usable line of the repeat file: chromosome, start and end in fields 1 to 3 and
// the repeat-count text in field 6. A line that lacks one of them or whose start or end
// is not a number is skipped: it never becomes the cursor.
struct RepeatInterval {
    std::string_view chrom;
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::string_view rest;    // the line after field 3
    std::string_view counts;  // field 6, once find_counts found it
};
// Fields 1 to 3; false when one is missing or the start or end is not a number.
bool scan_interval_head(std::string_view line, RepeatInterval& iv);
// Field 6, looked for only when the interval may become the cursor.
bool find_counts(RepeatInterval& iv);
// Both of the above.
inline bool scan_interval(std::string_view line, RepeatInterval& iv) {
    return scan_interval_head(line, iv) && find_counts(iv);
}

class RepeatSweep {
public:
    // repeats is the opened repeat file; the sweep reads it forward only.
    explicit RepeatSweep(LineReader& repeats);

    // The mark of row: a view valid until the next call. False when the repeat file
    // could not be read on (read error, corrupt compressed data); repeats.error() says why.
    bool mark(const RepeatRow& row, std::string_view& out);

    // Rows that overlapped an interval of the file.
    std::uint64_t hits() const { return hits_; }
    // Chromosome names met in the repeat file.
    const ChromNames& names() const { return names_; }
    // Whether the repeat file was read to its end without one usable interval.
    bool found_no_interval() const { return exhausted_ && intervals_ == 0; }

private:
    // Reads on until a repeat line stops the advance; that line becomes the cursor.
    bool advance(const RepeatRow& row, std::string_view& out);
    void take_as_cursor(const RepeatInterval& iv);

    LineReader& repeats_;
    OrderWatch order_;
    ChromNames names_;
    bool exhausted_ = false;
    std::uint64_t hits_ = 0;
    std::uint64_t intervals_ = 0;  // lines of the file with a chromosome, start and end

    // The cursor; it starts before every interval of the first chromosome.
    std::string cur_chrom_ = std::string(first_chrom);
    std::int64_t cur_start_ = first_pos;
    std::int64_t cur_end_ = first_pos;
    std::string cur_mark_ = std::string(no_repeat_mark);
    bool cur_from_file_ = false;
};

}  // namespace wes

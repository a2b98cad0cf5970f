// The one forward merge of a sorted result file with a sorted database, shared by the
// four annotators. Both inputs are read once, front to back, in step; the only memory
// is the current row, the database line last read and the cursor: the last database
// record that stopped an advance, against which each next row is compared first.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "line_reader.hpp"
#include "out_file.hpp"
#include "sort_watch.hpp"

namespace wes::annotate {

// Enough row fields for the widest row format (twenty columns).
constexpr std::size_t max_row_fields = 20;

// One data line of the result file.
struct Row {
    std::string_view line;  // as read, without its newline
    bool had_newline = false;
    std::string_view fields[max_row_fields];
    std::size_t n_fields = 0;  // fields stored (at most max_row_fields)
    std::string_view rest;     // the text after field max_row_fields (fields beyond it)
    std::int64_t pos = 0;      // field 2 as a number, when keyed
    bool keyed = false;        // chromosome, position, ref and alt all read

    std::string_view chrom() const { return fields[0]; }
    std::string_view ref() const { return fields[3]; }
    std::string_view alt() const { return fields[4]; }
};

// What differs between the annotators: column places, value form, output lines.
struct JoinProfile {
    bool newline_blank;           // echoed rows carry one blank where their newline was
    unsigned row_fields;          // row fields the tool uses (at least five)
    unsigned rec_ref_col;         // database columns, counted from 0
    unsigned rec_alt_col;
    unsigned value_cols[4];
    unsigned n_value_cols;        // value = these columns joined by '|'
    unsigned rec_min_fields;      // a record with fewer fields is skipped
    bool normalise_indels;        // one shared leading base becomes the "-" form
    void (*hit)(OutFile& out, const Row& row, std::string_view value);
    void (*miss)(OutFile& out, const Row& row);
};

// Splits a result-file line into a Row; keyed is false when chromosome, position, ref
// or alt cannot all be read (fewer than five fields, or a position that is not wholly
// a decimal integer).
void parse_row(std::string_view line, bool had_newline, Row& row, std::size_t want_fields = max_row_fields);

// Writes row.line followed by the blank that stands where its newline was.
inline void write_echo(OutFile& out, const Row& row) {
    out.write(row.line);
    out.put(' ');
}

struct JoinCounts {
    std::uint64_t rows = 0;     // output lines written for data rows
    std::uint64_t hits = 0;     // rows that found a value
    std::uint64_t records = 0;  // database records read
};

enum class JoinEnd { done, rows_read_error, db_read_error, write_error };

// Runs the merge over the rest of rows (positioned after the header) and the rest of db.
class MergeJoin {
public:
    MergeJoin(const JoinProfile& profile, LineReader& rows, LineReader& db, OutFile& out);
    JoinEnd run();
    const JoinCounts& counts() const { return counts_; }
    // Warns on standard error when no row found a value and the two files never share
    // a chromosome name.
    void warn_on_disjoint_names() const;

private:
    bool advance(const Row& row);  // false on a database read error
    bool keys_equal(const Row& row, std::string_view ref, std::string_view alt) const;
    void new_db_chrom(std::string_view chrom, const Row& row);
    void make_cursor(std::string_view chrom, std::int64_t pos, std::string_view ref, std::string_view alt);

    const JoinProfile& p_;
    LineReader& rows_;
    LineReader& db_;
    OutFile& out_;
    JoinCounts counts_;
    OrderWatch rows_order_, db_order_;
    ChromNames row_names_, db_names_;

    // The cursor.
    std::string cur_chrom_ = "NC_000001.10";
    std::int64_t cur_pos_ = 1;
    std::string cur_key_;     // "ref-alt"; the chromosome and position are held apart
    bool cur_has_key_ = false;
    std::string cur_value_ = "NA";

    // The record that stopped the current advance.
    std::string rec_value_;
    std::string_view rec_fields_[16];
    bool db_done_ = false;
    std::string db_chrom_;        // chromosome of the last database record read
    int row_vs_db_chrom_ = 1;     // the current row's chromosome against db_chrom_
};

}  // namespace wes::annotate

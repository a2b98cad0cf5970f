// The one forward merge of a sorted result file with a sorted database, shared by the
// four annotators. Both inputs are read once, front to back, in step; the only memory
// is the current row, the database line last read and the cursor: the last database
// record that stopped an advance, against which each next row is compared first.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "line_reader.hpp"
#include "merge_order.hpp"
#include "out_file.hpp"
#include "progress.hpp"

namespace wes::annotate {

// Enough row fields for the widest row format (twenty columns).
constexpr std::size_t max_row_fields = 20;
// Enough database columns for the widest record format.
constexpr std::size_t max_record_fields = 16;

// One data line of the result file.
struct Row {
    std::string_view line;  // as read, without its newline
    std::string_view fields[max_row_fields];
    std::size_t n_fields = 0;  // fields stored (at most the profile's row_fields)
    std::string_view rest;     // the text after the last field stored
    std::int64_t pos = 0;      // field 2 as a number, when keyed
    bool keyed = false;        // chromosome, position, ref and alt all read

    std::string_view chrom() const { return fields[0]; }
    std::string_view ref() const { return fields[3]; }
    std::string_view alt() const { return fields[4]; }
};

// Splits a result-file line into at most want_fields fields; keyed is false when
// chromosome, position, ref or alt cannot all be read (fewer than five fields, or a
// position that is not wholly a decimal integer of 32 bits).
void parse_row(std::string_view line, Row& row, std::size_t want_fields = max_row_fields);

// One database record that may decide a row: its chromosome, position, alleles (after
// the profile's rewrite of indels) and its first fields.
struct Record {
    std::string_view chrom;
    std::int64_t pos = 0;
    std::string_view ref, alt;
    std::string_view fields[max_record_fields];
};

// What differs between the annotators: column places, value form, output lines.
struct JoinProfile {
    unsigned row_fields = 5;       // row fields the tool uses (at least five)
    unsigned rec_ref_col = 2;      // database columns, counted from 0
    unsigned rec_alt_col = 3;
    unsigned value_cols[4] = {};   // the value: these columns joined by '|'
    unsigned n_value_cols = 1;
    unsigned rec_min_fields = 8;   // a record with fewer fields is skipped
    bool normalise_indels = false; // a shared leading base becomes the "-" form
    void (*hit)(OutFile& out, const Row& row, std::string_view value) = nullptr;
    void (*miss)(OutFile& out, const Row& row) = nullptr;
};

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
// progress, when given, counts the rows and is measured by the bytes of the result file.
class MergeJoin {
public:
    MergeJoin(const JoinProfile& profile, LineReader& rows, LineReader& db, OutFile& out,
              Progress* progress = nullptr);
    JoinEnd run();
    const JoinCounts& counts() const { return counts_; }
    // The warnings of a finished run on standard error: rows that lay before where the
    // merge starts, a database without records, inputs that never share a chromosome.
    void warn_at_end() const;

private:
    enum class Read { record, end, error };
    Read read_record(const Row& row, Record& rec);
    bool advance(const Row& row);  // false on a database read error
    void take_as_cursor(const Record& rec);

    const JoinProfile& p_;
    LineReader& rows_;
    LineReader& db_;
    OutFile& out_;
    Progress* progress_;
    JoinCounts counts_;
    OrderWatch rows_order_, db_order_;
    ChromNames row_names_, db_names_;
    BeforeStart before_start_;

    // The cursor. Its alleles start empty: no row's "ref-alt" (three characters at
    // least) equals its "-" before a record has stopped an advance.
    std::string cur_chrom_ = std::string(first_chrom);
    std::int64_t cur_pos_ = first_pos;
    std::string cur_ref_, cur_alt_;
    std::string cur_value_ = "NA";

    std::string value_;      // the value of the record being decided
    std::string db_chrom_;   // chromosome of the last database record read
    bool db_done_ = false;
};

}  // namespace wes::annotate

// The one forward merge of a sorted result file with a sorted database, shared by the
// four annotators. Both inputs are read once, front to back, in step; the memory is the
// current row, the database line last read and the cursor: the records at the place
// that stopped the last advance (a bounded group), against which each next row is
// compared first. On sorted inputs a row's answer is the database's first record with
// the row's place and alleles, whatever the order of the alleles at that place.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "line_reader.hpp"
#include "merge_order.hpp"
#include "out_file.hpp"
#include "place_group.hpp"
#include "progress.hpp"

namespace wes::annotate {

// Enough row fields for the widest row format (twenty columns).
constexpr std::size_t max_row_fields = 20;

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
// The chromosome and position of a row that can be keyed (as parse_row tells).
bool row_place(std::string_view line, std::string_view& chrom, std::int64_t& pos);

// What differs between the annotators: column places, value form, output lines.
struct JoinProfile {
    unsigned row_fields = 5;       // row fields the tool uses (at least five)
    unsigned rec_ref_col = 2;      // database columns, counted from 0 (2 and later)
    unsigned rec_alt_col = 3;
    unsigned value_cols[4] = {};   // the value: these columns joined by '|'
    unsigned n_value_cols = 1;
    unsigned rec_min_fields = 8;   // a record with fewer fields is skipped
    bool normalise_indels = false; // a shared leading base becomes the "-" form (ref and alt in columns 2 and 3)
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
              Progress* progress = nullptr, GroupBound bound = {}, JumpAhead* jumps = nullptr);
    JoinEnd run();
    JoinCounts counts() const { return {counts_.rows, counts_.hits, db_.records()}; }
    // The warnings of a finished run on standard error: rows that lay before where the
    // merge starts, a database without records, inputs that never share a chromosome.
    void warn_at_end() const;

private:
    // Each writes row's line; false on a database read error.
    bool answer(const Row& row);
    bool read_on(const Row& row);
    bool hit(const Row& row, std::string_view value);
    bool miss(const Row& row);

    const JoinProfile& p_;
    LineReader& rows_;
    OutFile& out_;
    Progress* progress_;
    JoinCounts counts_;
    OrderWatch rows_order_;
    ChromNames row_names_;
    BeforeStart before_start_;
    PlacedRecords db_;
    // The cursor. It starts at NC_000001.10 1 with no record and nothing read: a row
    // there reads the database as a row past it does.
    PlaceGroup group_;
};

}  // namespace wes::annotate

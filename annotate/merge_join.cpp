#include "merge_join.hpp"

#include "fields.hpp"

namespace wes::annotate {

void parse_row(std::string_view line, Row& row, std::size_t want_fields) {
    row.line = line;
    FieldCursor f(line);
    std::size_t n = 0;
    while (n < want_fields && f.next(row.fields[n])) ++n;
    row.n_fields = n;
    row.rest = f.rest();
    std::int32_t pos;
    row.keyed = n >= 5 && parse_int(row.fields[1], pos);
    if (row.keyed) row.pos = pos;
}

bool row_place(std::string_view line, std::string_view& chrom, std::int64_t& pos) {
    Row row;
    parse_row(line, row, 5);
    chrom = row.chrom();
    pos = row.pos;
    return row.keyed;
}

MergeJoin::MergeJoin(const JoinProfile& profile, LineReader& rows, LineReader& db, OutFile& out,
                     Progress* progress, GroupBound bound, JumpAhead* jumps)
    : p_(profile), rows_(rows), out_(out), progress_(progress), rows_order_(rows.path()),
      db_(profile, db, bound, jumps), group_(bound) {}

JoinEnd MergeJoin::run() {
    Row row;
    std::string_view line;
    if (progress_) progress_->watch(rows_);
    for (;;) {
        LineReader::Status st = rows_.next(line);
        if (st == LineReader::Status::eof) break;
        if (st == LineReader::Status::error) return JoinEnd::rows_read_error;
        if (progress_) progress_->tick();
        parse_row(line, row, p_.row_fields);
        if (row.n_fields == 0) continue;  // a blank line: no output line
        ++counts_.rows;
        if (!row.keyed) {
            // Nothing to compare with: the miss line from the row's own text; the
            // database and the cursor are left alone.
            miss(row);
        } else {
            rows_order_.see(row.chrom(), row.pos, rows_.line_number());
            row_names_.see(row.chrom());
            before_start_.see(row.chrom(), row.pos);
            if (!answer(row)) return JoinEnd::db_read_error;
        }
        if (out_.failed()) return JoinEnd::write_error;
    }
    return out_.failed() ? JoinEnd::write_error : JoinEnd::done;
}

// A row before the cursor's place is a miss, never searched back. A row past it moves
// the cursor on: the records before the row are dropped, and the first record not
// before it starts the group of its place. A row at the cursor's place takes the value
// of the group's first record with its alleles.
bool MergeJoin::answer(const Row& row) {
    const int c = compare_place(row.chrom(), row.pos, group_.chrom(), group_.pos());
    if (c < 0) return miss(row);
    if (c > 0) {
        const Record* rec;
        switch (db_.peek(row.chrom(), row.pos, rec)) {
        case PlacedRecords::Read::error:
            return false;
        case PlacedRecords::Read::end:
            return miss(row);  // the cursor stays where it was
        case PlacedRecords::Read::record:
            break;
        }
        group_.start(*rec);
        db_.pop();
        if (group_.pos() != row.pos || group_.chrom() != row.chrom()) return miss(row);
    }
    std::string_view value;
    if (group_.find(row.ref(), row.alt(), value)) return hit(row, value);
    return read_on(row);
}

// Reads on at the cursor's place, adding its records to the group, until one has the
// row's alleles or the place ends. Past the group's bound the records are matched one
// at a time: only the one that matches is kept.
bool MergeJoin::read_on(const Row& row) {
    while (!group_.complete) {
        const Record* rec;
        switch (db_.peek(group_.chrom(), group_.pos(), rec)) {
        case PlacedRecords::Read::error:
            return false;
        case PlacedRecords::Read::end:
            group_.complete = true;
            continue;
        case PlacedRecords::Read::record:
            break;
        }
        if (rec->pos != group_.pos() || rec->chrom != group_.chrom()) {
            group_.complete = true;  // a record past the place: it stays next
            continue;
        }
        const bool match = same_alleles(row.ref(), row.alt(), rec->ref, rec->alt);
        if (group_.full()) db_.crowded(group_.chrom(), group_.pos());
        if (match || !group_.full()) group_.add(*rec);
        db_.pop();
        if (match) return hit(row, group_.last_value());
    }
    return miss(row);
}

bool MergeJoin::hit(const Row& row, std::string_view value) {
    ++counts_.hits;
    p_.hit(out_, row, value);
    return true;
}

bool MergeJoin::miss(const Row& row) {
    p_.miss(out_, row);
    return true;
}

void MergeJoin::warn_at_end() const {
    before_start_.warn(rows_.path());
    if (db_.done() && db_.records() == 0 && !db_.jumped() && counts_.rows > 0) warn_no_records(db_.path());
    warn_if_names_disjoint(row_names_, db_.names(), counts_.hits, rows_.path(), db_.path());
}

}  // namespace wes::annotate

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

MergeJoin::MergeJoin(const JoinProfile& profile, LineReader& rows, LineReader& db, OutFile& out,
                     Progress* progress)
    : p_(profile), rows_(rows), db_(db), out_(out), progress_(progress), rows_order_(rows.path()),
      db_order_(db.path()) {}

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
            p_.miss(out_, row);
        } else {
            rows_order_.see(row.chrom(), row.pos, rows_.line_number());
            row_names_.see(row.chrom());
            before_start_.see(row.chrom(), row.pos);
            const int c = compare_place(row.chrom(), row.pos, cur_chrom_, cur_pos_);
            if (c < 0) {
                p_.miss(out_, row);  // before the cursor: never searched back
            } else if (c == 0 && same_alleles(row.ref(), row.alt(), cur_ref_, cur_alt_)) {
                ++counts_.hits;
                p_.hit(out_, row, cur_value_);  // the cursor's own key: no database read
            } else if (!advance(row)) {
                return JoinEnd::db_read_error;
            }
        }
        if (out_.failed()) return JoinEnd::write_error;
    }
    return out_.failed() ? JoinEnd::write_error : JoinEnd::done;
}

// Reads the database forward for row: records before the row are dropped; the first
// record at or past it decides and becomes the cursor. A record at the row's place
// with other alleles is dropped too.
bool MergeJoin::advance(const Row& row) {
    Record rec;
    for (;;) {
        Read r = read_record(row, rec);
        if (r == Read::error) return false;
        if (r == Read::end) {
            p_.miss(out_, row);
            return true;
        }
        const int c = compare_place(row.chrom(), row.pos, rec.chrom, rec.pos);
        if (c > 0 || (c == 0 && !same_alleles(row.ref(), row.alt(), rec.ref, rec.alt))) continue;
        value_.clear();
        for (unsigned i = 0; i < p_.n_value_cols; ++i) {
            if (i) value_.push_back('|');
            value_.append(rec.fields[p_.value_cols[i]]);
        }
        if (c < 0) {
            p_.miss(out_, row);
        } else {
            ++counts_.hits;
            p_.hit(out_, row, value_);
        }
        take_as_cursor(rec);
        return true;
    }
}

// Reads database lines up to the next record that does not lie before row, judged on
// chromosome and position alone, and splits it into rec. Runs of records share a
// chromosome, so a line that begins with the last record's chromosome is not split
// further unless it may decide. Lines without a chromosome and a position, and records
// that lack a field the profile needs, are no records: they are skipped.
MergeJoin::Read MergeJoin::read_record(const Row& row, Record& rec) {
    const std::int64_t shift = p_.normalise_indels ? 1 : 0;  // a rewritten deletion moves one position on
    int row_vs_db = compare_chrom(row.chrom(), db_chrom_);
    std::string_view line, chrom;
    for (;;) {
        if (db_done_) return Read::end;
        LineReader::Status st = db_.next(line);
        if (st == LineReader::Status::error) return Read::error;
        if (st == LineReader::Status::eof) {
            db_done_ = true;
            return Read::end;
        }
        FieldCursor f(line);
        std::int32_t pos;
        if (f.next_is(db_chrom_)) {
            if (!f.next_int(pos)) continue;
            db_order_.see_position(pos, db_.line_number());
        } else {
            if (!f.next(chrom) || !f.next_int(pos)) continue;
            db_order_.see(chrom, pos, db_.line_number());
            db_names_.see(chrom);
            db_chrom_.assign(chrom);
            row_vs_db = compare_chrom(row.chrom(), db_chrom_);
        }
        ++counts_.records;
        if (compare_place(row_vs_db, row.pos, pos + shift) > 0) continue;

        rec.fields[0] = db_chrom_;
        rec.fields[1] = f.last();
        unsigned n = 2;
        while (n < p_.rec_min_fields && f.next(rec.fields[n])) ++n;
        if (n < p_.rec_min_fields) continue;
        rec.chrom = db_chrom_;
        rec.pos = pos;
        rec.ref = rec.fields[p_.rec_ref_col];
        rec.alt = rec.fields[p_.rec_alt_col];
        if (p_.normalise_indels) {
            // The database writes an indel with its shared leading base; rows write "-".
            if (rec.ref.size() == 1 && rec.alt.size() > 1) {
                rec.ref = "-";
                rec.alt.remove_prefix(1);
            } else if (rec.ref.size() > 1 && rec.alt.size() == 1) {
                rec.ref.remove_prefix(1);
                rec.alt = "-";
                rec.pos += 1;
            }
        }
        return Read::record;
    }
}

void MergeJoin::take_as_cursor(const Record& rec) {
    if (cur_chrom_ != rec.chrom) cur_chrom_.assign(rec.chrom);
    cur_pos_ = rec.pos;
    cur_ref_.assign(rec.ref);
    cur_alt_.assign(rec.alt);
    cur_value_.swap(value_);
}

void MergeJoin::warn_at_end() const {
    before_start_.warn(rows_.path());
    if (db_done_ && counts_.records == 0 && counts_.rows > 0) warn_no_records(db_.path());
    warn_if_names_disjoint(row_names_, db_names_, counts_.hits, rows_.path(), db_.path());
}

}  // namespace wes::annotate

#include "place_group.hpp"

#include <algorithm>

#include "fields.hpp"
#include "merge_join.hpp"

namespace wes::annotate {

void RecordStore::add(const Record& rec) {
    Item it{rec.pos, text_.size(), rec.chrom.size(), rec.ref.size(), rec.alt.size(), 0};
    text_.append(rec.chrom).append(rec.ref).append(rec.alt);
    const std::size_t value_at = text_.size();
    for (unsigned i = 0; i < rec.n_value; ++i) {
        if (i) text_.push_back('|');
        text_.append(rec.value[i]);
    }
    it.value = text_.size() - value_at;
    items_.push_back(it);
}

Record RecordStore::at(std::size_t i) const {
    const Item& it = items_[i];
    const char* t = text_.data() + it.at;
    Record r;
    r.chrom = std::string_view(t, it.chrom);
    r.pos = it.pos;
    r.ref = std::string_view(t += it.chrom, it.ref);
    r.alt = std::string_view(t += it.ref, it.alt);
    r.value[0] = std::string_view(t + it.alt, it.value);
    r.n_value = 1;
    return r;
}

PlacedRecords::PlacedRecords(const JoinProfile& profile, LineReader& db, GroupBound bound, JumpAhead* jumps)
    : p_(profile), db_(db), bound_(bound), jumps_(jumps), order_(db.path(), &db) {
    // The file's chromosomes, read or not, for the warning of names that never meet.
    if (jumps_)
        for (const std::string& name : jumps_->names()) names_.see(name);
}

PlacedRecords::Read PlacedRecords::peek(std::string_view chrom, std::int64_t pos, const Record*& rec) {
    for (;;) {
        if (!have_front_) {
            const Read r = next(chrom, pos);
            if (r != Read::record) return r;
            have_front_ = true;
        }
        if (compare_place(chrom, pos, front_.chrom, front_.pos) <= 0) {
            rec = &front_;
            return Read::record;
        }
        have_front_ = false;  // before the place sought: dropped
    }
}

// Whether the two fields after the white space that begins rest, ref and alt, are a
// deletion written with its shared leading base ("GCA G"), which the rewrite moves one
// position on, to its first deleted base. Told from the bytes without splitting: most
// records, one separator and a ref of one byte, are told by two bytes.
static bool deletion_ahead(std::string_view rest) {
    const char* p = rest.data();
    const char* e = p + rest.size();
    if (e - p >= 3 && !is_space(p[1]) && is_space(p[2])) return false;
    while (p < e && is_space(*p)) ++p;
    if (e - p < 2 || is_space(p[1])) return false;  // ref of one byte
    p = find_space(p, e);
    while (p < e && is_space(*p)) ++p;
    return p < e && (p + 1 == e || is_space(p[1]));  // alt of one byte
}

// The next record in the order of places, into front_: a due deletion, the record that
// waited behind them, or the next one read.
PlacedRecords::Read PlacedRecords::next(std::string_view chrom, std::int64_t pos) {
    for (;;) {
        if (next_due_ < due_.size()) {
            front_ = due_.at(next_due_++);
            return Read::record;
        }
        if (have_later_) {
            front_ = later_;
            have_later_ = false;
            return Read::record;
        }
        if (done_) return Read::end;
        // The rewrite places a deletion one position on: it is looked for from the
        // position before. The deletions held lie before the place sought, as every line
        // before the block jumped to does.
        if (jumps_) switch (jumps_->to(chrom, p_.normalise_indels ? pos - 1 : pos)) {
            case JumpAhead::Move::failed:
                return Read::error;
            case JumpAhead::Move::jumped:
                held_.clear();
                break;
            case JumpAhead::Move::read_on:
                break;
            }
        switch (p_.normalise_indels ? read<true>(chrom, pos) : read<false>(chrom, pos)) {
        case Got::record:
            return Read::record;
        case Got::due:
            continue;
        case Got::end:
            return Read::end;
        case Got::error:
            return Read::error;
        }
    }
}

// Reads lines until one gives a record that is not before (chrom, pos), into front_, or
// deletions become due. A line whose place lies before (chrom, pos) is dropped as soon
// as its place is known. Lines without a chromosome and a position, and records that
// lack a field the profile needs, are no records: they are skipped. Runs of lines share
// a chromosome, so a line that begins with the last line's chromosome is not split for
// it. At the end of the file the deletions held are due.
template <bool rewrite>
PlacedRecords::Got PlacedRecords::read(std::string_view chrom, std::int64_t pos) {
    int db_vs_sought = compare_chrom(chrom_, chrom);
    std::string_view line, name;
    for (;;) {
        const LineReader::Status st = db_.next(line);
        if (st == LineReader::Status::error) return Got::error;
        if (st == LineReader::Status::eof) {
            done_ = true;
            return make_due();
        }
        FieldCursor f(line);
        std::int32_t raw;
        bool same_chrom = f.next_is(chrom_);
        if (!same_chrom) {
            if (!f.next(name)) continue;
            same_chrom = name == chrom_;  // a line that begins with white space
        }
        if (!f.next_int(raw)) continue;
        std::int64_t moved = 0;
        Got got = Got::record;
        if constexpr (rewrite) {
            moved = deletion_ahead(f.rest());
            // At a new position the deletions held at the last one are due.
            if (!same_chrom || order_.see_position(raw, db_.line_number(), moved)) got = make_due();
        } else if (same_chrom) {
            order_.see_position(raw, db_.line_number());
        }
        if (!same_chrom) {
            order_.see(name, raw, db_.line_number(), moved);
            names_.see(name);
            chrom_.assign(name);
            db_vs_sought = compare_chrom(chrom_, chrom);
        }
        ++records_;
        if (lies_before(db_vs_sought, raw + moved, pos) || !split(f.rest(), raw + moved, moved != 0)) {
            if (got == Got::due) return got;
            continue;
        }
        if (moved) {
            held_.add(front_);
            if (got == Got::due) return got;  // the deletions due go first
            if (held_.size() > bound_.records || held_.bytes() > bound_.bytes) {
                crowded(front_.chrom, front_.pos);
                return make_due();  // past the bound, in file order
            }
            continue;
        }
        if (got == Got::due) {
            later_ = front_;
            have_later_ = true;
        }
        return got;
    }
}

// The deletions held become due; due when there are any.
PlacedRecords::Got PlacedRecords::make_due() {
    if (held_.size() == 0) return done_ ? Got::end : Got::record;
    std::swap(held_, due_);
    held_.clear();
    next_due_ = 0;
    return Got::due;
}

// Splits the rest of the line, after chromosome and position, into front_; false when a
// field the profile needs is missing.
bool PlacedRecords::split(std::string_view rest, std::int64_t place, bool moved) {
    FieldCursor f(rest);
    unsigned n = 2;
    while (n < p_.rec_min_fields && f.next(fields_[n])) ++n;
    if (n < p_.rec_min_fields) return false;
    Record& rec = front_;
    rec.chrom = chrom_;
    rec.pos = place;
    rec.ref = fields_[p_.rec_ref_col];
    rec.alt = fields_[p_.rec_alt_col];
    if (p_.normalise_indels) {
        // The database writes an indel with its shared leading base; rows write "-".
        if (rec.ref.size() == 1 && rec.alt.size() > 1) {
            rec.ref = "-";
            rec.alt.remove_prefix(1);
        } else if (moved) {
            rec.ref.remove_prefix(1);
            rec.alt = "-";
        }
    }
    rec.n_value = p_.n_value_cols;
    for (unsigned i = 0; i < p_.n_value_cols; ++i) rec.value[i] = fields_[p_.value_cols[i]];
    return true;
}

void PlacedRecords::crowded(std::string_view chrom, std::int64_t pos) {
    if (warned_crowded_) return;
    warned_crowded_ = true;
    warn_crowded_place(db_.path(), chrom, pos, bound_.records, bound_.bytes >> 20);
}

void PlaceGroup::start(const Record& rec) {
    if (chrom_ != rec.chrom) chrom_.assign(rec.chrom);
    pos_ = rec.pos;
    complete = false;
    store_.clear();
    full_at_ = 0;
    add(rec);
}

void PlaceGroup::add(const Record& rec) {
    if (full_at_ != 0) store_.truncate(full_at_, full_bytes_);  // the one slot past the bound
    store_.add(rec);
    if (full_at_ == 0 && (store_.size() >= bound_.records || store_.bytes() >= bound_.bytes)) {
        full_at_ = store_.size();
        full_bytes_ = store_.bytes();
    }
}

bool PlaceGroup::find(std::string_view ref, std::string_view alt, std::string_view& value) const {
    for (std::size_t i = 0, n = store_.size(); i < n; ++i) {
        const Record r = store_.at(i);
        if (same_alleles(ref, alt, r.ref, r.alt)) {
            value = r.value[0];
            return true;
        }
    }
    return false;
}

}  // namespace wes::annotate

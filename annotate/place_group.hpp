// The database as the merge sees it: place by place. A place is a chromosome and a
// position after the tool's rewrite (revise_popfreq moves a deletion one position on,
// the others keep the database's position). PlacedRecords hands out the records in the
// order of their places, records of one place in file order; PlaceGroup holds the
// records of the place the merge's cursor stands on, so that a row there finds its
// record whatever the order of the alleles in either file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jump_ahead.hpp"
#include "line_reader.hpp"
#include "merge_order.hpp"

namespace wes::annotate {

struct JoinProfile;

// Enough database columns for the widest record format.
constexpr std::size_t max_record_fields = 16;

// One database record: its place, its alleles (both after the rewrite) and its value,
// the profile's value columns that are joined by '|' when it is kept.
struct Record {
    std::string_view chrom;
    std::int64_t pos = 0;
    std::string_view ref, alt;
    std::string_view value[4];
    unsigned n_value = 0;
};

// How much one group holds: past either bound, the rest of its place is matched one
// record at a time, as the database lists them, and memory stays bounded.
struct GroupBound {
    std::size_t records = 4096;
    std::size_t bytes = std::size_t{4} << 20;
};

// Records copied out of their lines (the value joined), in the order they were added.
// The buffers are kept and reused.
class RecordStore {
public:
    void add(const Record& rec);
    std::size_t size() const { return items_.size(); }
    std::size_t bytes() const { return text_.size(); }
    Record at(std::size_t i) const;  // views valid until the next add
    void clear() {
        text_.clear();
        items_.clear();
    }
    void truncate(std::size_t n, std::size_t bytes) {
        items_.resize(n);
        text_.resize(bytes);
    }

private:
    struct Item {
        std::int64_t pos;
        std::size_t at, chrom, ref, alt, value;  // where the texts begin, and their lengths
    };
    std::string text_;
    std::vector<Item> items_;
};

// The records of the database in the order of their places. A deletion that the rewrite
// moves one position on is listed among the records of its own position, ahead of
// records that stay there: the deletions of one position are held back until the file
// moves on past it (the lookahead of one position), then handed out before the records
// of the next place. Records of one place come in file order. Order and counts are
// watched here, for the warnings, over the lines read. With an index (jumps), the blocks
// of the file that hold only records before the place sought are jumped over.
class PlacedRecords {
public:
    enum class Read { record, end, error };

    PlacedRecords(const JoinProfile& profile, LineReader& db, GroupBound bound, JumpAhead* jumps = nullptr);

    // The next record whose place is not before (chrom, pos); the records before it are
    // dropped, most of them before their lines are split past the position, or jumped
    // over unread. It stays the next record until pop(). The only place where the
    // database is read forward to a place.
    Read peek(std::string_view chrom, std::int64_t pos, const Record*& rec);
    void pop() { have_front_ = false; }

    std::uint64_t records() const { return records_; }  // lines read with a chromosome and a position
    bool done() const { return done_; }                // read to the end
    bool jumped() const { return jumps_ && jumps_->jumped(); }  // lines were skipped unread
    const ChromNames& names() const { return names_; }
    const std::string& path() const { return db_.path(); }
    // Warns, once, that place holds more records than a group keeps.
    void crowded(std::string_view chrom, std::int64_t pos);

private:
    enum class Got { record, due, end, error };
    Read next(std::string_view chrom, std::int64_t pos);
    template <bool rewrite>
    Got read(std::string_view chrom, std::int64_t pos);  // rewrite: the profile's normalise_indels
    bool split(std::string_view rest, std::int64_t place, bool moved);
    Got make_due();

    const JoinProfile& p_;
    LineReader& db_;
    GroupBound bound_;
    JumpAhead* jumps_;
    OrderWatch order_;
    ChromNames names_;
    std::uint64_t records_ = 0;
    bool done_ = false, warned_crowded_ = false;

    std::string chrom_;  // the chromosome of the last line read
    std::string_view fields_[max_record_fields];
    Record front_;
    bool have_front_ = false;
    // The lookahead: the deletions of the position of the last line read are held; when
    // the file moves on they are due, handed out before the record of the line that moved
    // on (later_, still in its line, which is not read past until it is handed out).
    RecordStore held_, due_;
    std::size_t next_due_ = 0;
    Record later_;
    bool have_later_ = false;
};

// The cursor of the merge: a place and the records there, in file order. A group is
// complete once a record past its place (or the database's end) was met; until then a
// row at its place that finds no record reads on.
class PlaceGroup {
public:
    explicit PlaceGroup(GroupBound bound) : bound_(bound) {}

    std::string_view chrom() const { return chrom_; }
    std::int64_t pos() const { return pos_; }
    bool complete = false;

    // A new place: rec is its first record.
    void start(const Record& rec);
    // The value of the first record with these alleles; false when none has them.
    bool find(std::string_view ref, std::string_view alt, std::string_view& value) const;
    // Whether the group holds as many records as it may.
    bool full() const { return full_at_ != 0; }
    // Adds rec; a full group keeps its first records and rec in one slot past them.
    void add(const Record& rec);
    std::string_view last_value() const { return store_.at(store_.size() - 1).value[0]; }

private:
    GroupBound bound_;
    std::string chrom_ = std::string(first_chrom);
    std::int64_t pos_ = first_pos;
    RecordStore store_;
    std::size_t full_at_ = 0, full_bytes_ = 0;  // the size when the group became full
};

}  // namespace wes::annotate

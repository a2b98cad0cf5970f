#include "merge_join.hpp"

#include <cstring>

#include "fields.hpp"

namespace wes::annotate {
namespace {

// Byte-wise order of two chromosome names, as strcmp orders them.
inline int compare_chrom(std::string_view a, std::string_view b) {
    int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool is_blank(std::string_view line) {
    for (char c : line)
        if (!is_space(c)) return false;
    return true;
}

// White space test with the common case (a printable byte) decided by one compare.
inline bool sep(char c) { return static_cast<unsigned char>(c) <= ' ' && is_space(c); }

// The next white-space-delimited field at or after *p; empty at the end of the text.
inline std::string_view next_field(const char*& p, const char* e) {
    while (p < e && sep(*p)) ++p;
    const char* s = p;
    while (p < e && !sep(*p)) ++p;
    return std::string_view(s, static_cast<std::size_t>(p - s));
}

// Whether the n bytes at a and b are equal; n is a chromosome name's length, so short
// names are compared in 8-byte words without a library call.
inline bool bytes_equal(const char* a, const char* b, std::size_t n) {
    if (n > 16) return std::memcmp(a, b, n) == 0;
    if (n >= 8) {
        std::uint64_t x, y, u, v;
        std::memcpy(&x, a, 8);
        std::memcpy(&y, b, 8);
        std::memcpy(&u, a + n - 8, 8);
        std::memcpy(&v, b + n - 8, 8);
        return ((x ^ y) | (u ^ v)) == 0;
    }
    for (std::size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

// Reads the next field as a position: wholly a decimal integer with an optional sign,
// in the range of a 32-bit int. False (p then anywhere in the field) when it is not.
inline bool next_position(const char*& p, const char* e, std::int32_t& out) {
    while (p < e && sep(*p)) ++p;
    if (p == e) return false;
    if (e - p >= 8) {
        // Up to seven digits and the byte after them decided eight bytes at a time.
        std::uint64_t chunk;
        std::memcpy(&chunk, p, 8);
        const std::uint64_t hi = 0xF0F0F0F0F0F0F0F0ULL, zeros = 0x3030303030303030ULL;
        std::uint64_t non_digit = ((chunk & hi) ^ zeros) | (((chunk + 0x0606060606060606ULL) & hi) ^ zeros);
        if (non_digit != 0) {
            unsigned n = static_cast<unsigned>(__builtin_ctzll(non_digit)) / 8;  // leading digits
            if (n > 0 && sep(p[n])) {
                std::uint64_t v = (chunk - zeros) << (8 * (8 - n));  // digits to the top, zeros below
                v = (v * 10) + (v >> 8);
                v = (((v & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
                     (((v >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
                    32;
                out = static_cast<std::int32_t>(v);
                p += n;
                return true;
            }
        }
    }
    bool neg = false;
    if (*p == '+' || *p == '-') {
        neg = *p == '-';
        ++p;
    }
    const char* digits = p;
    std::int64_t v = 0;
    while (p < e && static_cast<unsigned char>(*p - '0') < 10) {
        v = v * 10 + (*p - '0');
        if (v > 2147483648LL) return false;
        ++p;
    }
    if (p == digits || (p < e && !sep(*p))) return false;
    if (neg) v = -v;
    if (v > 2147483647LL) return false;
    out = static_cast<std::int32_t>(v);
    return true;
}

// Keys are equal when their "chrom-pos-ref-alt" texts are; with chromosome and position
// already equal, that is the text "ref-alt". An allele holding "-" can make two different
// field pairs give one text (A- with G, and A with -G), so the texts are compared whole.
bool ref_alt_text_equal(std::string_view r1, std::string_view a1, std::string_view r2, std::string_view a2) {
    if (r1.size() + a1.size() != r2.size() + a2.size()) return false;
    if (r1.size() == r2.size()) return r1 == r2 && a1 == a2;
    // Walk both texts "r-a" byte by byte.
    auto at = [](std::string_view r, std::string_view a, std::size_t i) {
        if (i < r.size()) return r[i];
        if (i == r.size()) return '-';
        return a[i - r.size() - 1];
    };
    std::size_t n = r1.size() + a1.size() + 1;
    for (std::size_t i = 0; i < n; ++i)
        if (at(r1, a1, i) != at(r2, a2, i)) return false;
    return true;
}

// Whether key, a flat "ref-alt" text, is the text of ref, "-" and alt.
inline bool key_text_equal(std::string_view key, std::string_view r, std::string_view a) {
    return key.size() == r.size() + 1 + a.size() && key.substr(0, r.size()) == r && key[r.size()] == '-' &&
           key.substr(r.size() + 1) == a;
}

}  // namespace

void parse_row(std::string_view line, bool had_newline, Row& row, std::size_t want_fields) {
    row.line = line;
    row.had_newline = had_newline;
    const char* p = line.data();
    const char* e = p + line.size();
    std::size_t n = 0;
    while (n < want_fields) {
        std::string_view f = next_field(p, e);
        if (f.empty()) break;
        row.fields[n++] = f;
    }
    row.n_fields = n;
    row.rest = std::string_view(p, static_cast<std::size_t>(e - p));
    row.keyed = false;
    if (n >= 5) {
        std::int32_t pos;
        if (parse_int(row.fields[1], pos)) {
            row.pos = pos;
            row.keyed = true;
        }
    }
}

MergeJoin::MergeJoin(const JoinProfile& profile, LineReader& rows, LineReader& db, OutFile& out)
    : p_(profile), rows_(rows), db_(db), out_(out), rows_order_(rows.path()), db_order_(db.path()) {
    cur_key_.reserve(64);
    rec_value_.reserve(64);
}

bool MergeJoin::keys_equal(const Row& row, std::string_view ref, std::string_view alt) const {
    return ref_alt_text_equal(row.ref(), row.alt(), ref, alt);
}

void MergeJoin::make_cursor(std::string_view chrom, std::int64_t pos, std::string_view ref, std::string_view alt) {
    cur_chrom_.assign(chrom);
    cur_pos_ = pos;
    cur_key_.assign(ref);
    cur_key_.push_back('-');
    cur_key_.append(alt);
    cur_has_key_ = true;
    cur_value_.swap(rec_value_);
}

JoinEnd MergeJoin::run() {
    Row row;
    std::string_view line;
    bool nl = false;
    for (;;) {
        LineReader::Status st = rows_.next(line, nl);
        if (st == LineReader::Status::eof) break;
        if (st == LineReader::Status::error) return JoinEnd::rows_read_error;
        if (is_blank(line)) continue;
        parse_row(line, nl, row, p_.row_fields);
        ++counts_.rows;
        if (!row.keyed) {
            // Nothing to compare with: the miss line from the row's own text; the
            // database and the cursor are left alone.
            p_.miss(out_, row);
        } else {
            rows_order_.see(row.chrom(), row.pos, rows_.line_number());
            row_names_.see(row.chrom());
            int c = compare_chrom(row.chrom(), cur_chrom_);
            if (c < 0 || (c == 0 && row.pos < cur_pos_)) {
                p_.miss(out_, row);  // before the cursor: never searched back
            } else if (c == 0 && row.pos == cur_pos_ && cur_has_key_ &&
                       key_text_equal(cur_key_, row.ref(), row.alt())) {
                ++counts_.hits;
                p_.hit(out_, row, cur_value_);  // equals the cursor: no database read
            } else if (!advance(row)) {
                return JoinEnd::db_read_error;
            }
        }
        if (out_.failed()) return JoinEnd::write_error;
    }
    return out_.failed() ? JoinEnd::write_error : JoinEnd::done;
}

// Reads the database forward for row: records before the row are dropped; the first
// record at or past it decides and becomes the cursor.
bool MergeJoin::advance(const Row& row) {
    const unsigned shift = p_.normalise_indels ? 1 : 0;  // a deletion moves one position on
    row_vs_db_chrom_ = compare_chrom(row.chrom(), db_chrom_);
    std::string_view line;
    std::string_view* f = rec_fields_;
    for (;;) {
        if (db_done_) {
            p_.miss(out_, row);
            return true;
        }
        LineReader::Status st = db_.next(line);
        if (st == LineReader::Status::error) return false;
        if (st == LineReader::Status::eof) {
            db_done_ = true;
            p_.miss(out_, row);
            return true;
        }
        // Chromosome and position alone decide whether a record lies before the row. Runs
        // of records share a chromosome: a line that begins with the last record's
        // chromosome and a separator is not split further.
        const char* p = line.data();
        const char* e = p + line.size();
        std::string_view chrom;
        const std::size_t plen = db_chrom_.size();
        if (plen != 0 && line.size() > plen && bytes_equal(p, db_chrom_.data(), plen) && sep(p[plen])) {
            chrom = std::string_view(p, plen);
            p += plen;
        } else {
            chrom = next_field(p, e);
            if (chrom.empty()) continue;  // blank line
            if (chrom != db_chrom_) new_db_chrom(chrom, row);
        }
        std::int32_t raw_pos;
        const char* pos_start = p;
        if (!next_position(p, e, raw_pos)) continue;  // not a record
        ++counts_.records;
        db_order_.see_position(raw_pos, db_.line_number());
        const int c = row_vs_db_chrom_;
        if (c > 0 || (c == 0 && row.pos > std::int64_t{raw_pos} + shift)) continue;  // dropped
        std::string_view pos_text(pos_start, static_cast<std::size_t>(p - pos_start));
        while (!pos_text.empty() && sep(pos_text.front())) pos_text.remove_prefix(1);

        // The record may stop the advance: it needs all its fields.
        f[0] = chrom;
        f[1] = pos_text;
        unsigned n = 2;
        while (n < p_.rec_min_fields) {
            std::string_view x = next_field(p, e);
            if (x.empty()) break;
            f[n++] = x;
        }
        if (n < p_.rec_min_fields) continue;  // lacks a field: never matches, never the cursor
        std::string_view ref = f[p_.rec_ref_col];
        std::string_view alt = f[p_.rec_alt_col];
        std::int64_t pos = raw_pos;
        if (p_.normalise_indels) {
            if (ref.size() == 1 && alt.size() > 1) {
                ref = "-";
                alt.remove_prefix(1);
            } else if (ref.size() > 1 && alt.size() == 1) {
                ref.remove_prefix(1);
                alt = "-";
                pos += 1;
            }
        }
        if (c == 0 && row.pos > pos) continue;  // dropped
        bool stop_before = c < 0 || row.pos < pos;
        if (!stop_before && !keys_equal(row, ref, alt)) continue;  // same place, other key: dropped

        rec_value_.clear();
        for (unsigned i = 0; i < p_.n_value_cols; ++i) {
            if (i) rec_value_.push_back('|');
            rec_value_.append(f[p_.value_cols[i]]);
        }
        if (stop_before) {
            p_.miss(out_, row);
        } else {
            ++counts_.hits;
            p_.hit(out_, row, rec_value_);
        }
        make_cursor(chrom, pos, ref, alt);
        return true;
    }
}

// A record on another chromosome than the record before it.
void MergeJoin::new_db_chrom(std::string_view chrom, const Row& row) {
    db_order_.see_chromosome(chrom, db_.line_number());
    db_names_.see(chrom);
    db_chrom_.assign(chrom);
    row_vs_db_chrom_ = compare_chrom(row.chrom(), db_chrom_);
}

void MergeJoin::warn_on_disjoint_names() const {
    warn_if_names_disjoint(row_names_, db_names_, counts_.hits, rows_.path(), db_.path());
}

}  // namespace wes::annotate

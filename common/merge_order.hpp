// The order that the sorted inputs of a forward merge follow, and the warnings on
// standard error when they do not. Silent misses are the worst failure of a sorted
// merge, so the tools say (never on standard output or in an output file) when an input
// breaks the ordering contract, when the inputs name chromosomes in different ways, and
// when rows lie where the merge never looks.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace wes {

class LineReader;

// Chromosomes are ordered byte by byte, as strcmp orders them; the accessions the suite
// names them by ("NC_000001.10" ... "NC_000024.9") sort so in chromosome order. Every
// merge starts with its cursor here, before every record of the first chromosome.
inline constexpr std::string_view first_chrom = "NC_000001.10";
inline constexpr std::int64_t first_pos = 1;

// The ordering vocabulary of the merges, side by side. A place is a chromosome and a
// position; every comparison answers -1 (before), 0 (the same) or 1 (after).
inline int compare_chrom(std::string_view a, std::string_view b) {
    int c = a.compare(b);
    return (c > 0) - (c < 0);
}

// The order of two places whose chromosomes compare as chrom_order: the merges' inner
// loops compare a line's chromosome only when it changes.
inline int compare_place(int chrom_order, std::int64_t pos_a, std::int64_t pos_b) {
    if (chrom_order != 0) return chrom_order;
    if (pos_a < pos_b) return -1;
    return pos_a > pos_b;
}

// The pre-filter of a merge's inner loop: whether a line at pos, on a chromosome that
// compares with the sought place's as chrom_order, lies before the sought place, so that
// it is dropped before the rest of it is split. compare_place(...) < 0, in two compares.
inline bool lies_before(int chrom_order, std::int64_t pos, std::int64_t sought_pos) {
    return chrom_order < 0 || (chrom_order == 0 && pos < sought_pos);
}

// The order of two places (chromosome, position).
inline int compare_place(std::string_view chrom_a, std::int64_t pos_a, std::string_view chrom_b, std::int64_t pos_b) {
    return compare_place(compare_chrom(chrom_a, chrom_b), pos_a, pos_b);
}

// Whether two records at one place carry the same alleles: keys are equal when their
// texts "chrom-pos-ref-alt" are, and with chromosome and position already equal that is
// the text "ref-alt". An allele holding "-" can make two different pairs give one text
// (A- with G, and A with -G), so the texts are compared, byte for byte to the last.
bool same_alleles(std::string_view ref1, std::string_view alt1, std::string_view ref2, std::string_view alt2);

// Watches one sorted input and warns once, with the file and line, when a line lies
// before the lines before it. A line that a merge moves one position on (a rewritten
// deletion) is judged at the place the merge gives it; the lines that share a position
// in the file may come in any order of their places, since the merge reads them together.
class OrderWatch {
public:
    // lines, when given, tells whether its line numbers are known when a warning is due.
    explicit OrderWatch(std::string path, const LineReader* lines = nullptr) : path_(std::move(path)), lines_(lines) {}
    // A line at chrom and pos, placed moved positions on.
    void see(std::string_view chrom, std::int64_t pos, std::uint64_t line_no, std::int64_t moved = 0) {
        if (have_ && chrom == last_chrom_) {
            see_position(pos, line_no, moved);
            return;
        }
        if (!warned_ && have_ && chrom < std::string_view(last_chrom_)) {
            last_pos_ = run_top_;
            warn(chrom, pos + moved, line_no);
        }
        last_chrom_.assign(chrom);
        last_pos_ = std::numeric_limits<std::int64_t>::min();
        run_pos_ = pos;
        run_top_ = pos + moved;
        have_ = true;
    }
    // A line on the chromosome of the line seen before it, in an input whose lines are
    // never moved: the common case, one compare.
    void see_position(std::int64_t pos, std::uint64_t line_no) {
        if (pos < run_top_ && !warned_) {
            last_pos_ = run_top_;
            warn(last_chrom_, pos, line_no);
        }
        run_top_ = pos;
    }
    // A line on the chromosome of the line seen before it, placed moved positions on;
    // true when pos is not the position of the line before.
    bool see_position(std::int64_t pos, std::uint64_t line_no, std::int64_t moved) {
        const bool new_position = pos != run_pos_;
        if (new_position) {  // no line from here on may lie before the places of the last position
            last_pos_ = run_top_;
            run_pos_ = pos;
            run_top_ = pos + moved;
        } else if (pos + moved > run_top_) {
            run_top_ = pos + moved;
        }
        if (pos + moved < last_pos_ && !warned_) warn(last_chrom_, pos + moved, line_no);
        return new_position;
    }

private:
    void warn(std::string_view chrom, std::int64_t pos, std::uint64_t line_no);

    std::string path_;
    const LineReader* lines_;
    std::string last_chrom_;
    std::int64_t last_pos_ = 0;  // the furthest place of the lines at the position before
    std::int64_t run_pos_ = 0;   // the position of the last line, in the file
    std::int64_t run_top_ = 0;   // the furthest place of the lines at that position
    bool have_ = false, warned_ = false;
};

// The distinct chromosome names of one input (at most a few hundred are kept).
class ChromNames {
public:
    void see(std::string_view chrom) {
        if (!names_.empty() && names_.back() == chrom) return;
        for (const std::string& n : names_)
            if (n == chrom) return;
        if (names_.size() < k_max) names_.emplace_back(chrom);
    }
    bool empty() const { return names_.empty(); }
    bool shares_any(const ChromNames& other) const;
    const std::string& example() const { return names_.front(); }

private:
    static constexpr std::size_t k_max = 512;
    std::vector<std::string> names_;
};

// Rows that sort before the place every merge starts from never get a value: counted,
// with the first as an example.
class BeforeStart {
public:
    void see(std::string_view chrom, std::int64_t pos) {
        if (compare_place(chrom, pos, first_chrom, first_pos) >= 0) return;
        if (count_++ == 0) example_.assign(chrom).append(" ").append(std::to_string(pos));
    }
    // Says how many rows of rows_path lay before the start, if any.
    void warn(const std::string& rows_path) const;

private:
    std::uint64_t count_ = 0;
    std::string example_;
};

// At the end of a run: when rows and database records were read, no row found a value,
// and no row chromosome occurs in the database, says so in one line naming an example
// of each (the "chr1"/"1" against "NC_000001.10" trap).
void warn_if_names_disjoint(const ChromNames& rows, const ChromNames& db, std::uint64_t hits,
                            const std::string& rows_path, const std::string& db_path);

// Once, in mid-run, when a database holds more records at one place than a merge keeps
// together (records, or MiB of them): past those, the records of that place are matched
// one at a time, in the database's order.
void warn_crowded_place(const std::string& db_path, std::string_view chrom, std::int64_t pos, std::size_t records,
                        std::size_t mib);

// At the end of a run whose database was read to its end without one record in it.
void warn_no_records(const std::string& db_path);

}  // namespace wes

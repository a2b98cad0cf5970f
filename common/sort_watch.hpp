// Silent misses are the worst failure of a sorted join, so the tools say on standard
// error (never on standard output or in the output file) when an input breaks the
// ordering contract or when the two inputs name chromosomes in different ways.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wes {

// Watches one sorted input and warns once, with the file and line, when a line sorts
// before the line before it (chromosome byte-wise smaller, or the same chromosome
// with a smaller position).
class OrderWatch {
public:
    explicit OrderWatch(std::string path) : path_(std::move(path)) {}
    void see(std::string_view chrom, std::int64_t pos, std::uint64_t line_no) {
        if (warned_) return;
        if (have_ && chrom == last_chrom_) {
            if (pos < last_pos_) warn(chrom, pos, line_no);
            last_pos_ = pos;
            return;
        }
        if (have_ && chrom < std::string_view(last_chrom_)) {
            warn(chrom, pos, line_no);
            return;
        }
        last_chrom_.assign(chrom);
        last_pos_ = pos;
        have_ = true;
    }
    // The same check split for a caller that already knows when the chromosome changes:
    // see_chromosome on a change, see_position for every line.
    void see_chromosome(std::string_view chrom, std::uint64_t line_no) {
        if (!warned_ && have_ && chrom < std::string_view(last_chrom_)) {
            warn(chrom, 0, line_no);
            return;
        }
        last_chrom_.assign(chrom);
        last_pos_ = INT64_MIN;
        have_ = true;
    }
    void see_position(std::int64_t pos, std::uint64_t line_no) {
        if (!warned_ && pos < last_pos_) warn(last_chrom_, pos, line_no);
        last_pos_ = pos;
    }
    bool warned() const { return warned_; }

private:
    void warn(std::string_view chrom, std::int64_t pos, std::uint64_t line_no);

    std::string path_;
    std::string last_chrom_;
    std::int64_t last_pos_ = 0;
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

// At the end of a run: when rows and database records were read, no row found a value,
// and no row chromosome occurs in the database, says so in one line naming an example
// of each (the "chr1"/"1" against "NC_000001.10" trap).
void warn_if_names_disjoint(const ChromNames& rows, const ChromNames& db, std::uint64_t hits,
                            const std::string& rows_path, const std::string& db_path);

}  // namespace wes

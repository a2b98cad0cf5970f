#include "merge_order.hpp"

#include "diagnostics.hpp"
#include "line_reader.hpp"

namespace wes {

// Past a jump in an indexed file the line's number is not known: the place tells it.
void OrderWatch::warn(std::string_view chrom, std::int64_t pos, std::uint64_t line_no) {
    warned_ = true;
    const bool numbered = !lines_ || lines_->numbered();
    const std::string line = numbered ? "line " + std::to_string(line_no) + ": " : "";
    note("warning: %s: %sout of order: %.*s %lld comes after %s %lld; rows after this "
         "point may miss values that the file holds\n",
         path_.c_str(), line.c_str(), static_cast<int>(chrom.size()), chrom.data(), static_cast<long long>(pos),
         last_chrom_.c_str(), static_cast<long long>(last_pos_));
}

bool same_alleles(std::string_view r1, std::string_view a1, std::string_view r2, std::string_view a2) {
    if (r1.size() + a1.size() != r2.size() + a2.size()) return false;
    if (r1.size() == r2.size()) return r1 == r2 && a1 == a2;
    // Walk both texts "r-a" byte by byte.
    auto at = [](std::string_view r, std::string_view a, std::size_t i) {
        if (i < r.size()) return r[i];
        if (i == r.size()) return '-';
        return a[i - r.size() - 1];
    };
    for (std::size_t i = 0, n = r1.size() + a1.size() + 1; i < n; ++i)
        if (at(r1, a1, i) != at(r2, a2, i)) return false;
    return true;
}

bool ChromNames::shares_any(const ChromNames& other) const {
    for (const std::string& a : names_)
        for (const std::string& b : other.names_)
            if (a == b) return true;
    return false;
}

void BeforeStart::warn(const std::string& rows_path) const {
    if (count_ == 0) return;
    note("warning: %s: %llu %s (such as \"%s\") %s before %.*s %lld, where the merge starts, "
         "and got no value; the suite's files name chromosomes by accession (NC_000001.10 to "
         "NC_000024.9)\n",
         rows_path.c_str(), static_cast<unsigned long long>(count_), count_ == 1 ? "row" : "rows",
         example_.c_str(), count_ == 1 ? "sorts" : "sort",
         static_cast<int>(first_chrom.size()), first_chrom.data(), static_cast<long long>(first_pos));
}

void warn_if_names_disjoint(const ChromNames& rows, const ChromNames& db, std::uint64_t hits,
                    const std::string& rows_path, const std::string& db_path) {
    if (hits != 0 || rows.empty() || db.empty() || rows.shares_any(db)) return;
    note("warning: no row found a value: the chromosome names of %s (such as \"%s\") never occur "
         "in %s (such as \"%s\"); both files must name chromosomes the same way\n",
         rows_path.c_str(), rows.example().c_str(), db_path.c_str(), db.example().c_str());
}

void warn_crowded_place(const std::string& db_path, std::string_view chrom, std::int64_t pos, std::size_t records,
                        std::size_t mib) {
    note("warning: %s holds more than %zu records or %zu MiB of records at %.*s %lld; past them, rows at that "
         "place may miss values that the file holds\n",
         db_path.c_str(), records, mib, static_cast<int>(chrom.size()), chrom.data(), static_cast<long long>(pos));
}

void warn_no_records(const std::string& db_path) {
    note("warning: %s holds no record; no row got a value from it\n", db_path.c_str());
}

}  // namespace wes

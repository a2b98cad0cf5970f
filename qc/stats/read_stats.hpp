// The per-read counts of a run, beside the per-cycle ones: for each mate the
// distributions of read length, mean score and GC share and where adapters start, and
// for the pairs their duplication. Bounded tables (report_format.hpp), exact 64-bit counts.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <string_view>

#include "duplicates.hpp"
#include "read_figures.hpp"
#include "report_format.hpp"

namespace wes::qc {

struct MateReadStats {
    std::uint64_t reads = 0, bases = 0;
    std::uint64_t min_length = std::numeric_limits<std::uint64_t>::max(), max_length = 0;
    std::array<std::uint64_t, k_length_bound + 2> length{};  // 0-1000 exactly, then the longer reads
    std::array<std::uint64_t, k_top_mean_score + 1> mean_quality{};
    std::array<std::uint64_t, k_gc_percents> gc{};
    // Reads whose first adapter is that one and starts at cycle c (index c - 1, for c up
    // to k_length_bound), or later (the last index).
    std::array<std::array<std::uint64_t, k_length_bound + 1>, k_adapters.size()> adapter_start{};

    void add(const ReadFigures& f) {
        ++reads;
        bases += f.length;
        if (f.length < min_length) min_length = f.length;
        if (f.length > max_length) max_length = f.length;
        ++length[f.length <= k_length_bound ? f.length : k_length_bound + 1];
        if (f.mean_quality >= 0) ++mean_quality[static_cast<std::size_t>(f.mean_quality)];
        if (f.gc_percent >= 0) ++gc[static_cast<std::size_t>(f.gc_percent)];
        if (f.adapter >= 0)
            ++adapter_start[static_cast<std::size_t>(f.adapter)][f.adapter_at < k_length_bound ? f.adapter_at : k_length_bound];
    }
};

struct ReadStats {
    std::array<MateReadStats, 2> mates;
    DuplicateTracker duplicates;

    // A complete record pair: each read's sequence and quality line, and the pair's
    // fingerprint (pair_fingerprint of the two sequences).
    void add_pair(std::string_view seq1, std::string_view qual1, std::string_view seq2, std::string_view qual2,
                  std::uint64_t key) {
        mates[0].add(read_figures(seq1, qual1));
        mates[1].add(read_figures(seq2, qual2));
        duplicates.add(key, seq1, seq2);
    }
};

}  // namespace wes::qc

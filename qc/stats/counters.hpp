// The counters record of read_qc_stat: per-cycle base and quality counts of read 1
// (rows 0-159) and read 2 (rows 160-319), summed over every pair of files of a run.
#pragma once

#include <array>
#include <cstdint>

#include "read_stats.hpp"
#include "report_format.hpp"

namespace wes::qc {

constexpr int k_base_columns = 1 + k_bases;   // 0 row total, 1 A, 2 T, 3 C, 4 G, 5 N
constexpr int k_qual_columns = k_scores + 1;  // 0-39 exact score, 40 score 40 and above, 41 row total

// Adds every cell of the table from into the table to (of the same shape).
template <typename To, typename From>
void add_cells(To& to, const From& from) {
    for (std::size_t i = 0; i < from.size(); ++i)
        for (std::size_t c = 0; c < from[i].size(); ++c) to[i][c] += from[i][c];
}

// The counts of one mate (read 1 or read 2) of a pair, as its walks fill them. The
// walks count into narrow tables small enough to stay in the first-level cache beside
// the read's own work (both mates' take 15 KiB); they are added into the middle ones
// before any cell could overflow, and those into the wide ones.
// Measured: a plain 2 x 1,000,000 x 150 bp pair, one CPU, took 0.38 s with 16-bit cells, 0.46 s with 64-bit ones
// (before the per-read figures); with them, 0.47 to 0.49 s with 16-bit cells, 0.44 with 8-bit ones (and
// 1,379M -> 1,390M instructions on 200k pairs: the tables are carried over more often).
struct MateCounts {
    using Narrow = std::uint8_t;
    using Middle = std::uint16_t;
    static constexpr std::uint32_t k_flush_every = 0xff;       // reads; a read adds at most 1 per cell
    static constexpr std::uint32_t k_middle_flushes = 0x101;   // flushes a middle cell holds: 255 x 257 = 65535

    // The bases by column, then cycle (a walk counts 16 cycles of a column at once); the
    // scores, and the wider tables, by cycle.
    std::array<std::array<Narrow, k_cycles>, k_base_columns> base{};
    std::array<std::array<Narrow, k_scores>, k_cycles> qual{};
    std::array<std::array<Middle, k_base_columns>, k_cycles> base_middle{};
    std::array<std::array<Middle, k_scores>, k_cycles> qual_middle{};
    std::array<std::array<std::int64_t, k_base_columns>, k_cycles> base_wide{};
    std::array<std::array<std::int64_t, k_scores>, k_cycles> qual_wide{};
    std::uint32_t since_flush = 0, flushes = 0;
    std::uint64_t records = 0;     // reads walked
    std::uint64_t long_reads = 0;  // reads with bases beyond cycle 160

    void flush() {
        for (int i = 0; i < k_cycles; ++i)
            for (int c = 0; c < k_base_columns; ++c) base_middle[i][c] += base[c][i];
        add_cells(qual_middle, qual);
        base = {};
        qual = {};
        since_flush = 0;
        if (++flushes < k_middle_flushes) return;
        add_cells(base_wide, base_middle);
        add_cells(qual_wide, qual_middle);
        base_middle = {};
        qual_middle = {};
        flushes = 0;
    }
    // Totals of a cell (cycle from 0).
    std::int64_t base_count(int cycle, int column) const {
        return base_wide[cycle][column] + base_middle[cycle][column] + base[column][cycle];
    }
    std::int64_t qual_count(int cycle, int score) const {
        return qual_wide[cycle][score] + qual_middle[cycle][score] + qual[cycle][score];
    }
};

// `res`: everything a run counts; only the pair reader adds to it. The per-cycle tables keep the
// report layout, but their row-total columns (base_count 0, qual_count 41) stay zero:
// the reports sum the rows where they print them.
struct Counters {
    std::array<std::array<std::int64_t, k_base_columns>, k_rows> base_count{};
    std::array<std::array<std::int64_t, k_qual_columns>, k_rows> qual_count{};
    std::int64_t pair_number = 0;  // reads of both mates, raised by 2 per record pair
    std::uint64_t long_reads = 0;
    ReadStats reads;  // the figures of whole reads, of the same record pairs

    // Adds one mate's counts into its half of the tables (mate 1 or 2).
    void add(const MateCounts& m, int mate) {
        const int row0 = mate == 1 ? 0 : k_cycles;
        for (int i = 0; i < k_cycles; ++i) {
            for (int c = 1; c < k_base_columns; ++c) base_count[row0 + i][c] += m.base_count(i, c);
            for (int k = 0; k <= k_top_score; ++k) qual_count[row0 + i][k] += m.qual_count(i, k);
        }
        long_reads += m.long_reads;
    }
};

}  // namespace wes::qc

// Per-cycle figures drawn from the reports' shares: mean quality, the share of bases at
// or above a score, the GC share. A cycle without bases gives NaN, a gap in every plot.
#pragma once

#include <vector>

#include "report_reader.hpp"

namespace wes::qc {

enum class Mate { read1 = 0, read2 = 1 };

// "read 1" or "read 2", as titles and section names say it.
inline const char* mate_name(Mate m) { return m == Mate::read1 ? "read 1" : "read 2"; }

// Mean Phred score of a cycle from its score distribution; the last column (40 and
// above) counts as 40, so the mean is a lower bound where scores pass 40.
double mean_quality(const ScoreShares& shares);

// Share (0-1) of the cycle's bases with a score of at least min_score.
double share_at_least(const ScoreShares& shares, int min_score);

// Share (0-1) of C and G among the cycle's bases.
double gc_share(const BaseShares& shares);

// The report row of cycle (1-160) of a mate.
inline int row_of(Mate m, int cycle) { return static_cast<int>(m) * k_cycles + cycle - 1; }

// The last cycle (1-160) of the mate that has bases, 0 when none has.
int last_cycle_with_bases(const QcReports& r, Mate m);

// One value per cycle 1..last (element c - 1 for cycle c).
template <typename F>
std::vector<double> per_cycle(int last, F value_of_cycle) {
    std::vector<double> v(static_cast<std::size_t>(last));
    for (int c = 1; c <= last; ++c) v[static_cast<std::size_t>(c - 1)] = value_of_cycle(c);
    return v;
}

}  // namespace wes::qc

#include "cycle_stats.hpp"

#include <cmath>
#include <limits>

namespace wes::qc {

namespace {
constexpr double k_nan = std::numeric_limits<double>::quiet_NaN();
}

// The shares are rounded to four decimals, so they are weighed against their own sum
// rather than against 1.
double mean_quality(const ScoreShares& shares) {
    double weighted = 0, sum = 0;
    for (int k = 0; k < k_scores; ++k) {
        weighted += k * shares[static_cast<std::size_t>(k)];
        sum += shares[static_cast<std::size_t>(k)];
    }
    return sum > 0 ? weighted / sum : k_nan;
}

double share_at_least(const ScoreShares& shares, int min_score) {
    double above = 0, sum = 0;
    for (int k = 0; k < k_scores; ++k) {
        if (k >= min_score) above += shares[static_cast<std::size_t>(k)];
        sum += shares[static_cast<std::size_t>(k)];
    }
    return sum > 0 ? above / sum : k_nan;
}

double gc_share(const BaseShares& s) {
    double sum = s[0] + s[1] + s[2] + s[3] + s[4];
    return sum > 0 ? (s[2] + s[3]) / sum : k_nan;
}

int last_cycle_with_bases(const QcReports& r, Mate m) {
    for (int c = k_cycles; c >= 1; --c) {
        const ScoreShares& q = r.quality[static_cast<std::size_t>(row_of(m, c))];
        const BaseShares& b = r.composition[static_cast<std::size_t>(row_of(m, c))];
        if (!std::isnan(q[0]) || !std::isnan(b[0])) return c;
    }
    return 0;
}

}  // namespace wes::qc

#include "verdicts.hpp"

#include <algorithm>
#include <cmath>

#include "cycle_stats.hpp"
#include "qc_page.hpp"
#include "svg_plot.hpp"

namespace wes::qc {

namespace {

// The mark of a value against its warn and fail limits (above them, or below for low_is_bad).
Mark against(double v, double warn, double fail, bool low_is_bad = false) {
    if (low_is_bad ? v < fail : v > fail) return Mark::fail;
    if (low_is_bad ? v < warn : v > warn) return Mark::warn;
    return Mark::pass;
}

std::string pct(double share, int decimals = 1) { return svg::number(100 * share, decimals) + "%"; }

std::string where(int mate, int cycle) { return "read " + std::to_string(mate + 1) + ", cycle " + std::to_string(cycle); }

// The smallest score at which the cycle's shares reach part of their sum.
int score_at(const ScoreShares& s, double part) {
    double sum = 0, run = 0;
    for (double v : s) sum += v;
    for (int k = 0; k < k_scores; ++k) {
        run += s[static_cast<std::size_t>(k)];
        if (run >= part * sum - 1e-9) return k;
    }
    return k_top_score;
}

Verdict quality_per_cycle(const QcReports& r) {
    Verdict v{"quality", "Quality per cycle", Mark::pass, ""};
    int low_q = 99, low_median = 99, q_at = 0, m_at = 0, q_mate = 0, m_mate = 0;
    for (int m = 0; m < 2; ++m)
        for (int c = 1; c <= k_cycles; ++c) {
            const ScoreShares& s = r.quality[static_cast<std::size_t>(row_of(static_cast<Mate>(m), c))];
            if (std::isnan(s[0])) continue;
            int q = score_at(s, 0.25), median = score_at(s, 0.5);
            if (q < low_q) low_q = q, q_at = c, q_mate = m;
            if (median < low_median) low_median = median, m_at = c, m_mate = m;
        }
    if (low_q == 99) return {v.id, v.module, Mark::fail, "No bases were counted."};
    v.mark = std::max(against(low_q, 10, 5, true), against(low_median, 25, 20, true));
    v.why = "Lowest median score " + std::to_string(low_median) + " (" + where(m_mate, m_at) + "), lowest lower quartile " +
            std::to_string(low_q) + " (" + where(q_mate, q_at) + ").";
    return v;
}

Verdict composition_per_cycle(const QcReports& r) {
    Verdict v{"composition", "Base composition per cycle", Mark::pass, ""};
    double most = -1;
    int at = 0, at_mate = 0;
    for (int m = 0; m < 2; ++m)
        for (int c = 1; c <= k_cycles; ++c) {
            const BaseShares& b = r.composition[static_cast<std::size_t>(row_of(static_cast<Mate>(m), c))];
            if (std::isnan(b[0])) continue;
            double d = std::max(std::fabs(b[0] - b[1]), std::fabs(b[2] - b[3]));  // A-T, C-G
            if (d > most) most = d, at = c, at_mate = m;
        }
    if (most < 0) return {v.id, v.module, Mark::fail, "No bases were counted."};
    v.mark = against(100 * most, 10, 20);
    v.why = "A and T, and G and C, are at most " + svg::number(100 * most, 1) + " points apart (" + where(at_mate, at) + ").";
    return v;
}

std::string per_mate(const std::string& r1, const std::string& r2) {
    return r1 == r2 ? r1 + " (both reads)" : r1 + " (read 1), " + r2 + " (read 2)";
}

Verdict read_lengths(const ReadStatsReport& s) {
    Verdict v{"lengths", "Read lengths", Mark::pass, ""};
    std::string text[2];
    for (int m = 0; m < 2; ++m) {
        const MateTables& t = s.mates[static_cast<std::size_t>(m)];
        if (!t.lengths.empty() && t.lengths.front().first == 0) v.mark = Mark::fail;
        if (t.lengths.size() > 1) v.mark = std::max(v.mark, Mark::warn);
        const std::uint64_t lo = s.numbers.min_length[static_cast<std::size_t>(m)],
                            hi = s.numbers.max_length[static_cast<std::size_t>(m)];
        text[m] = lo == hi ? std::to_string(lo) : std::to_string(lo) + "\u2013" + std::to_string(hi);
    }
    v.why = text[0] == text[1] && s.mates[0].lengths.size() == 1 && s.mates[1].lengths.size() == 1
                ? "Every read is " + text[0] + " bases long."
                : "Read 1: " + text[0] + " bases, read 2: " + text[1] + " bases.";
    if (v.mark == Mark::fail) v.why += " Some reads have no bases at all.";
    return v;
}

Verdict read_quality(const ReadStatsReport& s) {
    Verdict v{"read_quality", "Mean quality of reads", Mark::pass, ""};
    std::string text[2];
    for (int m = 0; m < 2; ++m) {
        const auto& q = s.mates[static_cast<std::size_t>(m)].mean_quality;
        const auto mode = static_cast<int>(std::max_element(q.begin(), q.end()) - q.begin());
        v.mark = std::max(v.mark, against(mode, 27, 20, true));
        text[m] = std::to_string(mode);
    }
    v.why = "The most common mean score of a read is " + per_mate(text[0], text[1]) + ".";
    return v;
}

Verdict read_gc(const ReadStatsReport& s) {
    Verdict v{"read_gc", "GC share of reads", Mark::pass, ""};
    std::string text[2];
    for (int m = 0; m < 2; ++m) {
        // The curve for the most common length (up to 1,000 bases).
        const MateTables& t = s.mates[static_cast<std::size_t>(m)];
        std::pair<std::uint64_t, std::uint64_t> most{100, 0};
        for (const auto& [length, reads] : t.lengths)
            if (reads > most.second && length > 0 && length <= k_length_bound) most = {length, reads};
        const double off = gc_deviation(t.gc, most.first);
        v.mark = std::max(v.mark, against(100 * off, 15, 30));
        text[m] = pct(off);
    }
    v.why = "Reads off a normal curve of the same mean and spread: " + per_mate(text[0], text[1]) + ".";
    return v;
}

Verdict adapter_content(const ReadStatsReport& s) {
    Verdict v{"adapters", "Adapter content", Mark::pass, ""};
    double most = 0;
    std::string which = "";
    for (int m = 0; m < 2; ++m) {
        const auto& rows = s.mates[static_cast<std::size_t>(m)].adapters;
        if (rows.empty()) continue;
        for (std::size_t a = 0; a < k_adapters.size(); ++a) {
            double share = static_cast<double>(rows.back()[a]) / static_cast<double>(s.numbers.read_pairs);
            if (share > most) most = share, which = std::string(k_adapters[a].name) + ", read " + std::to_string(m + 1);
        }
    }
    v.mark = against(100 * most, 5, 10);
    v.why = most > 0 ? "The most common adapter is in " + pct(most, 2) + " of the reads (" + which + ")."
                     : "No read holds an adapter.";
    return v;
}

Verdict duplication(const ReadStatsReport& s) {
    Verdict v{"duplication", "Duplication", Mark::pass, ""};
    v.mark = against(100 * s.numbers.duplicate_share, 20, 50);
    v.why = "About " + pct(s.numbers.duplicate_share) + " of the read pairs repeat an earlier one (estimated from the first " +
            grouped(s.numbers.tracked_pair_limit) + " pairs).";
    return v;
}

Verdict overrepresented(const ReadStatsReport& s) {
    Verdict v{"overrepresented", "Overrepresented sequences", Mark::pass, ""};
    if (s.over.empty()) {
        v.why = "No sequence is in more than 0.1% of the read pairs.";
        return v;
    }
    v.mark = against(100 * s.over.front().share, 0.1, 1);
    v.why = std::to_string(s.over.size()) + (s.over.size() == 1 ? " sequence is" : " sequences are") +
            " in more than 0.1% of the read pairs; the most common in " + pct(s.over.front().share, 2) + ".";
    return v;
}

}  // namespace

const char* mark_name(Mark m) { return m == Mark::pass ? "pass" : m == Mark::warn ? "warn" : "fail"; }

double gc_deviation(const std::array<std::uint64_t, k_gc_percents>& gc, std::uint64_t length) {
    double n = 0, sum = 0, squares = 0;
    for (int p = 0; p < k_gc_percents; ++p) {
        const double c = static_cast<double>(gc[static_cast<std::size_t>(p)]);
        n += c;
        sum += c * p;
        squares += c * p * p;
    }
    if (n == 0 || length == 0) return 0;
    const double mean = sum / n, sd = std::sqrt(std::max(0.0, squares / n - mean * mean));
    std::array<double, k_gc_percents> curve{};
    double curve_sum = 0;
    for (std::uint64_t k = 0; k <= length; ++k) {
        const double percent = 100.0 * static_cast<double>(k) / static_cast<double>(length);
        const std::size_t bin = (200 * k + length) / (2 * length);
        const double z = sd > 0 ? (percent - mean) / sd : (bin == static_cast<std::size_t>(std::lround(mean)) ? 0 : 1e9);
        const double w = std::exp(-z * z / 2);
        curve[bin] += w;
        curve_sum += w;
    }
    if (curve_sum == 0) return 1;
    double off = 0;
    for (std::size_t p = 0; p < curve.size(); ++p) off += std::fabs(static_cast<double>(gc[p]) - n * curve[p] / curve_sum);
    return off / n;
}

std::vector<Verdict> verdicts(const QcReports& reports, const ReadStatsReport& stats) {
    std::vector<Verdict> v = {quality_per_cycle(reports), composition_per_cycle(reports)};
    if (!stats.present) return v;
    for (auto check : {read_lengths, read_quality, read_gc, adapter_content, duplication, overrepresented}) {
        v.push_back(check(stats));
        if (stats.numbers.read_pairs == 0) v.back() = {v.back().id, v.back().module, Mark::fail, "No reads were counted."};
    }
    return v;
}

}  // namespace wes::qc

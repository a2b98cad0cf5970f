#include "report_writer.hpp"

#include <cmath>
#include <cstdio>
#include <limits>

#include "out_file.hpp"

namespace wes::qc {

namespace {
std::int64_t quality_total(const Counters& res, int r) {
    std::int64_t tot = 0;
    for (int k = 0; k <= k_top_score; ++k) tot += res.qual_count[r][k];
    return tot;
}
std::int64_t base_total(const Counters& res, int r) {
    const auto& b = res.base_count[r];
    return b[1] + b[2] + b[3] + b[4] + b[5];
}
// num / den with each count converted to single precision and divided so, as the
// summary has always shown its fractions; 0 / 0 is the NaN of an invalid operation,
// sign bit set.
double fraction(std::uint64_t num, std::uint64_t den) {
    if (den == 0) return -std::numeric_limits<double>::quiet_NaN();
    return static_cast<double>(static_cast<float>(num) / static_cast<float>(den));
}
}  // namespace

RunTotals summarize(const Counters& res) {
    RunTotals t;
    std::uint64_t q20 = 0, q30 = 0;
    for (int r = 0; r < k_rows; ++r) {
        const auto& q = res.qual_count[r];
        for (int k = 20; k <= k_top_score; ++k) q20 += static_cast<std::uint64_t>(q[k]);
        for (int k = 30; k <= k_top_score; ++k) q30 += static_cast<std::uint64_t>(q[k]);
        t.Q_tot += static_cast<std::uint64_t>(quality_total(res, r));

        const std::int64_t bases = base_total(res, r);
        (r < k_cycles ? t.read1base_number : t.read2base_number) += static_cast<std::uint64_t>(bases);
        t.GC_number += static_cast<std::uint64_t>(res.base_count[r][3] + res.base_count[r][4]);
        if (bases > 0) ++(r < k_cycles ? t.read1_len : t.read2_len);
    }
    t.pair_number = static_cast<std::uint64_t>(res.pair_number);
    t.base_number = t.read2base_number + t.read1base_number;
    t.GC_content = fraction(t.GC_number, t.base_number);
    t.Q_20 = fraction(q20, t.Q_tot);
    t.Q_30 = fraction(q30, t.Q_tot);
    return t;
}

void append_ratio(std::string& out, std::int64_t num, std::int64_t den) {
    // A cycle without bases is 0 / 0: the NaN of an invalid operation, sign bit set.
    if (den == 0) {
        out += "\t-nan";
        return;
    }
    float ratio = static_cast<float>(num) / static_cast<float>(den);
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "\t%.4f", static_cast<double>(ratio));
    out.append(buf, static_cast<std::size_t>(n));
}

std::string quality_report(const Counters& res) {
    std::string out = quality_header() + "\n";
    for (int r = 0; r < k_rows; ++r) {
        const auto& q = res.qual_count[r];
        const std::int64_t tot = quality_total(res, r);
        out += std::to_string(r + 1);
        for (int k = 0; k <= k_top_score; ++k) append_ratio(out, q[k], tot);
        out += '\n';
    }
    return out;
}

std::string gc_report(const Counters& res) {
    std::string out = std::string(k_composition_header) + "\n";
    for (int r = 0; r < k_rows; ++r) {
        const auto& b = res.base_count[r];
        const std::int64_t bases = base_total(res, r);
        out += std::to_string(r + 1);
        for (int c = 1; c < k_base_columns; ++c) append_ratio(out, b[c], bases);
        out += '\n';
    }
    return out;
}

std::string summary_report(const RunTotals& t) {
    std::string out;
    for (const SummaryKey& key : k_summary_keys) {
        out += key.name;
        out += '\t';
        if (key.count) {
            out += std::to_string(t.*key.count);
        } else if (std::isnan(t.*key.fraction)) {
            out += "-nan";
        } else {
            char buf[64];
            int n = std::snprintf(buf, sizeof buf, "%f", t.*key.fraction);
            out.append(buf, static_cast<std::size_t>(n));
        }
        out += '\n';
    }
    return out;
}

bool write_reports(const Counters& res, const std::string& out) {
    return write_whole_file(out + k_report_suffixes[0], quality_report(res)) &&
           write_whole_file(out + k_report_suffixes[1], gc_report(res)) &&
           write_whole_file(out + k_report_suffixes[2], summary_report(summarize(res)));
}

}  // namespace wes::qc

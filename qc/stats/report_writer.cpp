#include "report_writer.hpp"

#include <algorithm>
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

namespace {

// Appends the fields of a line, tab-separated, and its newline.
template <typename... Fields>
void line(std::string& out, const Fields&... fields) {
    bool first = true;
    ((out += first ? "" : "\t", out += fields, first = false), ...);
    out += '\n';
}

std::string count(std::uint64_t n) { return std::to_string(n); }

// "%f"-style with the given decimals; "-nan" for NaN.
std::string decimal(double v, int decimals) {
    if (std::isnan(v)) return "-nan";
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return std::string(buf, static_cast<std::size_t>(n));
}

// The rows of a distribution of one mate: each value that some read has, in order.
template <std::size_t N, typename Name>
void distribution(std::string& out, const char* tag, int mate, const std::array<std::uint64_t, N>& reads, Name name) {
    for (std::size_t v = 0; v < N; ++v)
        if (reads[v] != 0) line(out, tag, count(static_cast<std::uint64_t>(mate)), name(v), count(reads[v]));
}

const char* adapter_in(std::string_view seq) {
    std::size_t at = 0;
    int a = find_adapter(seq, at);
    return a < 0 ? "-" : k_adapters[static_cast<std::size_t>(a)].name;
}

}  // namespace

std::string read_stats_report(const ReadStats& stats, const Provenance& provenance) {
    const Duplication dup = stats.duplicates.summarize();
    std::string out;
    line(out, k_read_stats_first_line);
    line(out, k_tag_version, provenance.version);
    line(out, k_tag_date, provenance.date);
    line(out, "# INPUT", "pair", "mate", "bytes", "modified", "path");
    for (const InputFile& f : provenance.inputs)
        line(out, k_tag_input, std::to_string(f.pair), std::to_string(f.mate), f.known ? count(f.size) : "-",
             f.known ? f.modified : "-", escape_field(f.path));

    ReadNumbers n;
    n.read_pairs = stats.duplicates.pairs();
    for (std::size_t m = 0; m < 2; ++m) {
        const MateReadStats& s = stats.mates[m];
        n.bases[m] = s.bases;
        n.min_length[m] = s.reads ? s.min_length : 0;
        n.max_length[m] = s.max_length;
        for (const auto& starts : s.adapter_start)
            for (std::uint64_t r : starts) n.adapter_reads[m] += r;
    }
    n.tracked_sequences = dup.tracked_sequences;
    n.tracked_pairs = dup.tracked_pairs;
    line(out, "# SN", "key", "value");
    for (const NumberKey& k : k_read_numbers)
        line(out, k_tag_number, k.name, count(k.count ? n.*k.count : (n.*k.mates)[static_cast<std::size_t>(k.mate)]));
    line(out, k_tag_number, k_duplicate_share_key, decimal(dup.duplicate_share, 6));

    line(out, "# LEN", "mate", "length", "reads");
    for (int m = 1; m <= 2; ++m)
        distribution(out, k_tag_length, m, stats.mates[m - 1].length,
                     [](std::size_t v) { return v <= k_length_bound ? count(v) : std::string(k_longer_reads); });
    line(out, "# QUAL", "mate", "mean score", "reads");
    for (int m = 1; m <= 2; ++m) distribution(out, k_tag_quality, m, stats.mates[m - 1].mean_quality, count);
    line(out, "# GC", "mate", "GC percent", "reads");
    for (int m = 1; m <= 2; ++m) distribution(out, k_tag_gc, m, stats.mates[m - 1].gc, count);

    // Cumulative: the reads whose first adapter, that one, starts at or before the cycle.
    line(out, "# ADAPTER", "mate", "cycle", k_adapters[0].name, k_adapters[1].name, k_adapters[2].name);
    for (int m = 1; m <= 2; ++m) {
        const MateReadStats& s = stats.mates[static_cast<std::size_t>(m - 1)];
        std::array<std::uint64_t, k_adapters.size()> sum{};
        for (std::uint64_t c = 1; c <= std::min(s.max_length, k_length_bound); ++c) {
            for (std::size_t a = 0; a < sum.size(); ++a) sum[a] += s.adapter_start[a][c - 1];
            line(out, k_tag_adapter, count(static_cast<std::uint64_t>(m)), count(c), count(sum[0]), count(sum[1]),
                 count(sum[2]));
        }
    }

    line(out, "# DUP", "copies", "sequences", "pairs", "estimated share of pairs");
    for (std::size_t l = 0; l < dup.levels.size(); ++l)
        line(out, k_tag_dup, l + 1 < dup.levels.size() ? count(l + 1) : count(l + 1) + "+", count(dup.levels[l].sequences),
             count(dup.levels[l].pairs), decimal(dup.levels[l].share, 6));

    line(out, "# OVER", "pairs", "share of pairs", "read 1", "read 2", "adapter in read 1", "adapter in read 2");
    for (const Overrepresented& o : dup.overrepresented)
        line(out, k_tag_over, count(o.pairs), decimal(static_cast<double>(o.pairs) / static_cast<double>(n.read_pairs), 6),
             escape_field(o.read1), escape_field(o.read2), adapter_in(o.read1), adapter_in(o.read2));
    return out;
}

bool write_reports(const Counters& res, const std::string& out, const Provenance& provenance) {
    return write_whole_file(out + k_report_suffixes[0], quality_report(res)) &&
           write_whole_file(out + k_report_suffixes[1], gc_report(res)) &&
           write_whole_file(out + k_report_suffixes[2], summary_report(summarize(res))) &&
           write_whole_file(out + k_read_stats_suffix, read_stats_report(res.reads, provenance));
}

}  // namespace wes::qc

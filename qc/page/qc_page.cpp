#include "qc_page.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "build_config.hpp"
#include "cycle_stats.hpp"
#include "escape.hpp"
#include "svg_plot.hpp"
#include "verdicts.hpp"

namespace wes::qc {

namespace {

constexpr const char* k_style = R"(
:root{color-scheme:light}
body{font-family:system-ui,-apple-system,"Segoe UI",Roboto,"Helvetica Neue",Arial,sans-serif;color:#1a1a1a;background:#fff;max-width:1120px;margin:0 auto;padding:16px 20px 32px}
h1{font-size:1.6em;margin:.3em 0 .1em}
h2{font-size:1.2em;margin:1.3em 0 .5em;padding-bottom:.2em;border-bottom:1px solid #bbb}
p.source{margin:0;color:#444;font-size:.9em}
table.summary{border-collapse:collapse;font-size:.95em}
table.summary th,table.summary td{padding:.3em .9em .3em 0;border-bottom:1px solid #e3e3e3;text-align:left;vertical-align:top}
table.summary th{font-weight:600}
table.summary td.n{text-align:right;font-variant-numeric:tabular-nums}
table.summary td.note{color:#555}
figure{margin:0 0 14px}
figcaption{font-size:.85em;color:#444;margin-top:2px}
.pair{display:flex;flex-wrap:wrap;gap:20px}
.pair figure{flex:1 1 500px;min-width:0}
svg.chart{display:block;max-width:100%;height:auto}
.chart text{font-size:12px;fill:#1a1a1a}
.chart .title{font-size:14px;font-weight:600}
.chart .tick{font-size:11px;fill:#333}
.chart .nodata{font-size:14px;fill:#777}
.axis{fill:none;stroke:#333}
.grid{fill:none;stroke:#e0e0e0}
.line{fill:none;stroke-width:1.8;stroke-linejoin:round;stroke-linecap:round}
.r1{stroke:#1f5fa8}.r2{stroke:#d2620a}.dash{stroke-dasharray:7 4}
.bA{stroke:#2a9d2a}.bT{stroke:#d62728}.bC{stroke:#1f6fd0}.bG{stroke:#222}.bN{stroke:#888;stroke-dasharray:2 4}
.good{fill:#e6f4e1}.fair{fill:#fbf2d9}.poor{fill:#fae3e1}
.cells path{fill:none;stroke-width:1;shape-rendering:crispEdges}.cells .nb{stroke-width:41}
.h0{fill:#ffffd9;stroke:#ffffd9}.h1{fill:#edf8b1;stroke:#edf8b1}.h2{fill:#c7e9b4;stroke:#c7e9b4}.h3{fill:#7fcdbb;stroke:#7fcdbb}
.h4{fill:#41b6c4;stroke:#41b6c4}.h5{fill:#1d91c0;stroke:#1d91c0}.h6{fill:#225ea8;stroke:#225ea8}.h7{fill:#0c2c84;stroke:#0c2c84}
.nb{fill:#e2e2e2;stroke:#e2e2e2}
.swatch{stroke:#888;stroke-width:.5}
.bar{fill:none}.a0{stroke:#1f5fa8}.a1{stroke:#d2620a}.a2{stroke:#2a9d2a}
.mark{display:inline-block;min-width:2.6em;text-align:center;padding:.05em .4em;border-radius:3px;font-size:.8em;font-weight:600;text-transform:uppercase;vertical-align:.1em}
h2 .mark{margin-left:.6em}
.mark.pass{background:#dff0d8;color:#1d5a1a}.mark.warn{background:#fcefc7;color:#6b4a00}.mark.fail{background:#f8d7d4;color:#8a1f11}
p.aid{margin:.2em 0 .6em}p.note{color:#555}
table.seqs{border-collapse:collapse;font-size:.9em}
table.seqs th,table.seqs td{padding:.25em .8em .25em 0;border-bottom:1px solid #e3e3e3;text-align:left}
table.seqs td.n{text-align:right;font-variant-numeric:tabular-nums}
table.seqs code{font-size:.95em;word-break:break-all}
@media print{body{max-width:none;padding:0;font-size:10pt}section,figure{break-inside:avoid}h2{break-after:avoid}*{-webkit-print-color-adjust:exact;print-color-adjust:exact}}
)";

constexpr const char* k_read_names[] = {"Read 1", "Read 2"};
constexpr const char* k_read_classes[] = {"r1", "r2"};

std::string percent(double fraction) {
    if (std::isnan(fraction)) return "\u2013";
    return svg::number(fraction * 100, 2) + "\u00a0%";
}

std::string basename_of(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void row(std::string& out, const char* name, const std::string& value, const std::string& note) {
    out += "<tr><th scope=\"row\">";
    out += name;
    out += "</th><td class=\"n\">" + value + "</td><td class=\"note\">" + note + "</td></tr>\n";
}

std::string summary_table(const RunTotals& t, const std::string& sample) {
    std::string out = "<table class=\"summary\">\n";
    row(out, "Sample", escape_html(sample), "");
    row(out, "Reads", grouped(t.pair_number), grouped(t.pair_number / 2) + " read pairs");
    row(out, "Read length", std::to_string(t.read1_len) + " / " + std::to_string(t.read2_len),
        "longest read 1 / read 2, in bases");
    row(out, "Bases", grouped(t.base_number),
        "read 1 " + grouped(t.read1base_number) + ", read 2 " + grouped(t.read2base_number));
    row(out, "Q20", percent(t.Q_20), "bases with a Phred score of 20 or more");
    row(out, "Q30", percent(t.Q_30), "bases with a Phred score of 30 or more");
    row(out, "GC", percent(t.GC_content), "C and G among all bases (N included)");
    out += "</table>\n";
    return out;
}

// The extremes of the values that are not gaps; false when every value is a gap.
bool value_range(const std::vector<svg::Series>& series, double& lo, double& hi) {
    bool any = false;
    for (const svg::Series& s : series)
        for (double v : s.values) {
            if (std::isnan(v)) continue;
            lo = any ? std::min(lo, v) : v;
            hi = any ? std::max(hi, v) : v;
            any = true;
        }
    return any;
}

std::string figure(const std::string& svg_text, const std::string& caption) {
    return "<figure>" + svg_text + "<figcaption>" + caption + "</figcaption></figure>\n";
}

const char* const k_gap_note = "Cycles without bases are gaps in the lines.";
constexpr Mate k_mates[] = {Mate::read1, Mate::read2};

const ScoreShares& quality_at(const QcReports& r, Mate m, int cycle) {
    return r.quality[static_cast<std::size_t>(row_of(m, cycle))];
}

svg::LineChart cycle_chart(std::string title, const char* y_label, int last) {
    svg::LineChart c;
    c.title = std::move(title);
    c.y_label = y_label;
    c.last_cycle = last;
    return c;
}

// Mean quality per cycle, both reads in one chart over the score bands.
svg::LineChart mean_quality_chart(const QcReports& r, int last) {
    svg::LineChart mean = cycle_chart("Mean quality per cycle", "Mean Phred score", last);
    for (Mate m : k_mates)
        mean.series.push_back({k_read_names[static_cast<int>(m)], k_read_classes[static_cast<int>(m)],
                               per_cycle(last, [&](int c) { return mean_quality(quality_at(r, m, c)); })});
    double lo = 0, hi = 40;
    value_range(mean.series, lo, hi);
    mean.y = svg::nice_axis(0, std::max(hi, 40.0));
    mean.bands = {{0, 20, "poor"}, {20, 30, "fair"}, {30, mean.y.hi, "good"}};
    return mean;
}

// Share of bases at or above Q20 and Q30.
svg::LineChart q20_q30_chart(const QcReports& r, int last) {
    svg::LineChart share =
        cycle_chart("Bases at or above Q20 and Q30 per cycle", "Share of the cycle\u2019s bases (%)", last);
    for (Mate m : k_mates) {
        int i = static_cast<int>(m);
        for (int score : {20, 30})
            share.series.push_back({std::string(k_read_names[i]) + " \u2265Q" + std::to_string(score),
                                    std::string(k_read_classes[i]) + (score == 30 ? " dash" : ""), per_cycle(last, [&](int c) {
                                        return 100 * share_at_least(quality_at(r, m, c), score);
                                    })});
    }
    double lo = 90, hi = 100;
    value_range(share.series, lo, hi);
    share.y = svg::nice_axis(std::min(lo, 90.0), 100);
    return share;
}

// Base composition, one chart per read on a common y axis.
std::array<svg::LineChart, 2> composition_charts(const QcReports& r, int last) {
    static constexpr const char* base_names[] = {"A", "T", "C", "G", "N"};
    static constexpr const char* base_classes[] = {"bA", "bT", "bC", "bG", "bN"};
    std::array<svg::LineChart, 2> comp;
    double comp_hi = 0;
    for (Mate m : k_mates) {
        svg::LineChart& c = comp[static_cast<std::size_t>(m)];
        c = cycle_chart(std::string("Base composition per cycle, ") + mate_name(m),
                        "Share of the cycle\u2019s bases (%)", last);
        c.width = 540;
        for (std::size_t b = 0; b < 5; ++b)
            c.series.push_back({base_names[b], base_classes[b], per_cycle(last, [&](int cycle) {
                                    return 100 * r.composition[static_cast<std::size_t>(row_of(m, cycle))][b];
                                })});
        double clo = 0, chi = 0;
        if (value_range(c.series, clo, chi)) comp_hi = std::max(comp_hi, chi);
    }
    comp[0].y = comp[1].y = svg::nice_axis(0, std::max(comp_hi, 1.0));
    return comp;
}

svg::HeatMap heat_map(const QcReports& r, Mate m, int last) {
    svg::HeatMap h;
    h.title = std::string("Quality scores per cycle, ") + mate_name(m);
    h.last_cycle = last;
    for (int c = 1; c <= last; ++c) h.shares.push_back(quality_at(r, m, c));
    return h;
}

// The page up to its first section.
std::string page_head(const std::string& sample, const std::string& source, bool per_read) {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<meta name=\"generator\" content=\"qc_report (wes-suite " +
           std::string(build::version) + ")\">\n<title>Read QC: " + escape_html(sample) + "</title>\n<style>" + k_style +
           "</style>\n</head>\n<body>\n<header>\n<h1>Read QC: " + escape_html(sample) +
           "</h1>\n<p class=\"source\">From " + escape_html(basename_of(source)) + ".quality, .GC_content, .totstat" +
           (per_read ? " and .read_stats" : "") +
           " (read_qc_stat); rows 1\u2013160 of the per-cycle reports are read 1, 161\u2013320 read 2.</p>\n</header>\n";
}

std::string mark(Mark m) { return std::string("<span class=\"mark ") + mark_name(m) + "\">" + mark_name(m) + "</span>"; }

const Verdict& verdict_of(const std::vector<Verdict>& all, const char* id) {
    return *std::find_if(all.begin(), all.end(), [&](const Verdict& v) { return std::string(v.id) == id; });
}

// A module's section up to its plots: the title with the mark, and why.
std::string open_section(const Verdict& v) {
    return "<section id=\"" + std::string(v.id) + "\">\n<h2>" + v.module + mark(v.mark) + "</h2>\n<p class=\"aid\">" +
           escape_html(v.why) + "</p>\n";
}

std::string verdict_table(const std::vector<Verdict>& all) {
    std::string out = "<section id=\"verdicts\">\n<h2>Verdicts</h2>\n<table class=\"summary\">\n";
    for (const Verdict& v : all)
        out += "<tr><th scope=\"row\"><a href=\"#" + std::string(v.id) + "\">" + v.module + "</a></th><td>" + mark(v.mark) +
               "</td><td class=\"note\">" + escape_html(v.why) + "</td></tr>\n";
    return out + "</table>\n</section>\n";
}

// Where the figures came from: the inputs as read_qc_stat found them, its version and
// the date of its run.
std::string provenance(const ReadStatsReport& s, const std::string& source) {
    std::string out = "<section id=\"provenance\">\n<h2>Run</h2>\n";
    if (!s.present)
        return out + "<p class=\"note\">Not recorded: " + escape_html(basename_of(source)) +
               ".read_stats is not there (reports of an older read_qc_stat).</p>\n</section>\n";
    // One row a line: what differs from run to run can be told apart line by line.
    auto run_row = [&out](const std::string& name, const std::string& value, const std::string& note) {
        out += "<tr><th scope=\"row\">" + name + "</th><td>" + value + "</td><td class=\"note\">" + note + "</td></tr>\n";
    };
    out += "<table class=\"summary\">\n";
    for (const InputRecord& in : s.inputs)
        run_row("Pair " + std::to_string(in.pair) + ", read " + std::to_string(in.mate), escape_html(in.path),
                in.known ? grouped(in.size) + " bytes, modified " + escape_html(in.modified)
                         : "size and time unknown (not a file)");
    run_row("read_qc_stat", escape_html(s.version), "run " + escape_html(s.date));
    run_row("qc_report", std::string("wes-suite ") + build::version, "");
    return out + "</table>\n</section>\n";
}

// Whole values lo..hi in at most about `most` slots of 1, 2, 5, 10 ... values.
int bin_for(int lo, int hi, int most) {
    for (int bin = 1;; bin *= 10)
        for (int b : {bin, 2 * bin, 5 * bin})
            if ((hi - lo) / b + 1 <= most) return b;
}

svg::BarChart distribution_chart(std::string title, const char* x_label, int lo, int hi) {
    svg::BarChart c;
    c.title = std::move(title);
    c.x_label = x_label;
    c.y_label = "Share of the reads (%)";
    c.bin = bin_for(lo, hi, 120);
    c.first_x = lo - lo % c.bin;
    return c;
}

// One series per read of reads per value (value v in slot (v - first_x) / bin), as a
// share of all reads.
template <typename ReadsAt>
void add_mates(svg::BarChart& c, const ReadStatsReport& s, int hi, ReadsAt reads_at) {
    const std::size_t slots = static_cast<std::size_t>((hi - c.first_x) / c.bin + 1);
    double top = 0;
    for (Mate m : k_mates) {
        std::vector<double> v(slots);
        for (int x = c.first_x; x <= hi; ++x)
            v[static_cast<std::size_t>((x - c.first_x) / c.bin)] +=
                100 * static_cast<double>(reads_at(s.mates[static_cast<std::size_t>(m)], x)) /
                static_cast<double>(std::max<std::uint64_t>(s.numbers.read_pairs, 1));
        for (double x : v) top = std::max(top, x);
        c.series.push_back({k_read_names[static_cast<int>(m)], k_read_classes[static_cast<int>(m)], std::move(v)});
    }
    c.y = svg::nice_axis(0, std::max(top, 1.0));
}

std::string lengths_section(const ReadStatsReport& s, const Verdict& v) {
    int lo = static_cast<int>(std::min({s.numbers.min_length[0], s.numbers.min_length[1], k_length_bound}));
    int hi = static_cast<int>(std::min(std::max(s.numbers.max_length[0], s.numbers.max_length[1]), k_length_bound));
    if (hi - lo < 10) {  // a single length or a few: a little room on either side
        lo = std::max(0, (lo + hi) / 2 - 5);
        hi = lo + 10;
    }
    svg::BarChart c = distribution_chart("Read lengths", "Read length (bases)", lo, hi);
    add_mates(c, s, hi, [](const MateTables& t, int x) {
        for (const auto& [length, reads] : t.lengths)
            if (length == static_cast<std::uint64_t>(x)) return reads;
        return std::uint64_t{0};
    });
    std::uint64_t longer = 0;
    for (const MateTables& t : s.mates)
        if (!t.lengths.empty() && t.lengths.back().first > k_length_bound) longer += t.lengths.back().second;
    std::string caption = "Share of each read\u2019s reads by length (all bytes of the sequence line).";
    if (c.bin > 1) caption += " Each bar holds " + std::to_string(c.bin) + " lengths.";
    if (longer > 0) caption += " " + grouped(longer) + " reads longer than 1,000 bases are not drawn.";
    return open_section(v) + figure(svg::render(c), caption) + "</section>\n";
}

std::string read_quality_section(const ReadStatsReport& s, const Verdict& v) {
    int hi = 41;
    for (const MateTables& t : s.mates)
        for (int q = k_top_mean_score; q > hi; --q)
            if (t.mean_quality[static_cast<std::size_t>(q)] > 0) hi = q;
    svg::BarChart c = distribution_chart("Mean quality of reads", "Mean Phred score of the read", 0, hi);
    add_mates(c, s, hi, [](const MateTables& t, int x) { return t.mean_quality[static_cast<std::size_t>(x)]; });
    return open_section(v) +
           figure(svg::render(c), "Share of the reads by the mean score of their quality line (its whole part). "
                                  "Good runs have one peak at a high score; a second peak at a low one is a group of poor reads.") +
           "</section>\n";
}

std::string read_gc_section(const ReadStatsReport& s, const Verdict& v) {
    svg::BarChart c = distribution_chart("GC share of reads", "GC of the read (%)", 0, 100);
    add_mates(c, s, 100, [](const MateTables& t, int x) { return t.gc[static_cast<std::size_t>(x)]; });
    return open_section(v) +
           figure(svg::render(c), "Share of the reads by their share of G and C (in whole percent). A genome gives one "
                                  "bell-shaped peak; a sharp extra peak points to a contamination or adapter dimers.") +
           "</section>\n";
}

std::string adapters_section(const ReadStatsReport& s, const Verdict& v) {
    static constexpr const char* short_names[] = {"Illumina", "Nextera", "small RNA"};
    std::string out = open_section(v) + "<div class=\"pair\">\n";
    std::array<svg::LineChart, 2> charts;
    double top = 1;
    for (Mate m : k_mates) {
        const auto& rows = s.mates[static_cast<std::size_t>(m)].adapters;
        svg::LineChart& c = charts[static_cast<std::size_t>(m)];
        c = cycle_chart(std::string("Adapter content, ") + mate_name(m), "Reads with the adapter (%)",
                        static_cast<int>(rows.size()));
        c.width = 540;
        for (std::size_t a = 0; a < k_adapters.size(); ++a) {
            std::vector<double> values;
            for (const auto& r : rows)
                values.push_back(100 * static_cast<double>(r[a]) / static_cast<double>(s.numbers.read_pairs));
            for (double x : values) top = std::max(top, x);
            c.series.push_back({short_names[a], "a" + std::to_string(a), std::move(values)});
        }
    }
    for (svg::LineChart& c : charts) {
        c.y = svg::nice_axis(0, top);
        out += figure(svg::render(c), "Share of the reads in which the adapter (its first 12 bases: Illumina universal "
                                      "AGATCGGAAGAG, Nextera CTGTCTCTTATA, small RNA TGGAATTCTCGG) has started at or "
                                      "before the cycle. A curve that rises toward the end means short inserts.");
    }
    return out + "</div>\n</section>\n";
}

std::string duplication_section(const ReadStatsReport& s, const Verdict& v) {
    svg::BarChart c;
    c.title = "Duplication levels";
    c.x_label = "Copies of the read pair\u2019s sequence";
    c.y_label = "Share of the read pairs (%)";
    std::vector<double> values;
    double top = 1;
    for (int l = 1; l <= k_dup_levels; ++l) {
        c.names.push_back(std::to_string(l) + (l == k_dup_levels ? "+" : ""));
        values.push_back(100 * s.dup[static_cast<std::size_t>(l - 1)].share);
        top = std::max(top, std::isnan(values.back()) ? 0 : values.back());
    }
    c.series.push_back({"Read pairs", "r1", std::move(values)});
    c.y = svg::nice_axis(0, top);
    return open_section(v) +
           figure(svg::render(c), "Estimated share of the read pairs whose sequence (the first 50 bases of read 1 and of "
                                  "read 2) the run holds that many times, from the distinct sequences of its first " +
                                      grouped(s.numbers.tracked_pair_limit) +
                                      " pairs. Most pairs should be at 1; library duplicates and "
                                      "deep sequencing of a small target move them to the right.") +
           "</section>\n";
}

std::string overrepresented_section(const ReadStatsReport& s, const Verdict& v) {
    std::string out = open_section(v);
    if (s.over.empty()) return out + "</section>\n";
    constexpr std::size_t k_shown = 20;
    out += "<table class=\"seqs\">\n<tr><th>Read pairs</th><th>Share</th><th>Read 1 (first 50 bases)</th>"
           "<th>Read 2 (first 50 bases)</th><th>Adapter</th></tr>\n";
    for (std::size_t i = 0; i < s.over.size() && i < k_shown; ++i) {
        const OverRow& o = s.over[i];
        std::string adapter = o.adapter1 == o.adapter2 ? o.adapter1 : o.adapter1 + " / " + o.adapter2;
        out += "<tr><td class=\"n\">" + grouped(o.pairs) + "</td><td class=\"n\">" + percent(o.share) +
               "</td><td><code>" + escape_html(o.read1) + "</code></td><td><code>" + escape_html(o.read2) +
               "</code></td><td>" + escape_html(adapter == "-" ? "none" : adapter) + "</td></tr>\n";
    }
    out += "</table>\n";
    if (s.over.size() > k_shown)
        out += "<p class=\"note\">And " + grouped(s.over.size() - k_shown) + " more, listed in the OVER lines of " +
               "the .read_stats report.</p>\n";
    return out + "</section>\n";
}

}  // namespace

std::string qc_page(const QcReports& r, const ReadStatsReport& stats, const std::string& sample,
                    const std::string& source) {
    const int last = std::max(last_cycle_with_bases(r, Mate::read1), last_cycle_with_bases(r, Mate::read2));
    const std::vector<Verdict> all = verdicts(r, stats);
    std::string page = page_head(sample, source, stats.present);
    page.reserve(160 * 1024);
    page += verdict_table(all);
    page += "<section id=\"summary\">\n<h2>Summary</h2>\n" + summary_table(r.totals, sample) + "</section>\n";
    page += provenance(stats, source);
    page += open_section(verdict_of(all, "quality"));
    page += figure(svg::render(mean_quality_chart(r, last)),
                   "Mean Phred score of each cycle\u2019s bases (scores of 40 and above count as 40). "
                   "Bands: under 20, 20\u201330, 30 and above. " + std::string(k_gap_note));
    page += figure(svg::render(q20_q30_chart(r, last)),
                   "Share of each cycle\u2019s bases with a score of at least 20 (solid) and 30 (dashed). " +
                       std::string(k_gap_note));
    page += "</section>\n<section id=\"heatmap\">\n<h2>Quality scores per cycle</h2>\n";
    for (Mate m : k_mates)
        page += figure(svg::render(heat_map(r, m, last)),
                       "Each cell: the share of the cycle\u2019s bases with that score; "
                       "the top row holds scores of 40 and above. Grey columns: cycles without bases.");
    page += "</section>\n" + open_section(verdict_of(all, "composition")) + "<div class=\"pair\">\n";
    for (const svg::LineChart& c : composition_charts(r, last))
        page += figure(svg::render(c), "Share of A, T, C, G and N among each cycle\u2019s bases. " +
                                           std::string(k_gap_note));
    page += "</div>\n</section>\n";
    if (stats.present) {
        page += lengths_section(stats, verdict_of(all, "lengths"));
        page += read_quality_section(stats, verdict_of(all, "read_quality"));
        page += read_gc_section(stats, verdict_of(all, "read_gc"));
        page += adapters_section(stats, verdict_of(all, "adapters"));
        page += duplication_section(stats, verdict_of(all, "duplication"));
        page += overrepresented_section(stats, verdict_of(all, "overrepresented"));
    } else {
        page += "<section id=\"per_read\">\n<h2>Per-read figures</h2>\n<p class=\"note\">" +
                escape_html(basename_of(source)) +
                ".read_stats is not there: these reports come from an older read_qc_stat. Run read_qc_stat again "
                "for read lengths, the mean quality and GC share of reads, adapter content, duplication and "
                "overrepresented sequences.</p>\n</section>\n";
    }
    page += "</body>\n</html>\n";
    return page;
}

}  // namespace wes::qc

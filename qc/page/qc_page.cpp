#include "qc_page.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "build_config.hpp"
#include "cycle_stats.hpp"
#include "escape.hpp"
#include "svg_plot.hpp"

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
std::string page_head(const std::string& sample, const std::string& source) {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<meta name=\"generator\" content=\"qc_report (wes-suite " +
           std::string(build::version) + ")\">\n<title>Read QC: " + escape_html(sample) + "</title>\n<style>" + k_style +
           "</style>\n</head>\n<body>\n<header>\n<h1>Read QC: " + escape_html(sample) +
           "</h1>\n<p class=\"source\">From " + escape_html(basename_of(source)) +
           ".quality, .GC_content and .totstat (read_qc_stat); rows 1\u2013160 of the "
           "reports are read 1, 161\u2013320 read 2.</p>\n</header>\n";
}

}  // namespace

std::string grouped(std::uint64_t n) {
    std::string digits = std::to_string(n), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string qc_page(const QcReports& r, const std::string& sample, const std::string& source) {
    const int last = std::max(last_cycle_with_bases(r, Mate::read1), last_cycle_with_bases(r, Mate::read2));
    std::string page = page_head(sample, source);
    page.reserve(96 * 1024);
    page += "<section id=\"summary\">\n<h2>Summary</h2>\n" + summary_table(r.totals, sample) + "</section>\n";
    page += "<section id=\"quality\">\n<h2>Quality per cycle</h2>\n";
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
    page += "</section>\n<section id=\"composition\">\n<h2>Base composition per cycle</h2>\n<div class=\"pair\">\n";
    for (const svg::LineChart& c : composition_charts(r, last))
        page += figure(svg::render(c), "Share of A, T, C, G and N among each cycle\u2019s bases. " +
                                           std::string(k_gap_note));
    page += "</div>\n</section>\n</body>\n</html>\n";
    return page;
}

}  // namespace wes::qc

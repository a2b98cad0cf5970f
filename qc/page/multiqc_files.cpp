#include "multiqc_files.hpp"

#include <cmath>
#include <functional>

#include "cycle_stats.hpp"
#include "escape.hpp"
#include "svg_plot.hpp"

namespace wes::qc {

namespace {

constexpr const char* k_parent =
    "\"parent_id\": \"wes_qc\",\n"
    "  \"parent_name\": \"Read QC (wes-suite)\",\n"
    "  \"parent_description\": \"Per-cycle read quality and base composition from read_qc_stat, drawn by qc_report. "
    "Cycles without bases are left out.\",\n";

// "key": value for a number that exists; nothing for NaN (JSON has none).
void number_field(std::string& out, bool& first, const char* key, double v, int decimals) {
    if (std::isnan(v)) return;
    out += first ? "" : ", ";
    first = false;
    out += "\"";
    out += key;
    out += "\": ";
    svg::append_number(out, v, decimals);
}

std::string general_stats(const QcReports& r, const ReadStatsReport& s, const std::string& sample) {
    const RunTotals& t = r.totals;
    std::string out =
        "{\n  \"id\": \"wes_qc_general\",\n  \"plot_type\": \"generalstats\",\n  \"namespace\": \"wes-suite QC\",\n"
        "  \"pconfig\": [\n"
        "    {\"bases\": {\"title\": \"Bases\", \"description\": \"Bases counted, read 1 and read 2\", "
        "\"min\": 0, \"format\": \"{:,.0f}\", \"scale\": \"Blues\"}},\n"
        "    {\"q20_pct\": {\"title\": \"Q20 %\", \"description\": \"Bases with a Phred score of 20 or more\", "
        "\"min\": 0, \"max\": 100, \"suffix\": \"%\", \"format\": \"{:,.2f}\", \"scale\": \"RdYlGn\"}},\n"
        "    {\"q30_pct\": {\"title\": \"Q30 %\", \"description\": \"Bases with a Phred score of 30 or more\", "
        "\"min\": 0, \"max\": 100, \"suffix\": \"%\", \"format\": \"{:,.2f}\", \"scale\": \"RdYlGn\"}},\n"
        "    {\"gc_pct\": {\"title\": \"GC %\", \"description\": \"C and G among all bases\", "
        "\"min\": 0, \"max\": 100, \"suffix\": \"%\", \"format\": \"{:,.2f}\", \"scale\": \"PuBu\"}},\n"
        "    {\"dup_pct\": {\"title\": \"Dups %\", \"description\": \"Read pairs that repeat an earlier one "
        "(estimated)\", \"min\": 0, \"max\": 100, \"suffix\": \"%\", \"format\": \"{:,.1f}\", \"scale\": \"RdYlGn-rev\"}},\n"
        "    {\"adapter_pct\": {\"title\": \"Adapter %\", \"description\": \"Reads that hold an adapter\", "
        "\"min\": 0, \"max\": 100, \"suffix\": \"%\", \"format\": \"{:,.2f}\", \"scale\": \"OrRd\"}},\n"
        "    {\"mean_len\": {\"title\": \"Mean length\", \"description\": \"Mean read length, read 1 and read 2, in "
        "bases\", \"min\": 0, \"format\": \"{:,.1f}\", \"scale\": \"BuPu\"}},\n"
        "    {\"reads\": {\"title\": \"Reads\", \"description\": \"Reads counted, both mates\", "
        "\"min\": 0, \"format\": \"{:,.0f}\", \"scale\": \"Greens\", \"hidden\": true}}\n"
        "  ],\n  \"data\": {\n    " +
        json_string(sample) + ": {";
    bool first = true;
    number_field(out, first, "bases", static_cast<double>(t.base_number), 0);
    number_field(out, first, "q20_pct", 100 * t.Q_20, 2);
    number_field(out, first, "q30_pct", 100 * t.Q_30, 2);
    number_field(out, first, "gc_pct", 100 * t.GC_content, 2);
    if (s.present && s.numbers.read_pairs > 0) {
        const ReadNumbers& n = s.numbers;
        const double reads = 2 * static_cast<double>(n.read_pairs);
        number_field(out, first, "dup_pct", 100 * n.duplicate_share, 2);
        number_field(out, first, "adapter_pct", 100 * static_cast<double>(n.adapter_reads[0] + n.adapter_reads[1]) / reads, 2);
        number_field(out, first, "mean_len", static_cast<double>(n.bases[0] + n.bases[1]) / reads, 2);
    }
    number_field(out, first, "reads", static_cast<double>(t.pair_number), 0);
    out += "}\n  }\n}\n";
    return out;
}

// A plot of the suite's section: its header, then one line for the sample through the
// points (none: no line at all, which MultiQC says).
struct Plot {
    std::string id, name;  // the id (wes_qc_...) and the section's name
    const char* description;
    const char* xlab;
    const char* ylab;
    std::string axis;  // further pconfig entries
};

std::string line_graph(const Plot& p, const std::string& sample, const std::vector<std::pair<std::uint64_t, double>>& points) {
    std::string out = "{\n  \"id\": \"" + p.id + "\",\n  " + k_parent + "  \"section_name\": \"" + p.name +
                      "\",\n  \"description\": \"" + p.description + "\",\n" +
                      "  \"plot_type\": \"linegraph\",\n  \"pconfig\": {\"id\": \"" + p.id + "_plot\", " +
                      "\"title\": \"wes-suite: " + p.name + "\", \"xlab\": \"" + p.xlab + "\", " + "\"ylab\": \"" +
                      p.ylab + "\", " + p.axis + "},\n  \"data\": {";
    if (points.empty()) return out + "}\n}\n";
    out += "\n    " + json_string(sample) + ": {";
    bool first = true;
    for (const auto& [x, y] : points) {
        out += first ? "" : ", ";
        first = false;
        out += "\"" + std::to_string(x) + "\": ";
        svg::append_number(out, y, 2);
    }
    out += "}\n  }\n}\n";
    return out;
}

struct Figure {
    const char* key;       // in the id and the file name
    const char* name;      // section name, before ", read N"
    const char* description;
    const char* ylab;
    const char* axis;      // further pconfig entries
    std::function<double(const QcReports&, int row)> value;
};

// A per-cycle figure of one read: a point at each cycle with bases.
std::string cycle_graph(const QcReports& r, const std::string& sample, const Figure& f, Mate m) {
    const char* read = m == Mate::read1 ? "r1" : "r2";
    Plot p{std::string("wes_qc_") + f.key + "_" + read, std::string(f.name) + ", " + mate_name(m), f.description, "Cycle",
           f.ylab, std::string("\"xmin\": 1, ") + f.axis};
    std::vector<std::pair<std::uint64_t, double>> points;
    for (int c = 1; c <= last_cycle_with_bases(r, m); ++c) {
        double v = f.value(r, row_of(m, c));
        if (!std::isnan(v)) points.emplace_back(c, v);
    }
    return line_graph(p, sample, points);
}

// The figures of out.read_stats as shares (%) of a read's reads: lengths, adapter
// content, duplication levels.
std::vector<OutputFile> read_stats_files(const ReadStatsReport& s, const std::string& sample) {
    std::vector<OutputFile> files;
    const bool any = s.present && s.numbers.read_pairs > 0;
    const double reads = static_cast<double>(std::max<std::uint64_t>(s.numbers.read_pairs, 1));
    for (Mate m : {Mate::read1, Mate::read2}) {
        const MateTables& t = s.mates[static_cast<std::size_t>(m)];
        const std::string read = m == Mate::read1 ? "r1" : "r2";
        std::vector<std::pair<std::uint64_t, double>> points;
        for (const auto& [length, n] : t.lengths)
            if (any && length <= k_length_bound) points.emplace_back(length, 100 * static_cast<double>(n) / reads);
        files.push_back({"_read_length_" + read + "_mqc.json",
                         line_graph({"wes_qc_read_length_" + read, std::string("Read lengths, ") + mate_name(m),
                                     "Share of the reads of each length (longer than 1,000 bases: not drawn).",
                                     "Read length (bases)", "Reads (%)", "\"ymin\": 0, \"ySuffix\": \"%\""},
                                    sample, points)});
    }
    for (Mate m : {Mate::read1, Mate::read2}) {
        const MateTables& t = s.mates[static_cast<std::size_t>(m)];
        const std::string read = m == Mate::read1 ? "r1" : "r2";
        std::vector<std::pair<std::uint64_t, double>> points;
        for (std::size_t c = 0; any && c < t.adapters.size(); ++c)
            points.emplace_back(c + 1, 100 * static_cast<double>(t.adapters[c][0] + t.adapters[c][1] + t.adapters[c][2]) / reads);
        files.push_back({"_adapters_" + read + "_mqc.json",
                         line_graph({"wes_qc_adapters_" + read, std::string("Adapter content, ") + mate_name(m),
                                     "Share of the reads in which an adapter (Illumina universal, Nextera or small RNA) "
                                     "has started at or before the cycle.",
                                     "Cycle", "Reads with an adapter (%)",
                                     "\"xmin\": 1, \"ymin\": 0, \"ymax\": 100, \"ySuffix\": \"%\""},
                                    sample, points)});
    }
    std::vector<std::pair<std::uint64_t, double>> points;
    for (std::size_t l = 0; any && l < s.dup.size(); ++l)
        if (!std::isnan(s.dup[l].share)) points.emplace_back(l + 1, 100 * s.dup[l].share);
    files.push_back({"_duplication_mqc.json",
                     line_graph({"wes_qc_duplication", "Duplication levels",
                                 "Estimated share of the read pairs whose sequence (first 50 bases of each read) the run "
                                 "holds that many times; 10 stands for 10 or more.",
                                 "Copies", "Read pairs (%)",
                                 "\"xmin\": 1, \"xmax\": 10, \"ymin\": 0, \"ymax\": 100, \"ySuffix\": \"%\""},
                                sample, points)});
    return files;
}

}  // namespace

std::vector<OutputFile> multiqc_files(const QcReports& r, const ReadStatsReport& stats, const std::string& sample) {
    const Figure figures[] = {
        {"mean_quality", "Mean quality per cycle", "Mean Phred score of each cycle's bases (40 and above count as 40).",
         "Mean Phred score",
         "\"ymin\": 0, \"ymax\": 41, \"yPlotBands\": [{\"from\": 30, \"to\": 41, \"color\": \"#d9efd3\"}, "
         "{\"from\": 20, \"to\": 30, \"color\": \"#f6ecc9\"}, {\"from\": 0, \"to\": 20, \"color\": \"#f4d3cf\"}]",
         [](const QcReports& q, int row) { return mean_quality(q.quality[static_cast<std::size_t>(row)]); }},
        {"q30", "Bases at or above Q30 per cycle", "Share of each cycle's bases with a Phred score of 30 or more.",
         "Bases at or above Q30 (%)", "\"ymin\": 0, \"ymax\": 100, \"ySuffix\": \"%\"",
         [](const QcReports& q, int row) {
             return 100 * share_at_least(q.quality[static_cast<std::size_t>(row)], 30);
         }},
        {"gc", "GC per cycle", "Share of C and G among each cycle's bases.", "GC (%)",
         "\"ymin\": 0, \"ymax\": 100, \"ySuffix\": \"%\"",
         [](const QcReports& q, int row) { return 100 * gc_share(q.composition[static_cast<std::size_t>(row)]); }},
    };
    std::vector<OutputFile> files;
    files.push_back({"_mqc.json", general_stats(r, stats, sample)});
    for (const Figure& f : figures)
        for (Mate m : {Mate::read1, Mate::read2})
            files.push_back({std::string("_") + f.key + (m == Mate::read1 ? "_r1" : "_r2") + "_mqc.json",
                             cycle_graph(r, sample, f, m)});
    for (OutputFile& f : read_stats_files(stats, sample)) files.push_back(std::move(f));
    return files;
}

}  // namespace wes::qc

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

std::string general_stats(const QcReports& r, const std::string& sample) {
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
        "    {\"reads\": {\"title\": \"Reads\", \"description\": \"Reads counted, both mates\", "
        "\"min\": 0, \"format\": \"{:,.0f}\", \"scale\": \"Greens\", \"hidden\": true}}\n"
        "  ],\n  \"data\": {\n    " +
        json_string(sample) + ": {";
    bool first = true;
    number_field(out, first, "bases", static_cast<double>(t.base_number), 0);
    number_field(out, first, "q20_pct", 100 * t.Q_20, 2);
    number_field(out, first, "q30_pct", 100 * t.Q_30, 2);
    number_field(out, first, "gc_pct", 100 * t.GC_content, 2);
    number_field(out, first, "reads", static_cast<double>(t.pair_number), 0);
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

std::string line_graph(const QcReports& r, const std::string& sample, const Figure& f, Mate m) {
    const char* read = m == Mate::read1 ? "r1" : "r2";
    const char* read_name = mate_name(m);
    std::string id = std::string("wes_qc_") + f.key + "_" + read;
    std::string out = "{\n  \"id\": \"" + id + "\",\n  " + k_parent + "  \"section_name\": \"" + f.name + ", " +
                      read_name + "\",\n  \"description\": \"" + f.description + "\",\n" +
                      "  \"plot_type\": \"linegraph\",\n  \"pconfig\": {\"id\": \"" + id + "_plot\", " +
                      "\"title\": \"wes-suite: " + f.name + ", " + read_name + "\", \"xlab\": \"Cycle\", " +
                      "\"ylab\": \"" + f.ylab + "\", \"xmin\": 1, " + f.axis + "},\n  \"data\": {";
    int last = last_cycle_with_bases(r, m);
    if (last == 0) return out + "}\n}\n";  // a read without bases: no line at all (MultiQC says so)
    out += "\n    " + json_string(sample) + ": {";
    bool first = true;
    for (int c = 1; c <= last; ++c) {
        double v = f.value(r, row_of(m, c));
        if (std::isnan(v)) continue;  // no bases at this cycle: no point
        out += first ? "" : ", ";
        first = false;
        out += "\"" + std::to_string(c) + "\": ";
        svg::append_number(out, v, 2);
    }
    out += "}\n  }\n}\n";
    return out;
}

}  // namespace

std::vector<OutputFile> multiqc_files(const QcReports& r, const std::string& sample) {
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
    files.push_back({"_mqc.json", general_stats(r, sample)});
    for (const Figure& f : figures)
        for (Mate m : {Mate::read1, Mate::read2})
            files.push_back({std::string("_") + f.key + (m == Mate::read1 ? "_r1" : "_r2") + "_mqc.json",
                             line_graph(r, sample, f, m)});
    return files;
}

}  // namespace wes::qc

// qc_report out [sample]: reads the reports that read_qc_stat wrote for out
// (out.quality, out.GC_content, out.totstat, and out.read_stats where it is there) and
// writes beside them a QC page a person can look at, out.html, and the MultiQC
// custom-content files out_*_mqc.json.
#include <cstdio>
#include <string>
#include <vector>

#include "diagnostics.hpp"
#include "multiqc_files.hpp"
#include "out_file.hpp"
#include "qc_page.hpp"
#include "read_stats_reader.hpp"
#include "report_reader.hpp"
#include "program.hpp"

namespace {

constexpr const char* k_usage =
    "Usage:\n\t%s\tout\t[sample]\n"
    "\t1> the output name given to read_qc_stat: out.quality, out.GC_content, out.totstat and out.read_stats are read\n"
    "\t2> the sample name on the page and in the MultiQC files (default: the last part of out)\n"
    "\twrites out.html and the MultiQC files out_mqc.json and out_*_mqc.json\n";

wes::qc::QcReports reports;  // a few tens of KiB: kept off the stack
wes::qc::ReadStatsReport stats;

int qc_report(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        wes::print_usage(argv[0], k_usage);
        return wes::exit_failure;
    }
    const std::string out = argv[1];
    if (std::string fault = wes::qc::output_name_fault(out); !fault.empty()) {
        wes::say("Error: %s\n", fault.c_str());
        return wes::exit_failure;
    }
    const std::string sample = argc == 3 ? argv[2] : out.substr(out.find_last_of('/') + 1);
    if (sample.empty()) {
        wes::say("Error: the sample name is empty\n");
        return wes::exit_failure;
    }

    std::string error;
    if (!wes::qc::load_reports(out, reports, error)) {
        wes::say("%s\n", error.c_str());
        return wes::exit_failure;
    }
    // A run of an older read_qc_stat has no out.read_stats: the page says so.
    if (!wes::qc::load_read_stats(out + wes::qc::k_read_stats_suffix, stats, error) ||
        !wes::qc::same_run(stats, out + wes::qc::k_read_stats_suffix, reports.totals, out + wes::qc::k_report_suffixes[2],
                           error)) {
        wes::say("%s\n", error.c_str());
        return wes::exit_failure;
    }
    std::vector<wes::qc::OutputFile> files = wes::qc::multiqc_files(reports, stats, sample);
    files.insert(files.begin(), {".html", wes::qc::qc_page(reports, stats, sample, out)});
    std::vector<std::string> inputs;
    for (const char* suffix : wes::qc::k_report_suffixes) inputs.push_back(out + suffix);
    inputs.push_back(out + wes::qc::k_read_stats_suffix);
    for (const wes::qc::OutputFile& f : files) {
        if (wes::is_also_an_input(out + f.suffix, inputs)) {
            wes::report_output_is_input(out + f.suffix);
            return wes::exit_failure;
        }
    }
    for (const wes::qc::OutputFile& f : files)
        if (!wes::write_whole_file(out + f.suffix, f.text)) return wes::exit_failure;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return wes::run_main(argc, argv, {"qc_report", k_usage, wes::exit_failure}, qc_report);
}

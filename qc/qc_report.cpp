// qc_report out [sample]: reads the reports that read_qc_stat wrote for out
// (out.quality, out.GC_content, out.totstat) and writes beside them a QC page a person
// can look at, out.html, and the MultiQC custom-content files out_*_mqc.json.
#include <cstdio>
#include <string>

#include "diagnostics.hpp"
#include "multiqc_files.hpp"
#include "out_file.hpp"
#include "qc_page.hpp"
#include "report_files.hpp"
#include "program.hpp"

namespace {

constexpr const char* k_usage =
    "Usage:\n\t%s\tout\t[sample]\n"
    "\t1> the output name given to read_qc_stat: out.quality, out.GC_content and out.totstat are read\n"
    "\t2> the sample name on the page and in the MultiQC files (default: the last part of out)\n"
    "\twrites out.html and the MultiQC files out_mqc.json and out_*_mqc.json\n";

wes::qc::QcReports reports;  // a few tens of KiB: kept off the stack

int qc_report(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        wes::print_usage(argv[0], k_usage);
        return wes::exit_failure;
    }
    const std::string out = argv[1];
    std::string sample;
    if (argc == 3) {
        sample = argv[2];
    } else {
        std::string trimmed = out;
        while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
        sample = trimmed.substr(trimmed.find_last_of('/') + 1);
    }
    if (out.empty() || sample.empty()) {
        wes::say("Error: %s\n", out.empty() ? "the output name is empty" : "the sample name is empty");
        return wes::exit_failure;
    }

    std::string error;
    if (!wes::qc::load_reports(out, reports, error)) {
        wes::say("%s\n", error.c_str());
        return wes::exit_failure;
    }
    if (!wes::write_whole_file(out + ".html", wes::qc::qc_page(reports, sample, out))) return wes::exit_failure;
    for (const wes::qc::MultiqcFile& f : wes::qc::multiqc_files(reports, sample))
        if (!wes::write_whole_file(out + f.suffix, f.text)) return wes::exit_failure;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return wes::run_main(argc, argv, {"qc_report", k_usage, wes::exit_failure}, qc_report);
}

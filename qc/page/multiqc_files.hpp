// MultiQC custom-content files of one sample. MultiQC picks up every file named
// *_mqc.json; files of different samples with the same "id" merge into one table or plot.
// Together they make one section of the MultiQC report (parent "wes_qc") with the
// general-statistics columns, a per-cycle plot per figure and read, and from
// out.read_stats the read lengths and adapter content of each read and the duplication
// levels (files without data where out.read_stats was not there).
#pragma once

#include <string>
#include <vector>

#include "read_stats_reader.hpp"
#include "report_reader.hpp"

namespace wes::qc {

// A file that qc_report writes.
struct OutputFile {
    std::string suffix;  // appended to the output name: ".html", "_mqc.json", "_mean_quality_r1_mqc.json", ...
    std::string text;
};

std::vector<OutputFile> multiqc_files(const QcReports& reports, const ReadStatsReport& stats, const std::string& sample);

}  // namespace wes::qc

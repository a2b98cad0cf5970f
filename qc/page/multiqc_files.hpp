// MultiQC custom-content files of one sample. MultiQC picks up every file named
// *_mqc.json; files of different samples with the same "id" merge into one table or plot.
// Together they make one section of the MultiQC report (parent "wes_qc") with the
// general-statistics columns and a per-cycle plot per figure and read.
#pragma once

#include <string>
#include <vector>

#include "report_reader.hpp"

namespace wes::qc {

// A file that qc_report writes.
struct OutputFile {
    std::string suffix;  // appended to the output name: ".html", "_mqc.json", "_mean_quality_r1_mqc.json", ...
    std::string text;
};

std::vector<OutputFile> multiqc_files(const QcReports& reports, const std::string& sample);

}  // namespace wes::qc

// Reads the three reports of read_qc_stat back: OUT.quality, OUT.GC_content and
// OUT.totstat (report_format.hpp), each checked line by line (header, 320 cycle rows or
// 11 keys, numbers in range) before anything is drawn from it.
#pragma once

#include <array>
#include <string>

#include "report_format.hpp"

namespace wes::qc {

// One cycle's shares of each score (or base). A cycle without bases holds NaN throughout.
using ScoreShares = std::array<double, k_scores>;
using BaseShares = std::array<double, k_bases>;

struct QcReports {
    std::array<ScoreShares, k_rows> quality;   // row r: report row r + 1
    std::array<BaseShares, k_rows> composition;
    RunTotals totals;
};

// Reads out.quality, out.GC_content and out.totstat into reports. False when a file
// cannot be read or is not such a report; error is then the one-line message, naming
// the file and, for a malformed report, the line.
bool load_reports(const std::string& out, QcReports& reports, std::string& error);

}  // namespace wes::qc

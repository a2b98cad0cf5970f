// The QC page of one sample: a single self-contained HTML5 file (inline CSS and SVG, no
// script, nothing loaded from elsewhere): a mark per module at the top, the run's summary
// and provenance, the per-cycle plots and, where out.read_stats was there, the per-read ones.
#pragma once

#include <string>

#include "grouped.hpp"
#include "read_stats_reader.hpp"
#include "report_reader.hpp"

namespace wes::qc {

// source names the reports the page was drawn from (shown on the page as it is given).
std::string qc_page(const QcReports& reports, const ReadStatsReport& stats, const std::string& sample,
                    const std::string& source);

// A count with thousands separators: 1234567 is "1,234,567".

}  // namespace wes::qc

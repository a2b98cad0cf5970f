// The QC page of one sample: a single self-contained HTML5 file (inline CSS and SVG, no
// script, nothing loaded from elsewhere) with the run's summary and its per-cycle plots.
#pragma once

#include <string>

#include "report_reader.hpp"

namespace wes::qc {

// source names the reports the page was drawn from (shown on the page as it is given).
std::string qc_page(const QcReports& reports, const std::string& sample, const std::string& source);

// A count with thousands separators: 1234567 is "1,234,567".
std::string grouped(std::uint64_t n);

}  // namespace wes::qc

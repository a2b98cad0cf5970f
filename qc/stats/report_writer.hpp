// Writes the three reports of read_qc_stat from the counters record: out.quality,
// out.GC_content and out.totstat (report_format.hpp).
#pragma once

#include <cstdint>
#include <string>

#include "counters.hpp"
#include "report_format.hpp"

namespace wes::qc {

// The run totals of res with exact counts, the read lengths (the cycles of each mate
// with bases), and the fractions as single-precision quotients.
RunTotals summarize(const Counters& res);

// "\t%.4f" of num / den in single precision, "\t-nan" when den is 0; appended to out.
void append_ratio(std::string& out, std::int64_t num, std::int64_t den);

// The texts of the three reports.
std::string quality_report(const Counters& res);
std::string gc_report(const Counters& res);
std::string summary_report(const RunTotals& t);

// Writes out.quality, out.GC_content and out.totstat, in this order, each closed
// before the next is opened. On a failed open, write or close prints one message line
// naming the file and returns false; the reports after it are not written.
bool write_reports(const Counters& res, const std::string& out);

}  // namespace wes::qc

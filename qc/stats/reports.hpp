// The three reports of read_qc_stat: out.quality, out.GC_content and out.totstat.
#pragma once

#include <cstdint>
#include <string>

#include "counters.hpp"

namespace wes::qc {

// Run totals, exact counts of bases.
struct Summary {
    std::int32_t read1_len = 0;
    std::int32_t read2_len = 0;
    std::int64_t pair_number = 0;
    std::uint64_t read1base_number = 0;
    std::uint64_t read2base_number = 0;
    std::uint64_t base_number = 0;
    std::uint64_t GC_number = 0;
    std::uint64_t Q_tot = 0;
    std::uint64_t Q_20_number = 0;
    std::uint64_t Q_30_number = 0;
};

// The run totals and the read lengths (the cycles of each mate with bases) of res.
Summary summarize(const Counters& res);

// "\t%.4f" of num / den in single precision, "\t-nan" when den is 0; appended to out.
void append_ratio(std::string& out, std::int64_t num, std::int64_t den);

// The texts of the three reports.
std::string quality_report(const Counters& res);
std::string gc_report(const Counters& res);
std::string summary_report(const Summary& s);

// Writes out.quality, out.GC_content and out.totstat, in this order, each closed
// before the next is opened. On a failed open, write or close prints one message line
// naming the file and returns false; the reports after it are not written.
bool write_reports(const Counters& res, const std::string& out);

}  // namespace wes::qc

// The three reports of read_qc_stat read back: OUT.quality, OUT.GC_content and
// OUT.totstat, each checked line by line (header, 320 cycle rows or 11 keys, numbers in
// range) before anything is drawn from it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace wes::qc {

constexpr int k_report_cycles = 160;                 // cycles per mate: rows 1-160 read 1, 161-320 read 2
constexpr int k_report_rows = 2 * k_report_cycles;
constexpr int k_report_scores = 41;                  // scores 0-39, then 40 and above
constexpr int k_report_bases = 5;                    // A, T, C, G, N

// One cycle's shares of each score (or base). A cycle without bases holds NaN throughout.
using ScoreShares = std::array<double, k_report_scores>;
using BaseShares = std::array<double, k_report_bases>;

// The summary's eleven values. The three fractions are NaN when the run counted no base.
struct RunTotals {
    std::uint64_t read1_len = 0, read2_len = 0, pair_number = 0;
    std::uint64_t read1base_number = 0, read2base_number = 0, base_number = 0, GC_number = 0;
    double GC_content = 0, Q_20 = 0, Q_30 = 0;
    std::uint64_t Q_tot = 0;
};

struct QcReports {
    std::array<ScoreShares, k_report_rows> quality;   // row r: report row r + 1
    std::array<BaseShares, k_report_rows> composition;
    RunTotals totals;
};

// Reads out.quality, out.GC_content and out.totstat into reports. False when a file
// cannot be read or is not such a report; error is then the one-line message, naming
// the file and, for a malformed report, the line.
bool load_reports(const std::string& out, QcReports& reports, std::string& error);

bool load_quality(const std::string& path, QcReports& reports, std::string& error);
bool load_composition(const std::string& path, QcReports& reports, std::string& error);
bool load_totals(const std::string& path, RunTotals& totals, std::string& error);

}  // namespace wes::qc

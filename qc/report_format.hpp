// The three reports that read_qc_stat writes and qc_report reads back, named after the
// output name out: out.quality, out.GC_content and out.totstat. One layout for both.
//
//   out.quality     "MQ\t0\t1 ... \t40", then 320 cycle rows: the label (1-320) and the
//                   share of each score 0-39, then of 40 and above ("%.4f"; "-nan" for a
//                   cycle without bases)
//   out.GC_content  "GC\tA\tT\tC\tG\tN", then 320 cycle rows: the label and the share of
//                   each base
//   out.totstat     eleven "key\tvalue" lines, the keys of k_summary_keys in order
//
// Rows 1-160 are cycles 1-160 of read 1, rows 161-320 those of read 2.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace wes::qc {

constexpr int k_cycles = 160;          // cycles per mate
constexpr int k_rows = 2 * k_cycles;   // read-1 rows, then read-2 rows
constexpr int k_scores = 41;           // score columns: 0-39, then 40 and above
constexpr int k_top_score = k_scores - 1;
constexpr int k_bases = 5;             // A, T, C, G, N

inline constexpr std::array<const char*, 3> k_report_suffixes = {".quality", ".GC_content", ".totstat"};

// The header lines, without their newlines.
inline std::string quality_header() {
    std::string h = "MQ";
    for (int k = 0; k < k_scores; ++k) h += "\t" + std::to_string(k);
    return h;
}
inline constexpr std::string_view k_composition_header = "GC\tA\tT\tC\tG\tN";

// The summary's values: exact counts, and three fractions that are NaN for a run
// without bases.
struct RunTotals {
    std::uint64_t read1_len = 0, read2_len = 0, pair_number = 0;
    std::uint64_t read1base_number = 0, read2base_number = 0, base_number = 0, GC_number = 0;
    double GC_content = 0, Q_20 = 0, Q_30 = 0;
    std::uint64_t Q_tot = 0;
};

// A line of the summary: its key and the value it holds, a count or a fraction ("%f").
struct SummaryKey {
    const char* name;
    std::uint64_t RunTotals::*count;  // null for a fraction
    double RunTotals::*fraction;
};
inline constexpr std::array<SummaryKey, 11> k_summary_keys = {{
    {"read1_len", &RunTotals::read1_len, nullptr},
    {"read2_len", &RunTotals::read2_len, nullptr},
    {"pair_number", &RunTotals::pair_number, nullptr},
    {"read1base_number", &RunTotals::read1base_number, nullptr},
    {"read2base_number", &RunTotals::read2base_number, nullptr},
    {"base_number", &RunTotals::base_number, nullptr},
    {"GC_number", &RunTotals::GC_number, nullptr},
    {"GC_content", nullptr, &RunTotals::GC_content},
    {"Q_20", nullptr, &RunTotals::Q_20},
    {"Q_30", nullptr, &RunTotals::Q_30},
    {"Q_tot", &RunTotals::Q_tot, nullptr},
}};

// Why out cannot name the reports, or "" when it can: an empty name, or one that names
// a folder ("dir/", ".", ".."), would give hidden files such as "dir/.quality".
inline std::string output_name_fault(std::string_view out) {
    if (out.empty()) return "the output name is empty";
    std::string_view last = out.substr(out.find_last_of('/') + 1);
    if (last.empty() || last == "." || last == "..")
        return "the output name " + std::string(out) + " names a folder, not a file";
    return "";
}

}  // namespace wes::qc

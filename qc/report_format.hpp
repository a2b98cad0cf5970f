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
//
// Beside them, out.read_stats holds the per-read figures (lengths, mean scores, GC
// shares, adapters, duplication, overrepresented sequences) and where they came from:
// one tab-separated line per figure, tagged by its first field (the k_tag_* below); the
// first line is k_read_stats_first_line; "#" lines name the columns and are skipped.
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

// The per-read report, out.read_stats.
inline constexpr const char* k_read_stats_suffix = ".read_stats";
inline constexpr std::string_view k_read_stats_first_line = "# read_stats format 1";

// Bounds of its tables. Read lengths are counted exactly up to k_length_bound, longer
// reads together (their LEN row is ">1000"); adapters likewise by the cycle they start at.
constexpr std::uint64_t k_length_bound = 1000;
inline constexpr std::string_view k_longer_reads = ">1000";
constexpr int k_top_mean_score = 93;   // a read's mean Phred score: 0-93 ('!' to '~')
constexpr int k_gc_percents = 101;     // a read's GC share: 0-100%
constexpr int k_dup_levels = 10;       // copies of a sequence: 1-9, then 10 and more
// The duplication of a run is estimated from the distinct sequences of its first
// k_tracked_pairs read pairs (the first k_prefix bases of read 1 and of read 2); every
// later pair is counted against them.
constexpr std::uint64_t k_tracked_pairs = 100000;
constexpr std::size_t k_prefix = 50;
// A tracked sequence seen at least twice and in more than one read pair in
// k_overrepresented_per is overrepresented.
constexpr std::uint64_t k_overrepresented_per = 1000;

// The adapters looked for: a read holds one where the first 12 bases of its sequence
// occur in the read (upper or lower case); it counts from the cycle where the first
// such occurrence of any of them starts.
struct Adapter {
    const char* name;
    const char* start;  // the adapter's first 12 bases
};
constexpr std::size_t k_adapter_bases = 12;
inline constexpr std::array<Adapter, 3> k_adapters = {{
    {"Illumina universal", "AGATCGGAAGAG"},
    {"Nextera", "CTGTCTCTTATA"},
    {"small RNA", "TGGAATTCTCGG"},
}};

// The line tags of out.read_stats, in the order the lines come.
inline constexpr const char* k_tag_version = "VERSION";  // the suite's version that wrote it
inline constexpr const char* k_tag_date = "DATE";        // when read_qc_stat ran (UTC)
inline constexpr const char* k_tag_input = "INPUT";      // pair, mate, bytes, modified (UTC), path
inline constexpr const char* k_tag_number = "SN";        // key, value (k_read_numbers)
inline constexpr const char* k_tag_length = "LEN";       // mate, length, reads
inline constexpr const char* k_tag_quality = "QUAL";     // mate, mean score, reads
inline constexpr const char* k_tag_gc = "GC";            // mate, GC percent, reads
inline constexpr const char* k_tag_adapter = "ADAPTER";  // mate, cycle, reads per adapter
inline constexpr const char* k_tag_dup = "DUP";          // copies, sequences, pairs, estimated share
inline constexpr const char* k_tag_over = "OVER";        // pairs, share, read 1, read 2, adapters

// The SN lines: exact counts, and the estimated duplicate share ("%f", "-nan" without pairs).
struct ReadNumbers {
    std::uint64_t read_pairs = 0;
    std::array<std::uint64_t, 2> bases{}, min_length{}, max_length{}, adapter_reads{};
    std::uint64_t tracked_pair_limit = k_tracked_pairs, tracked_sequences = 0, tracked_pairs = 0;
    double duplicate_share = 0;
};
struct NumberKey {
    const char* name;
    std::uint64_t ReadNumbers::*count;                 // a count of the run
    std::array<std::uint64_t, 2> ReadNumbers::*mates;  // or of a mate (mate says which)
    int mate;
};
inline constexpr std::array<NumberKey, 12> k_read_numbers = {{
    {"read_pairs", &ReadNumbers::read_pairs, nullptr, 0},
    {"bases_1", nullptr, &ReadNumbers::bases, 0},
    {"bases_2", nullptr, &ReadNumbers::bases, 1},
    {"min_length_1", nullptr, &ReadNumbers::min_length, 0},
    {"min_length_2", nullptr, &ReadNumbers::min_length, 1},
    {"max_length_1", nullptr, &ReadNumbers::max_length, 0},
    {"max_length_2", nullptr, &ReadNumbers::max_length, 1},
    {"adapter_reads_1", nullptr, &ReadNumbers::adapter_reads, 0},
    {"adapter_reads_2", nullptr, &ReadNumbers::adapter_reads, 1},
    {"tracked_pair_limit", &ReadNumbers::tracked_pair_limit, nullptr, 0},
    {"tracked_sequences", &ReadNumbers::tracked_sequences, nullptr, 0},
    {"tracked_pairs", &ReadNumbers::tracked_pairs, nullptr, 0},
}};
inline constexpr const char* k_duplicate_share_key = "duplicate_share";  // the last SN line

// A field of out.read_stats that may hold any byte (a path, a read): backslash, tab,
// newline and carriage return are written as \\, \t, \n and \r.
inline std::string escape_field(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default: out += c;
        }
    }
    return out;
}

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

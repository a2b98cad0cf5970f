// Reads out.read_stats back (report_format.hpp), checked line by line: the first line,
// the tags in their order, each line's fields, and that the tables agree with the
// numbers (lengths add up to the read pairs, cycles run from 1 without gaps, cumulative
// counts never fall). A run of an older read_qc_stat has no such file: that is no error.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "report_format.hpp"

namespace wes::qc {

struct InputRecord {
    std::uint64_t pair = 0, mate = 0;
    std::string path;
    bool known = false;  // size and modified were taken
    std::uint64_t size = 0;
    std::string modified;
};

struct MateTables {
    // (length, reads) in rising order; length k_length_bound + 1 stands for the longer reads.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> lengths;
    std::array<std::uint64_t, k_top_mean_score + 1> mean_quality{};
    std::array<std::uint64_t, k_gc_percents> gc{};
    // Per cycle from 1: reads whose first adapter, each of k_adapters, starts at or before it.
    std::vector<std::array<std::uint64_t, k_adapters.size()>> adapters;
};

struct DupRow {
    std::uint64_t sequences = 0, pairs = 0;
    double share = 0;  // estimated share of all read pairs; NaN without pairs
};

struct OverRow {
    std::uint64_t pairs = 0;
    double share = 0;
    std::string read1, read2;      // their first bases
    std::string adapter1, adapter2;  // an adapter's name, or "-"
};

struct ReadStatsReport {
    bool present = false;  // false: no out.read_stats (an older run); nothing below is set
    std::string version, date;
    std::vector<InputRecord> inputs;
    ReadNumbers numbers;
    std::uint64_t read_pairs_line = 0;  // where read_pairs is
    std::array<MateTables, 2> mates;
    std::array<DupRow, k_dup_levels> dup;
    std::vector<OverRow> over;
};

// Reads path into r. True when it is read whole, or when there is no such file
// (r.present false); false with error set to the one-line message otherwise.
bool load_read_stats(const std::string& path, ReadStatsReport& r, std::string& error);

// Whether r (read from path) and the summary t (from totstat) count the same reads, as
// reports of one run do; error says where they part otherwise.
bool same_run(const ReadStatsReport& r, const std::string& path, const RunTotals& t, const std::string& totstat,
              std::string& error);

}  // namespace wes::qc

// Where a run's figures came from: the input files as they were when read_qc_stat ran
// (name, size, modification time), the suite's version and the date of the run.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace wes::qc {

struct InputFile {
    int pair = 0, mate = 0;     // from 1
    std::string path;           // as given ("-" is standard input)
    bool known = false;         // a regular file whose size and time were taken
    std::uint64_t size = 0;     // bytes
    std::string modified;       // utc_time of its modification
};

struct Provenance {
    std::string version;  // "wes-suite <version>"
    std::string date;     // utc_time of the run's start
    std::vector<InputFile> inputs;
};

// Time t as "YYYY-MM-DDTHH:MM:SSZ" (UTC).
std::string utc_time(std::time_t t);

// The provenance of a run over fastqs (read 1, read 2 of each pair in turn), taken now.
Provenance take_provenance(const std::vector<std::string>& fastqs);

}  // namespace wes::qc

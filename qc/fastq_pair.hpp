// Reading one pair of FASTQ files (read 1 and read 2) into the counters record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "counters.hpp"
#include "line_reader.hpp"
#include "read_walk.hpp"

namespace wes::qc {

// Four-line FASTQ records from one file, plain or gzip. The header and separator lines
// are never examined. The sequence line is kept as a copy so that it outlives the
// reading of the two lines after it.
class RecordReader {
public:
    enum class Status { record, eof, partial, error };

    bool open(const std::string& path) { return lines_.open(path); }
    // The next whole record; eof when the file ended before it began, partial when it
    // ended inside it, error when the file could not be read on.
    Status next();

    ReadLines read() const { return ReadLines{seq_, qual_, qual_newline_}; }
    const std::string& path() const { return lines_.path(); }
    const std::string& error() const { return lines_.error(); }

private:
    LineReader lines_;
    std::string seq_;
    std::string_view qual_;
    bool qual_newline_ = true;
};

enum class ReadMode {
    automatic,   // both files at once, one thread each, when both are regular files
    sequential,  // one record pair after the other in this thread
};

// What became of one pair.
struct PairResult {
    enum class Status {
        complete,       // every record counted
        open_failed,    // nothing read; message is "File open error!"
        incomplete,     // uneven or unreadable files: the complete record pairs counted
        quality_error,  // the run ends without reports; message is the error text
    };
    Status status = Status::complete;
    std::uint64_t pairs = 0;  // record pairs counted
    std::string message;      // the text to print on standard output, newline included
};

// `stat`: adds the pair's counts to res. Only complete record pairs are counted; after
// a quality error, res holds partial counts and must not be reported.
PairResult stat(const std::string& fq_1, const std::string& fq_2, Counters& res,
                ReadMode mode = ReadMode::automatic);

}  // namespace wes::qc

// Reading one pair of FASTQ files (read 1 and read 2) into the counters record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "counters.hpp"
#include "line_reader.hpp"
#include "progress.hpp"
#include "read_walk.hpp"

namespace wes::qc {

// Four-line FASTQ records from one file, plain or gzip. Of the header and separator
// lines only the first byte is looked at ('@', '+'). The sequence line is kept as a
// copy so that it outlives the reading of the two lines after it.
class RecordReader {
public:
    enum class Status {
        record,     // a whole record
        eof,        // the file ended before a record began (empty lines at its end included)
        partial,    // the file ended inside a record
        malformed,  // a line that breaks the four-line framing (bad_line() says which and how)
        error,      // the file could not be read on (error() says why)
    };

    bool open(const std::string& path, LineReader::Inflate mode = LineReader::Inflate::ahead_when_it_pays) {
        return lines_.open(path, mode);
    }
    Status next();

    ReadLines read() const { return ReadLines{seq_, qual_, qual_newline_}; }
    const std::string& path() const { return lines_.path(); }
    const std::string& error() const { return lines_.error(); }
    std::string failure_message() const { return lines_.failure_message(); }
    // The line that broke the framing and what is wrong with it.
    std::uint64_t bad_line() const { return bad_line_; }
    const char* bad_what() const { return bad_what_; }
    // Whether the records read so far are the file's own (a compressed file's checksum
    // vouches for them); no record is read after it.
    bool verify_so_far() { return lines_.verify_so_far(); }
    const LineReader& lines() const { return lines_; }

private:
    LineReader lines_;
    std::string seq_;
    std::string_view qual_;
    bool qual_newline_ = true;
    std::uint64_t bad_line_ = 0;
    const char* bad_what_ = "";
    Status malformed(const char* what) {
        bad_line_ = lines_.line_number();
        bad_what_ = what;
        return Status::malformed;
    }
};

// What became of one pair.
struct PairResult {
    enum class Status {
        complete,       // every record counted
        open_failed,    // nothing read; message is "File open error!"
        incomplete,     // uneven, malformed or unreadable files: the complete record pairs counted
        quality_error,  // the run ends without reports; message is the error text
    };
    Status status = Status::complete;
    std::uint64_t pairs = 0;  // record pairs counted
    std::string message;      // the text to print on standard output, newline included
};

// `stat`: adds the pair's counts to res, record pair by record pair. Only complete
// record pairs are counted; after a quality error, res holds partial counts and must
// not be reported. A compressed file is inflated on a thread of its own where the
// machine has the CPUs for it. progress, when given, counts the record pairs and is
// measured by the bytes of both files.
PairResult stat(const std::string& fq_1, const std::string& fq_2, Counters& res,
                LineReader::Inflate mode = LineReader::Inflate::ahead_when_it_pays, Progress* progress = nullptr);

}  // namespace wes::qc

// What the readers of read_qc_stat's reports share: a small report read line by line
// with its lines numbered, the checks of a field, and the wording of what is wrong
// ("Error: <file> line <n>: <what>").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "line_reader.hpp"

namespace wes::qc {

class ReportReader {
public:
    bool open(const std::string& path, std::string& error);
    // False at the end of the file or on a read error (failed() tells them apart). A CR
    // before the newline is not part of the line.
    bool next(std::string_view& line);
    bool failed() const { return failed_; }
    std::uint64_t line_no() const { return reader_.line_number(); }
    const std::string& path() const { return reader_.path(); }
    // False with error set: a read error, or what is wrong with the current line (or
    // with line `line`).
    bool read_error(std::string& error) const;
    bool bad_line(std::string& error, const std::string& what) const { return bad_line(error, line_no(), what); }
    bool bad_line(std::string& error, std::uint64_t line, const std::string& what) const;

private:
    LineReader reader_;
    bool failed_ = false;
};

std::vector<std::string_view> split_tabs(std::string_view line);
// "-nan" or "nan": the reports' NaN.
bool is_nan_text(std::string_view s);
// A decimal number written whole (no sign other than a leading minus, no blanks).
bool parse_number(std::string_view s, double& v);
// A count: decimal digits only.
bool parse_count(std::string_view s, std::uint64_t& v);
// The text in quotes, cut after 40 bytes, for a message.
std::string quoted(std::string_view s);

}  // namespace wes::qc

// Whole lines of any length from a byte source: big buffer reads, memchr for line ends.
// A line is handed out as a view into the reader's buffer, valid until the next call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "byte_source.hpp"

namespace wes {

class LineReader {
public:
    enum class Status { line, eof, error };

    LineReader() = default;
    explicit LineReader(std::unique_ptr<ByteSource> src, std::string name = "-");

    // Opens a plain or compressed file. False when it cannot be opened (error() says why).
    bool open(const std::string& path);

    // The next line without its newline; had_newline tells whether one ended it
    // (only the last line of a file can lack it).
    Status next(std::string_view& line, bool& had_newline);
    Status next(std::string_view& line) {
        bool nl;
        return next(line, nl);
    }

    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }
    // Number of lines handed out so far (the current line's number).
    std::uint64_t line_number() const { return line_no_; }

private:
    bool fill();

    std::unique_ptr<ByteSource> src_;
    std::string path_;
    std::string error_;
    std::vector<char> buf_;
    std::size_t pos_ = 0, end_ = 0;
    std::uint64_t line_no_ = 0;
    bool eof_ = false, failed_ = false;
};

}  // namespace wes

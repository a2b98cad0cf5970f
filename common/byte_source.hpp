// Byte sources: the bottom layer of every reader. A source hands out the bytes of one
// file, already inflated when the file is gzip or bgzip compressed (told by its magic
// bytes, never by its name). Read errors, a regular file that ends before the size it
// had when it was opened, and corrupt or truncated compressed data are reported as
// errors, never as an end of file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace wes {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Fills up to n bytes into buf. Returns the count, 0 at the end of the data, or
    // -1 on a failure; error() then tells what went wrong. A failure is final.
    virtual std::ptrdiff_t read(char* buf, std::size_t n) = 0;
    // For compressed data: reads on to the end of the gzip member being inflated and
    // checks it. False (error() says why) when the member is corrupt or cut short.
    virtual bool finish_member() { return true; }
    virtual bool compressed() const { return false; }

    const std::string& error() const { return error_; }
    // Bytes taken from the file itself (compressed bytes for a compressed file) and the
    // file's size when it was opened (0 when it has none, as a pipe).
    virtual std::uint64_t file_bytes_read() const { return 0; }
    virtual std::uint64_t file_size() const { return 0; }

protected:
    std::string error_;
};

// Opens path ("-" is standard input) and picks the plain or the compressed reader.
// Returns null when the file cannot be opened; err then holds the system's reason.
std::unique_ptr<ByteSource> open_byte_source(const std::string& path, std::string& err);

// The same readers over bytes held in memory (tests, fuzzing): compressed when data
// begins with the gzip magic.
std::unique_ptr<ByteSource> memory_byte_source(std::string data);

// Which inflater this build uses ("isa-l" or "zlib").
const char* inflater_name();

}  // namespace wes

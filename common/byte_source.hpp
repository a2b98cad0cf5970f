// Byte sources: the bottom layer of every reader. A source hands out the bytes of one
// file, already inflated when the file is gzip or bgzip compressed (told by its magic
// bytes, never by its name). Read errors and corrupt or truncated compressed data are
// reported as errors, never as an end of file.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace wes {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Fills up to n bytes into buf. Returns the count, 0 at the end of the data, or
    // -1 on a failure; error() then tells what went wrong.
    virtual std::ptrdiff_t read(char* buf, std::size_t n) = 0;
    const std::string& error() const { return error_; }
    // A regular, uncompressed file can hand out its whole content mapped into memory;
    // it is then not read. Other sources return false.
    virtual bool map_whole(const char*& data, std::size_t& size) {
        (void)data;
        (void)size;
        return false;
    }
    // A mapped source: bytes before offset are no longer needed.
    virtual void release_before(std::size_t offset) { (void)offset; }

protected:
    std::string error_;
};

// Opens path ("-" is standard input) and picks the plain or the compressed reader.
// Returns null when the file cannot be opened; err then holds the system's reason.
std::unique_ptr<ByteSource> open_byte_source(const std::string& path, std::string& err);

// Wraps a byte buffer that the caller keeps alive (tests, in-memory inputs).
std::unique_ptr<ByteSource> memory_byte_source(std::string data);

// Which inflater this build uses ("isa-l" or "zlib").
const char* inflater_name();

}  // namespace wes

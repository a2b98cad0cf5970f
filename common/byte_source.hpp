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

class GzipSource;

// The buffer that a source fills and its reader reads:
//
//   mem          mem + begin        mem + end          mem + size
//    | handed out   | unread           | free             |
//
// The bytes in [begin, end) are unread: the reader still needs them (the start of a
// line whose end has not come yet). The bytes before begin have been handed out and
// may be overwritten; [end, size) is free. To refill, the reader moves the unread bytes
// to the front and, when they fill the buffer, grows it; the source then adds bytes at
// end, or swaps in a buffer of its own that holds the same unread bytes just in front
// of new ones. Either way the unread bytes and the new ones are one run of bytes.
struct Buffer {
    Buffer() = default;
    ~Buffer();
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    void swap(Buffer& other) noexcept;

    std::size_t unread() const { return end - begin; }
    std::size_t room() const { return size - end; }
    // Moves the unread bytes to the front.
    void compact();
    // Grows the buffer to new_size bytes, keeping its bytes; false when memory cannot be
    // had.
    bool grow(std::size_t new_size);

    char* mem = nullptr;
    std::size_t size = 0, begin = 0, end = 0;
};

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // The next bytes of the file: added at b.end (b has free room), or b swapped for a
    // buffer holding b's unread bytes followed by the new ones. Returns the count of new
    // bytes, 0 at the end of the data, or -1 on a failure; error() then tells what went
    // wrong. A failure is final.
    virtual std::ptrdiff_t fill(Buffer& b) = 0;
    // Whether the bytes handed out so far are the file's own: compressed data is read on
    // to the end of the gzip member they end in, whose checksum vouches for them; plain
    // data has nothing to check. False (error() says why) when the data is corrupt or cut
    // short. Nothing more is to be read after it.
    virtual bool verify_so_far() { return true; }
    virtual bool compressed() const { return false; }
    // The source itself when it reads a BGZF file, whose blocks can be inflated apart and,
    // in a file that can be read anywhere, read from any block on (gzip_source.hpp); null
    // otherwise.
    virtual GzipSource* blocks() { return nullptr; }

    const std::string& error() const { return error_; }
    // Bytes taken from the file itself (compressed bytes for a compressed file) and the
    // file's size when it was opened (0 when it has none, as a pipe). Read while another
    // thread may be reading the file.
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

// Compressed data inflated on more than one thread, ahead of its reader, where the
// process may use more than one CPU and a thread can be had: a BGZF file on a small pool
// (its blocks are independent), other gzip data on a second thread a buffer ahead. The
// threads start only once the data has filled a first buffer, inflated in the reader's
// thread: a small file costs no thread. The bytes and errors are those of src; plain data
// is returned as it is.
std::unique_ptr<ByteSource> inflate_ahead(std::unique_ptr<ByteSource> src);

// The count of CPUs this process may run on (its affinity mask).
unsigned allowed_cpus();

}  // namespace wes

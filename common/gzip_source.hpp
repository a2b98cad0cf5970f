// The byte sources behind open_byte_source, seen from the readers that move about in a
// BGZF file (line_reader, jump_ahead): the file itself, its gzip members, a glance at the
// start of a block, and the pool that inflates blocks on more than one CPU.
//
// A BGZF file is gzip members of at most 64 KiB of data each (blocks), each telling its
// own size in the "BC" field of its header, so that a reader can start at any block: a
// place in the file is a virtual offset, the block's offset in the file (coffset) and an
// offset among its inflated bytes (uoffset).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "byte_source.hpp"
#include "inflate.hpp"

namespace wes {

// Compressed bytes are read, and inflated bytes handed out, 1 MiB at a time.
constexpr std::size_t k_buffer_size = 1 << 20;
// Room kept in front of bytes inflated ahead, for the reader's unread bytes.
constexpr std::size_t k_front = 64 << 10;
constexpr std::size_t k_header = 18;  // a BGZF block's gzip header

// The 28-byte empty block that ends every complete BGZF file.
extern const unsigned char k_bgzf_eof[28];

// The size in the file of the BGZF block whose first n bytes are p, or 0 when they begin
// no BGZF block.
std::size_t bgzf_block_size(const unsigned char* p, std::size_t n);

// Hands the bytes of spare (after its room in front) to the reader's buffer b: the unread
// bytes of b are copied in front of them and the buffers change hands, or, when they do
// not fit there, as many of spare's bytes as b has room for are copied after them.
// Returns the count of bytes handed over.
std::size_t hand_over(Buffer& spare, Buffer& b);

// The bytes of the file itself: a descriptor read with read(2), or bytes held in memory.
// A regular file must deliver at least the size it had when it was opened. The first
// bytes, read to tell compressed data from plain, are handed out first.
class FileSource final : public ByteSource {
public:
    explicit FileSource(int fd);
    explicit FileSource(std::string data);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    // Reads the first bytes (fewer when the data is shorter); false on a failure.
    bool sniff();
    bool gzip_magic() const { return head_len_ >= 2 && head_[0] == 0x1f && head_[1] == 0x8b; }
    bool bgzf_magic() const { return bgzf_block_size(head_, head_len_) != 0; }

    std::ptrdiff_t fill(Buffer& b) override { return fill(b, b.room()); }
    // At most most bytes.
    std::ptrdiff_t fill(Buffer& b, std::size_t most);
    // A compressed file is read on the inflaters' threads while the progress line asks
    // from the main one.
    std::uint64_t file_bytes_read() const override { return done_.load(std::memory_order_relaxed); }
    std::uint64_t file_size() const override { return size_; }

    // Whether reading can go on anywhere: a regular file, or bytes in memory.
    bool seekable() const { return seekable_; }
    // Reading goes on at offset; false on a failure (error() says why).
    bool seek(std::uint64_t offset);
    // Up to n bytes at offset, without moving; safe on any thread. -1 on a failure, why
    // then says what went wrong.
    std::ptrdiff_t read_at(std::uint64_t offset, char* buf, std::size_t n, std::string& why) const;

private:
    std::ptrdiff_t read(char* buf, std::size_t n);
    // Only one thread at a time reads on: a plain store, no read-modify-write.
    void count(std::uint64_t k) { done_.store(file_bytes_read() + k, std::memory_order_relaxed); }

    int fd_ = -1;
    std::string mem_;
    std::uint64_t size_ = 0;
    bool seekable_ = false;
    std::atomic<std::uint64_t> done_{0};
    unsigned char head_[k_header] = {};
    std::size_t head_len_ = 0, head_pos_ = 0;
};

// What the start of one BGZF block holds.
struct BlockGlance {
    std::uint64_t size = 0;     // the block's size in the file; 0 when no whole block begins there
    std::uint32_t data_size = 0;  // the size of its inflated bytes, as its trailer tells
    bool has_line = false;      // a line begins in the block, and its first two fields were read
    std::uint32_t line_at = 0;  // where it begins among the block's inflated bytes
    std::string_view line;      // the line, or at least its first two fields (valid until the next glance)
};

// Glances at the start of BGZF blocks: the first line that begins in a block, read by
// inflating only the block's first bytes.
class BlockGlancer {
public:
    explicit BlockGlancer(const FileSource& file) : file_(file), inflater_(false) {}
    // The block at coffset. False on a read failure (why says what went wrong).
    bool glance(std::uint64_t coffset, BlockGlance& g, std::string& why);
    // Only its sizes, from its header and trailer.
    bool measure(std::uint64_t coffset, BlockGlance& g, std::string& why);

private:
    const FileSource& file_;
    MemberInflater inflater_;
    std::string in_, out_;
};

// The blocks a reader will jump to, told ahead, so that a pool can inflate them first.
class BlockPlan {
public:
    virtual ~BlockPlan() = default;
    // The next block, in file order, at or past reader_at (where the reader is now);
    // false when no more are known.
    virtual bool next(std::uint64_t reader_at, std::uint64_t& coffset) = 0;
};

// Compressed data: one or more gzip members back to back. A file whose first member is a
// BGZF block must end with the BGZF end-of-file block: a BGZF file cut between two blocks
// is otherwise indistinguishable from a whole one. A BGZF file (every member so far a
// BGZF block) can be read from any block on, and its blocks inflated on a pool of threads.
class GzipSource final : public ByteSource {
public:
    GzipSource(std::unique_ptr<FileSource> raw, bool bgzf);
    ~GzipSource() override;

    bool compressed() const override { return true; }
    std::uint64_t file_bytes_read() const override { return raw_->file_bytes_read(); }
    std::uint64_t file_size() const override { return raw_->file_size(); }
    std::ptrdiff_t fill(Buffer& b) override;
    // The member the last bytes came from is read to its end, which checks its checksum.
    bool verify_so_far() override;
    GzipSource* blocks() override { return bgzf_ ? this : nullptr; }

    // A BGZF file read anywhere (blocks() is not null and file().seekable()):
    // The file offset of the first block that reading has not reached: the bytes of the
    // blocks before it are handed out, inflated, or being inflated.
    std::uint64_t read_to() const;
    // Reading goes on from the uoffset-th inflated byte of the block at coffset. False on
    // a failure (error() says why), which is final.
    bool seek(std::uint64_t coffset, std::uint32_t uoffset);
    // Reading ends here, when the file ends with its end-of-file block; false, and
    // nothing changes, when it does not.
    bool seek_end();
    const FileSource& file() const { return *raw_; }

    // Inflating on more than one CPU, where the process may use more than one: past the
    // first 1 MiB read in a row, the blocks that follow are inflated ahead on a small
    // pool, in order. A file whose reading jumps is read in this thread, unless a plan
    // tells the blocks it will jump to: those are inflated ahead instead.
    void allow_pool() { pool_allowed_ = true; }
    // A null plan stops the planning (it waits for a plan's step under way).
    void set_plan(std::unique_ptr<BlockPlan> plan);

private:
    struct Pool;
    struct Run;

    int fail(std::string why);
    bool read_more(std::size_t want);
    bool refill(std::size_t want = 1);
    int next_header(std::size_t& size);
    int next_member();
    int at_end();
    bool member_step(char* buf, std::size_t n, std::size_t& produced);
    std::ptrdiff_t fill_in_thread(Buffer& b);
    bool start_pool();
    void claim(Run& r);
    void put_back(std::uint64_t at, const std::vector<const Buffer*>& parts);
    void moved_to(std::uint64_t offset);
    bool continue_at(std::uint64_t offset);

    std::unique_ptr<FileSource> raw_;
    Buffer in_;              // compressed bytes; in_.mem[0] is the file's byte base_
    std::uint64_t base_ = 0;
    MemberInflater inflater_;
    bool bgzf_;              // every member so far a BGZF block
    bool first_is_bgzf_;
    bool eof_ = false, in_member_ = false, failed_ = false, last_is_bgzf_eof_ = false;
    std::uint64_t member_at_ = 0, member_size_ = 0;  // the member being inflated (size 0: not told)
    std::uint64_t skip_ = 0;  // inflated bytes still to drop after a seek
    std::uint64_t run_ = 0;   // bytes handed out since reading began or last moved
    bool exact_reads_ = false;  // since a seek: only the bytes of the block needed are read
    bool pool_allowed_ = false, pool_refused_ = false;
    std::unique_ptr<Pool> pool_;
};

}  // namespace wes

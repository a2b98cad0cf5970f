#include "gzip_source.hpp"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

#include "fields.hpp"

namespace wes {

const unsigned char k_bgzf_eof[28] = {0x1f, 0x8b, 0x08, 0x04, 0, 0, 0, 0, 0, 0xff, 0x06, 0, 0x42, 0x43,
                                      0x02, 0,    0x1b, 0,    0x03, 0, 0, 0, 0, 0, 0,    0,    0, 0};

namespace {

constexpr std::size_t k_max_block_data = 1 << 16;
// Since a seek, only the block needed is read from the file, until this much was read on.
constexpr std::uint64_t k_exact_run = 256 << 10;
constexpr const char* k_corrupt = "invalid compressed data (corrupt file)";

std::uint32_t le32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

}  // namespace

std::size_t bgzf_block_size(const unsigned char* p, std::size_t n) {
    if (n < k_header || p[0] != 0x1f || p[1] != 0x8b || p[2] != 8 || !(p[3] & 4) || p[10] != 6 || p[11] != 0 ||
        p[12] != 'B' || p[13] != 'C' || p[14] != 2 || p[15] != 0)
        return 0;
    const std::size_t size = (p[16] | std::size_t{p[17]} << 8) + 1;
    return size >= k_header + 8 ? size : 0;  // room for the header and the trailer
}

// ---- FileSource ----

FileSource::FileSource(int fd) : fd_(fd) {
    struct stat st;
    if (::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) {
        size_ = static_cast<std::uint64_t>(st.st_size);
        seekable_ = true;
    }
}

FileSource::FileSource(std::string data) : mem_(std::move(data)), size_(mem_.size()), seekable_(true) {}

FileSource::~FileSource() {
    if (fd_ > 0) ::close(fd_);
}

bool FileSource::sniff() {
    while (head_len_ < k_header) {
        const std::ptrdiff_t got = read(reinterpret_cast<char*>(head_) + head_len_, k_header - head_len_);
        if (got < 0) return false;
        if (got == 0) break;
        head_len_ += static_cast<std::size_t>(got);
    }
    return true;
}

std::ptrdiff_t FileSource::fill(Buffer& b, std::size_t most) {
    const std::size_t n = std::min(b.room(), most);
    std::ptrdiff_t got;
    if (head_pos_ < head_len_) {
        const std::size_t k = std::min(n, head_len_ - head_pos_);
        std::memcpy(b.mem + b.end, head_ + head_pos_, k);
        head_pos_ += k;
        got = static_cast<std::ptrdiff_t>(k);
    } else {
        got = read(b.mem + b.end, n);
    }
    if (got > 0) b.end += static_cast<std::size_t>(got);
    return got;
}

std::ptrdiff_t FileSource::read(char* buf, std::size_t n) {
    if (!error_.empty()) return -1;
    if (fd_ < 0) {
        const std::uint64_t at = std::min<std::uint64_t>(file_bytes_read(), mem_.size());
        const std::size_t k = static_cast<std::size_t>(std::min<std::uint64_t>(n, mem_.size() - at));
        std::memcpy(buf, mem_.data() + at, k);
        count(k);
        return static_cast<std::ptrdiff_t>(k);
    }
    for (;;) {
        const ssize_t got = ::read(fd_, buf, n);
        if (got > 0) {
            count(static_cast<std::uint64_t>(got));
            return got;
        }
        if (got == 0) {
            if (file_bytes_read() < size_) {
                error_ = "the file shrank while it was read";
                return -1;
            }
            return 0;
        }
        if (errno != EINTR) {
            error_ = std::strerror(errno);
            return -1;
        }
    }
}

bool FileSource::seek(std::uint64_t offset) {
    if (!error_.empty()) return false;
    if (fd_ >= 0 && ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
        error_ = std::strerror(errno);
        return false;
    }
    head_pos_ = head_len_;
    done_.store(offset, std::memory_order_relaxed);
    return true;
}

std::ptrdiff_t FileSource::read_at(std::uint64_t offset, char* buf, std::size_t n, std::string& why) const {
    if (fd_ < 0) {
        if (offset >= mem_.size()) return 0;
        const std::size_t k = static_cast<std::size_t>(std::min<std::uint64_t>(n, mem_.size() - offset));
        std::memcpy(buf, mem_.data() + offset, k);
        return static_cast<std::ptrdiff_t>(k);
    }
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd_, buf + done, n - done, static_cast<off_t>(offset + done));
        if (got > 0) {
            done += static_cast<std::size_t>(got);
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            why = std::strerror(errno);
            return -1;
        }
    }
    return static_cast<std::ptrdiff_t>(done);
}

// ---- BlockGlancer ----

bool BlockGlancer::measure(std::uint64_t coffset, BlockGlance& g, std::string& why) {
    g = BlockGlance{};
    unsigned char head[k_header], tail[4];
    const std::ptrdiff_t got = file_.read_at(coffset, reinterpret_cast<char*>(head), k_header, why);
    if (got < 0) return false;
    const std::size_t size = bgzf_block_size(head, static_cast<std::size_t>(got));
    if (size == 0) return true;
    const std::ptrdiff_t t = file_.read_at(coffset + size - 4, reinterpret_cast<char*>(tail), 4, why);
    if (t < 0) return false;
    if (t == 4) {
        g.size = size;
        g.data_size = le32(tail);
    }
    return true;
}

// Inflates the block's first bytes, more while no line has begun and shown its first two
// fields: 512 bytes hold the line that follows the block's first newline in all but
// files of long lines.
bool BlockGlancer::glance(std::uint64_t coffset, BlockGlance& g, std::string& why) {
    g = BlockGlance{};
    unsigned char head[k_header];
    const std::ptrdiff_t got = file_.read_at(coffset, reinterpret_cast<char*>(head), k_header, why);
    if (got < 0) return false;
    const std::size_t size = bgzf_block_size(head, static_cast<std::size_t>(got));
    if (size == 0) return true;
    in_.resize(size);
    const std::ptrdiff_t whole = file_.read_at(coffset, in_.data(), size, why);
    if (whole < 0) return false;
    if (static_cast<std::size_t>(whole) < size) return true;
    g.size = size;
    g.data_size = le32(reinterpret_cast<const unsigned char*>(in_.data()) + size - 4);
    out_.resize(k_max_block_data);
    inflater_.start();
    std::size_t in_at = 0, out_at = 0, want = 512;
    while (!inflater_.finished() && out_at < out_.size()) {
        std::size_t consumed = 0, produced = 0;
        if (!inflater_.step(in_.data() + in_at, size - in_at, out_.data() + out_at, std::min(want, out_.size()) - out_at,
                            consumed, produced))
            return true;  // corrupt: nothing to tell
        in_at += consumed;
        out_at += produced;
        const std::string_view text(out_.data(), out_at);
        const std::size_t nl = text.find('\n');
        if (nl != std::string_view::npos) {
            std::string_view line = text.substr(nl + 1);
            line = line.substr(0, line.find('\n'));
            // The first two fields, each followed by white space.
            const char* p = line.data();
            const char* e = p + line.size();
            int fields = 0;
            while (fields < 2) {
                while (p < e && is_space(*p)) ++p;
                while (p < e && !is_space(*p)) ++p;
                if (p == e) break;
                ++fields;
            }
            const bool whole = line.size() < text.size() - nl - 1;  // a newline ends it
            if (fields == 2 || whole) {
                g.has_line = fields == 2;
                g.line_at = static_cast<std::uint32_t>(nl + 1);
                g.line = line;
                return true;
            }
        }
        if (consumed == 0 && produced == 0) break;
        want *= 4;
    }
    return true;
}

// ---- The pool ----

// A run of blocks inflated ahead of the reader.
struct GzipSource::Run {
    std::uint64_t at = 0, end = 0;  // where its blocks lie in the file
    Buffer in, out;                 // their compressed bytes; their data, after k_front bytes of room
    bool done = false;
    // 1: its blocks are inflated; -1: one does not inflate as its header says (the run
    // goes back to the reader's thread); 0: it holds no block: reading goes on in the
    // reader's thread.
    int ends = 1;
};

// Runs of blocks inflated ahead of the reader, in file order, by a few threads, and by
// the reader itself while it would otherwise wait. Reading on (sequential), a run is the
// blocks after the last run claimed, taken from the source's compressed bytes, up to
// 1 MiB of data; the reader takes the runs in order. Jumping (planned), a run is the one
// block the plan names next; the reader takes a run when it comes to its block and drops
// the runs it has passed.
struct GzipSource::Pool {
    enum class Mode { off, sequential, planned };
    static constexpr std::uint64_t k_unknown = ~std::uint64_t{0};
    static constexpr std::ptrdiff_t k_not_here = -2;  // the reader reads on in its own thread
    static constexpr std::size_t k_planned_runs = 8;

    explicit Pool(GzipSource& s) : src(s), runs(k_planned_runs) {}
    ~Pool() {
        {
            std::lock_guard<std::mutex> lock(m);
            stopping = true;
        }
        cv_work.notify_all();
        for (std::thread& t : threads) t.join();
    }

    // Starts up to n threads; false when none can be had.
    bool start(unsigned n) {
        for (unsigned i = 0; i < n; ++i) {
            try {
                threads.emplace_back([this] { work(); });
            } catch (const std::system_error&) {
                break;  // as many as could be had
            }
        }
        return !threads.empty();
    }

    // Reading on, two runs more than threads: the bgzipped dense database in 0.84 s on two
    // CPUs, 1.00 s with one more than threads (1.28 s with a second thread a buffer ahead).
    std::size_t capacity() const { return mode == Mode::sequential ? threads.size() + 2 : runs.size(); }
    bool can_claim() const {
        if (count == capacity()) return false;
        return mode == Mode::sequential ? !claims_ended : mode == Mode::planned && plan_more && !planning;
    }
    Run& front() { return runs[head]; }
    void pop() {
        head = (head + 1) % capacity();
        --count;
    }

    // A thread without the memory for its inflater ends: the reader claims runs itself.
    void work() {
        std::unique_ptr<MemberInflater> inflater;
        try {
            inflater = std::make_unique<MemberInflater>();
        } catch (const std::exception&) {
            return;
        }
        std::unique_lock<std::mutex> lock(m);
        for (;;) {
            cv_work.wait(lock, [&] { return stopping || can_claim(); });
            if (stopping) return;
            claim(lock, *inflater);
        }
    }

    // Claims the next run and inflates it: with the lock held, which is let go while it
    // inflates.
    void claim(std::unique_lock<std::mutex>& lock, MemberInflater& inflater) {
        Run& r = runs[(head + count++) % capacity()];
        ++working;
        r.done = false;
        r.ends = 1;
        r.in.begin = r.in.end = 0;
        // Nothing may leave a thread by an exception: memory that cannot be had for the
        // compressed bytes or for the plan's own reading leaves the work to the reader (a
        // run claimed in part is given back whole).
        if (mode == Mode::sequential) {
            try {
                src.claim(r);
            } catch (const std::exception&) {
                r.ends = -1;
                r.end = r.at + r.in.end;
            }
            if (r.ends == 0) claims_ended = true;
            claimed_to.store(r.end, std::memory_order_relaxed);
            lock.unlock();
        } else {
            r.at = k_unknown;
            planning = true;
            lock.unlock();
            std::uint64_t at = 0;
            bool more = false;
            try {
                more = plan->next(reader_at.load(std::memory_order_relaxed), at);
            } catch (const std::exception&) {
            }
            lock.lock();
            planning = false;
            if (!more) {  // the run claimed is the last one: nothing was claimed after it
                plan_more = false;
                --count;
                --working;
                cv_read.notify_all();
                return;
            }
            r.at = at;
            cv_read.notify_all();
            cv_work.notify_one();
            lock.unlock();
            try {
                if (!read_block(r)) r.ends = 0;
            } catch (const std::exception&) {
                r.ends = 0;
            }
        }
        if (r.ends == 1) inflate(r, inflater);
        lock.lock();
        r.done = true;
        --working;
        cv_read.notify_all();
    }

    // A planned run: the block at r.at, read from the file without moving the reader.
    bool read_block(Run& r) {
        unsigned char head_bytes[k_header];
        std::string why;
        const FileSource& file = src.file();
        if (file.read_at(r.at, reinterpret_cast<char*>(head_bytes), k_header, why) != static_cast<std::ptrdiff_t>(k_header))
            return false;
        const std::size_t size = bgzf_block_size(head_bytes, k_header);
        if (size == 0 || !r.in.grow(size)) return false;
        if (file.read_at(r.at, r.in.mem, size, why) != static_cast<std::ptrdiff_t>(size)) return false;
        r.in.end = size;
        r.end = r.at + size;
        return true;
    }

    // Inflates the run's blocks, each whole and checked. A run that fails holds no data:
    // it goes back whole to the reader's thread (give_back).
    static void inflate(Run& r, MemberInflater& inflater) {
        r.out.begin = r.out.end = k_front;
        for (std::size_t at = 0; at < r.in.end;) {
            const auto* block = reinterpret_cast<const unsigned char*>(r.in.mem + at);
            const std::size_t size = bgzf_block_size(block, r.in.end - at);
            const std::size_t data = le32(block + size - 4);
            if (data > k_max_block_data || !r.out.grow(r.out.end + k_max_block_data)) {
                r.ends = -1;
                r.out.end = k_front;
                return;
            }
            inflater.start();
            std::size_t consumed = 0, produced = 0;
            const bool ok = inflater.step(r.in.mem + at, size, r.out.mem + r.out.end, k_max_block_data, consumed, produced);
            if (!ok || !inflater.finished() || consumed != size || produced != data) {
                r.ends = -1;
                r.out.end = k_front;
                return;
            }
            r.out.end += produced;
            at += size;
        }
    }

    // Reading on: the next run, in order.
    std::ptrdiff_t take(Buffer& b) {
        std::unique_lock<std::mutex> lock(m);
        for (;;) {
            if (count > 0 && front().done) {
                Run& r = front();
                if (r.out.unread() > 0) {
                    const std::size_t got = hand_over(r.out, b);
                    if (r.out.unread() == 0 && r.ends == 1) pop();
                    cv_work.notify_one();
                    return static_cast<std::ptrdiff_t>(got);
                }
                const int ends = r.ends;
                if (ends < 0) {  // a block does not inflate as its header says
                    give_back(lock);
                    return k_not_here;
                }
                pop();
                cv_work.notify_one();
                if (ends == 1) continue;
                lock.unlock();
                stop_sequential();
                src.run_ = 0;  // the pool starts again only after another MiB read here
                return k_not_here;
            }
            if (can_claim()) {
                claim(lock, src.inflater_);
                continue;
            }
            cv_read.wait(lock);
        }
    }

    // Jumping: the run of the block at c, when the pool has it (waiting while a thread
    // inflates it, and claiming the next run meanwhile); the runs before it are dropped.
    // skip: data bytes to drop first.
    std::ptrdiff_t take_at(std::uint64_t c, Buffer& b, std::uint64_t& skip) {
        reader_at.store(c, std::memory_order_relaxed);
        std::unique_lock<std::mutex> lock(m);
        for (;;) {
            while (count > 0 && front().done && front().at < c) {
                pop();
                cv_work.notify_one();
            }
            if (count == 0) return k_not_here;
            Run& r = front();
            if (r.done) {
                if (r.at != c || r.ends != 1 || skip > r.out.unread()) {
                    if (r.at == c) pop();
                    cv_work.notify_one();
                    return k_not_here;  // read here, where a failure is told as it always is
                }
                r.out.begin += static_cast<std::size_t>(skip);
                skip = 0;
                const std::size_t got = std::min(r.out.unread(), b.room());
                std::memcpy(b.mem + b.end, r.out.mem + r.out.begin, got);
                b.end += got;
                r.out.begin += got;
                if (r.out.unread() > 0) {
                    pending = &r;  // the rest of the block, next
                    return static_cast<std::ptrdiff_t>(got);
                }
                const std::uint64_t end = r.end;
                pop();
                cv_work.notify_one();
                lock.unlock();
                return src.continue_at(end) ? static_cast<std::ptrdiff_t>(got) : -1;
            }
            // A run still being planned: the plan is behind the reader, which reads on
            // rather than wait on the plan's own reading.
            if (r.at == k_unknown || r.at > c) return k_not_here;
            if (r.at == c && can_claim()) {
                claim(lock, src.inflater_);
                continue;
            }
            cv_read.wait(lock);
        }
    }

    // The rest of a block that did not fit in the reader's buffer.
    std::ptrdiff_t take_rest(Buffer& b) {
        std::unique_lock<std::mutex> lock(m);
        Run& r = *pending;
        const std::size_t got = std::min(r.out.unread(), b.room());
        std::memcpy(b.mem + b.end, r.out.mem + r.out.begin, got);
        b.end += got;
        r.out.begin += got;
        if (r.out.unread() > 0) return static_cast<std::ptrdiff_t>(got);
        const std::uint64_t end = r.end;
        pending = nullptr;
        pop();
        cv_work.notify_one();
        lock.unlock();
        return src.continue_at(end) ? static_cast<std::ptrdiff_t>(got) : -1;
    }

    void start_sequential(std::uint64_t at) {
        std::lock_guard<std::mutex> lock(m);
        mode = Mode::sequential;
        claims_ended = false;
        claimed_to.store(at, std::memory_order_relaxed);
        cv_work.notify_all();
    }

    // The ring wraps at the mode's capacity: it changes only while the ring is empty.
    void set_plan(std::unique_ptr<BlockPlan> p) {
        std::unique_lock<std::mutex> lock(m);
        cv_read.wait(lock, [&] { return working == 0; });
        head = count = 0;
        pending = nullptr;
        plan = std::move(p);
        plan_more = plan != nullptr;
        mode = plan ? Mode::planned : Mode::off;
        cv_work.notify_all();
    }

    // Reading on meets a block that does not inflate as its header says (damaged, or no
    // BGZF block after all): the compressed bytes of the runs not handed out go back in
    // front of the source's unread bytes, to be read in the reader's thread as any gzip
    // data (where damage is told as it always is), and the pool ends for this file.
    void give_back(std::unique_lock<std::mutex>& lock) {
        const std::size_t cap = capacity();
        mode = Mode::off;
        cv_read.wait(lock, [&] { return working == 0; });
        std::vector<const Buffer*> parts;
        for (std::size_t i = 0; i < count; ++i) parts.push_back(&runs[(head + i) % cap].in);
        src.put_back(runs[head].at, parts);
        head = count = 0;
        claims_ended = false;
        src.pool_allowed_ = false;
    }

    // Reading on stops: the runs claimed are dropped once inflated.
    void stop_sequential() {
        std::unique_lock<std::mutex> lock(m);
        if (mode != Mode::sequential) return;
        mode = Mode::off;
        cv_read.wait(lock, [&] { return working == 0; });
        head = count = 0;
        claims_ended = false;
    }

    GzipSource& src;
    std::vector<Run> runs;  // a ring of capacity() runs: runs[head] .. runs[head + count - 1], in file order
    std::size_t head = 0, count = 0, working = 0;
    Run* pending = nullptr;  // a planned run whose data is being handed out
    std::mutex m;
    std::condition_variable cv_work, cv_read;  // the pool's threads wait on the one, the reader on the other
    std::vector<std::thread> threads;
    Mode mode = Mode::off;
    bool stopping = false, claims_ended = false, planning = false, plan_more = true;
    std::unique_ptr<BlockPlan> plan;
    std::atomic<std::uint64_t> claimed_to{0}, reader_at{0};
};

// ---- GzipSource ----

GzipSource::GzipSource(std::unique_ptr<FileSource> raw, bool bgzf)
    : raw_(std::move(raw)), bgzf_(bgzf), first_is_bgzf_(bgzf) {}

GzipSource::~GzipSource() { pool_.reset(); }

int GzipSource::fail(std::string why) {
    failed_ = true;
    error_ = std::move(why);
    return -1;
}

// Reads on until at least want compressed bytes are unread or the file ends; false on a
// read failure (the file's error() says why). Since a seek, only what is asked for is
// read: the block the reader jumped to, not a buffer's worth.
bool GzipSource::read_more(std::size_t want) {
    base_ += in_.begin;
    in_.compact();
    if (in_.size == 0 && !in_.grow(k_buffer_size)) return false;
    while (!eof_ && in_.unread() < want) {
        const std::size_t most = exact_reads_ ? std::max(want - in_.unread(), k_header) : in_.room();
        const std::ptrdiff_t got = raw_->fill(in_, most);
        if (got < 0) return false;
        if (got == 0) eof_ = true;
        if (want == 1) break;
    }
    return true;
}

bool GzipSource::refill(std::size_t want) {
    if (read_more(want)) return true;
    fail(in_.size == 0 ? "cannot allocate memory" : raw_->error());
    return false;
}

// At a member's start: 1 when a member begins (size: its size as a BGZF block, 0 when it
// is none), 0 at a clean end, -1 on a failure. Zero padding at the very end is tolerated.
int GzipSource::next_header(std::size_t& size) {
    if (in_.unread() < sizeof k_bgzf_eof && !eof_ && !refill(sizeof k_bgzf_eof)) return -1;
    if (in_.unread() == 0) return at_end();
    if (in_.mem[in_.begin] == 0) {
        for (;;) {
            while (in_.begin < in_.end)
                if (in_.mem[in_.begin++] != 0) return fail("trailing garbage after compressed data");
            if (eof_) return at_end();
            if (!refill()) return -1;
        }
    }
    const auto* b = reinterpret_cast<const unsigned char*>(in_.mem + in_.begin);
    const std::size_t avail = in_.unread();
    if (avail < 2 || b[0] != 0x1f || b[1] != 0x8b) return fail("trailing garbage after compressed data");
    size = bgzf_block_size(b, avail);
    last_is_bgzf_eof_ = avail >= sizeof k_bgzf_eof && std::memcmp(b, k_bgzf_eof, sizeof k_bgzf_eof) == 0;
    if (size > in_.unread() && !eof_ && !refill(size)) return -1;
    return 1;
}

int GzipSource::next_member() {
    std::size_t size = 0;
    const int next = next_header(size);
    if (next <= 0) return next;
    if (size == 0) bgzf_ = false;  // from here on, members are read one after the other
    member_at_ = base_ + in_.begin;
    member_size_ = size;
    inflater_.start();
    in_member_ = true;
    return 1;
}

int GzipSource::at_end() {
    if (first_is_bgzf_ && !last_is_bgzf_eof_) return fail("truncated (no BGZF end-of-file block)");
    return 0;
}

// One step inside a member: more compressed input, or some inflated output into buf
// (produced bytes). False on a failure, a member cut short by the file's end included. A
// member whose BGZF header tells another size than its own is read as the gzip member it
// is; the file is no BGZF file from there on: it is read on, member after member.
bool GzipSource::member_step(char* buf, std::size_t n, std::size_t& produced) {
    produced = 0;
    if (in_.unread() > 0) {
        std::size_t consumed = 0;
        if (!inflater_.step(in_.mem + in_.begin, in_.unread(), buf, n, consumed, produced)) {
            fail(inflater_.error());
            return false;
        }
        in_.begin += consumed;
        if (inflater_.finished()) {
            in_member_ = false;
            if (skip_ > produced) {  // a place past the block's data
                fail(k_corrupt);
                return false;
            }
            if (member_size_ != 0 && base_ + in_.begin != member_at_ + member_size_) bgzf_ = pool_allowed_ = false;
        }
        return true;
    }
    if (eof_) {
        fail("unexpected end of compressed data (file truncated)");
        return false;
    }
    return refill();
}

std::ptrdiff_t GzipSource::fill(Buffer& b) {
    if (failed_) return -1;
    if (pool_) {
        if (pool_->pending) return pool_->take_rest(b);
        if (pool_->mode == Pool::Mode::sequential) {
            const std::ptrdiff_t got = pool_->take(b);
            if (got != Pool::k_not_here) return got;
        }
    }
    if (!in_member_ && bgzf_ && pool_allowed_ && run_ >= k_buffer_size && skip_ == 0 &&
        (!pool_ || pool_->mode == Pool::Mode::off) && start_pool()) {
        pool_->start_sequential(base_ + in_.begin);
        return fill(b);
    }
    return fill_in_thread(b);
}

std::ptrdiff_t GzipSource::fill_in_thread(Buffer& b) {
    for (;;) {
        if (!in_member_) {
            if (pool_ && pool_->mode == Pool::Mode::planned && eof_ == false) {
                const std::ptrdiff_t got = pool_->take_at(base_ + in_.begin, b, skip_);
                if (got != Pool::k_not_here) {
                    if (got > 0) run_ += static_cast<std::uint64_t>(got);
                    return got;
                }
            }
            const int next = next_member();
            if (next <= 0) return next;
        }
        std::size_t produced = 0;
        char* out = b.mem + b.end;
        if (!member_step(out, b.room(), produced)) return -1;
        if (skip_ > 0 && produced > 0) {
            const std::size_t drop = static_cast<std::size_t>(std::min<std::uint64_t>(skip_, produced));
            std::memmove(out, out + drop, produced - drop);
            produced -= drop;
            skip_ -= drop;
        }
        b.end += produced;
        run_ += produced;
        if (run_ >= k_exact_run) exact_reads_ = false;
        if (produced > 0) return static_cast<std::ptrdiff_t>(produced);
    }
}

bool GzipSource::verify_so_far() {
    // Runs handed out were inflated whole and checked.
    if (pool_) pool_->stop_sequential();
    std::vector<char> scratch(1 << 16);
    std::size_t produced = 0;
    while (in_member_ && !failed_)
        if (!member_step(scratch.data(), scratch.size(), produced)) return false;
    return !failed_;
}

// The pool's threads: one fewer than the CPUs allowed (the reader helps), a few at most.
bool GzipSource::start_pool() {
    if (pool_) return true;
    if (pool_refused_) return false;
    const unsigned cpus = allowed_cpus();
    if (cpus > 1) {
        pool_ = std::make_unique<Pool>(*this);
        if (pool_->start(std::min(cpus - 1, 3u))) return true;
        pool_.reset();
    }
    pool_refused_ = true;
    return false;
}

void GzipSource::set_plan(std::unique_ptr<BlockPlan> plan) {
    if (!plan) {
        if (pool_) pool_->set_plan(nullptr);
        return;
    }
    if (!bgzf_ || !start_pool()) return;
    pool_->stop_sequential();
    pool_->set_plan(std::move(plan));
}

// With the pool's lock held, reading on: the whole BGZF blocks that follow, up to 1 MiB of
// data, are moved into r. Anything else (the end-of-file block, a member that is no BGZF
// block, a block cut short, a read failure) is left to the reader's thread, which tells
// it as it always does.
void GzipSource::claim(Run& r) {
    r.at = base_ + in_.begin;
    std::size_t data = 0, blocks = 0;
    while (blocks < 64) {
        if (in_.unread() < sizeof k_bgzf_eof && !eof_ && !read_more(sizeof k_bgzf_eof)) break;
        const auto* b = reinterpret_cast<const unsigned char*>(in_.mem + in_.begin);
        const std::size_t size = bgzf_block_size(b, in_.unread());
        if (size == 0 || (in_.unread() >= sizeof k_bgzf_eof && std::memcmp(b, k_bgzf_eof, sizeof k_bgzf_eof) == 0))
            break;
        if (in_.unread() < size && (eof_ || !read_more(size) || in_.unread() < size)) break;
        const std::size_t block_data = le32(reinterpret_cast<const unsigned char*>(in_.mem + in_.begin) + size - 4);
        if (block_data > k_max_block_data || (blocks > 0 && data + block_data > k_buffer_size)) break;
        if (!r.in.grow(r.in.end + size)) break;
        std::memcpy(r.in.mem + r.in.end, in_.mem + in_.begin, size);
        r.in.end += size;
        in_.begin += size;
        data += block_data;
        ++blocks;
    }
    r.end = base_ + in_.begin;
    r.ends = blocks > 0 ? 1 : 0;
}

void GzipSource::put_back(std::uint64_t at, const std::vector<const Buffer*>& parts) {
    std::size_t n = in_.unread();
    for (const Buffer* p : parts) n += p->unread();
    Buffer all;
    if (!all.grow(std::max(n, k_buffer_size))) {
        fail("cannot allocate memory");
        return;
    }
    for (const Buffer* p : parts) {
        std::memcpy(all.mem + all.end, p->mem + p->begin, p->unread());
        all.end += p->unread();
    }
    std::memcpy(all.mem + all.end, in_.mem + in_.begin, in_.unread());
    all.end += in_.unread();
    in_.swap(all);
    base_ = at;
}

std::uint64_t GzipSource::read_to() const {
    if (pool_ && pool_->mode == Pool::Mode::sequential) return pool_->claimed_to.load(std::memory_order_relaxed);
    if (in_member_ && member_size_ != 0) return member_at_ + member_size_;
    return base_ + in_.begin;
}

void GzipSource::moved_to(std::uint64_t offset) {
    base_ = offset;
    in_.begin = in_.end = 0;
    eof_ = in_member_ = false;
    member_size_ = 0;
}

bool GzipSource::seek(std::uint64_t coffset, std::uint32_t uoffset) {
    if (failed_) return false;
    if (pool_) pool_->stop_sequential();
    if (!raw_->seek(coffset)) return fail(raw_->error()) == 0;
    moved_to(coffset);
    skip_ = uoffset;
    run_ = 0;
    exact_reads_ = true;
    return true;
}

bool GzipSource::continue_at(std::uint64_t offset) {
    if (!raw_->seek(offset)) return fail(raw_->error()) == 0;
    moved_to(offset);
    return true;
}

bool GzipSource::seek_end() {
    const std::uint64_t size = raw_->file_size();
    char tail[sizeof k_bgzf_eof];
    std::string why;
    if (failed_ || size < sizeof tail ||
        raw_->read_at(size - sizeof tail, tail, sizeof tail, why) != static_cast<std::ptrdiff_t>(sizeof tail) ||
        std::memcmp(tail, k_bgzf_eof, sizeof tail) != 0)
        return false;
    if (pool_) pool_->stop_sequential();
    if (!raw_->seek(size)) return fail(raw_->error()) == 0;
    moved_to(size);
    eof_ = true;
    last_is_bgzf_eof_ = true;
    skip_ = 0;
    return true;
}

}  // namespace wes

#include "jump_ahead.hpp"

#include <algorithm>
#include <deque>
#include <mutex>
#include <sys/stat.h>

#include "diagnostics.hpp"
#include "fields.hpp"
#include "merge_order.hpp"

namespace wes {

// What glances at blocks told, kept for the other thread: the rows read ahead glance at
// the blocks that the reading glances at a little later (a glance costs about 7 us, a
// look here well under one). The exome benchmark on two CPUs: 3.66 s -> 3.1 s CPU.
class SharedGlances {
public:
    // The block at coffset, as told before or through glancer now; with its first line
    // (kept in line) when need_line. False on a read failure (why).
    bool get(BlockGlancer& glancer, std::uint64_t coffset, bool need_line, BlockGlance& g, std::string& line,
             std::string& why) {
        Slot& s = slots_[(coffset * 0x9e3779b97f4a7c15ULL) >> 54];  // 1024 slots
        {
            std::lock_guard<std::mutex> lock(m_);
            if (s.at == coffset && (s.lined || !need_line)) {
                g = s.g;
                line = s.line;
                g.line = line;
                return true;
            }
        }
        if (!(need_line ? glancer.glance(coffset, g, why) : glancer.measure(coffset, g, why))) return false;
        line.assign(g.line);
        g.line = line;
        std::lock_guard<std::mutex> lock(m_);
        s.at = coffset;
        s.lined = need_line;
        s.g = g;
        s.line = line;
        return true;
    }

private:
    struct Slot {
        std::uint64_t at = ~std::uint64_t{0};
        bool lined = false;
        BlockGlance g;
        std::string line;
    };
    std::mutex m_;
    std::vector<Slot> slots_ = std::vector<Slot>(1024);
};

namespace {

// Whether line, the first line that begins in a block, is a line of the index (its
// chromosome is the index's) that lies before pos at chrom: then every line before it
// does too, and the blocks before its own can be passed over.
bool lies_before(const BgzfIndex& index, std::string_view line, std::string_view chrom, std::int64_t pos) {
    FieldCursor f(line);
    std::string_view name;
    std::int32_t at;
    if (!f.next(name) || !f.next_int(at) || !index.has(name)) return false;
    const int c = compare_chrom(name, chrom);
    return c < 0 || (c == 0 && at < pos);
}

bool older(const struct stat& a, const struct stat& b) {
    return a.st_mtim.tv_sec < b.st_mtim.tv_sec ||
           (a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec < b.st_mtim.tv_nsec);
}

// The whole of a (compressed) file; false with why.
bool read_whole(const std::string& path, std::string& bytes, std::string& why) {
    std::unique_ptr<ByteSource> src = open_byte_source(path, why);
    if (!src) return false;
    Buffer b;
    if (!b.grow(k_buffer_size)) return why = "cannot allocate memory", false;
    for (;;) {
        b.begin = b.end = 0;
        const std::ptrdiff_t got = src->fill(b);
        if (got < 0) return why = src->error(), false;
        if (got == 0) return true;
        if (bytes.size() > (std::size_t{1} << 30)) return why = "more than 1 GiB", false;
        bytes.append(b.mem, b.end);
    }
}

// The rows read ahead, on the pool's threads: for each row past the last one planned,
// the blocks the merge will read for it. A row whose place lies in the block where the
// reading stands, or in the blocks that follow it, is read on to: each block whose first
// line lies before the place is planned. A row further on is jumped to: the last block
// that begins before its place is planned. The merge reads every block itself when the
// plan errs: a plan only saves time.
class RowPlan final : public BlockPlan {
public:
    RowPlan(std::shared_ptr<const BgzfIndex> index, std::shared_ptr<SharedGlances> glances, const FileSource& file,
            JumpAhead::RowPlace place, std::int64_t shift)
        : index_(std::move(index)), glances_(std::move(glances)), glancer_(file), place_(place), shift_(shift) {}

    // The rows are read a second time: only from a regular file (a pipe's bytes would be
    // taken from the merge).
    bool open(const std::string& rows_path, unsigned skip_lines) {
        struct stat st;
        if (rows_path == "-" || ::stat(rows_path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            !rows_.open(rows_path, LineReader::Inflate::in_this_thread))
            return false;
        std::string_view line;
        for (unsigned i = 0; i < skip_lines; ++i)
            if (rows_.next(line) != LineReader::Status::line) return false;
        return true;
    }

    bool next(std::uint64_t reader_at, std::uint64_t& coffset) override {
        for (;;) {
            while (!queue_.empty()) {
                coffset = queue_.front();
                queue_.pop_front();
                if (coffset >= reader_at) return true;
            }
            if (ended_ || !plan_row(reader_at)) {
                ended_ = true;
                return false;
            }
        }
    }

private:
    // Plans the blocks of the next rows until some are queued; false at the rows' end,
    // when a row lies past the file's last line, or on a failure.
    bool plan_row(std::uint64_t reader_at) {
        std::string_view line, chrom;
        std::int64_t pos;
        while (queue_.empty()) {
            if (rows_.next(line) != LineReader::Status::line) return false;
            if (!place_(line, chrom, pos) || compare_place(chrom, pos, chrom_, pos_) <= 0) continue;
            chrom_.assign(chrom);
            pos_ = pos;
            std::int64_t from, to;
            const std::uint64_t first = index_->first_at(chrom_, pos_ - shift_, from, to);
            if (first == BgzfIndex::k_end) return false;
            const std::uint64_t c = first >> 16;
            next_block_ = std::max(next_block_, reader_at);  // the reading has passed the blocks before
            if (c >= next_block_) {
                BlockGlance g;
                if (!glances_->get(glancer_, c, false, g, scratch_, why_) || g.size == 0) return false;
                std::uint64_t land = c, size = g.size;
                for (;;) {
                    const std::uint64_t next = land + size;
                    if (!glance_next(next) || !lies_before(*index_, line_, chrom_, pos_ - shift_)) break;
                    land = next;
                    size = size_;
                }
                queue_.push_back(land);
                next_block_ = land + size;
            } else {
                while (glance_next(next_block_) && lies_before(*index_, line_, chrom_, pos_ - shift_)) {
                    queue_.push_back(next_block_);
                    next_block_ += size_;
                }
            }
        }
        return true;
    }

    // The first line of the block at at, kept for the rows that follow; false when the
    // block shows none.
    bool glance_next(std::uint64_t at) {
        if (at != glanced_at_) {
            BlockGlance g;
            glanced_at_ = at;
            has_line_ = glances_->get(glancer_, at, true, g, line_, why_) && g.size != 0 && g.has_line;
            size_ = g.size;
        }
        return has_line_;
    }

    std::shared_ptr<const BgzfIndex> index_;
    std::shared_ptr<SharedGlances> glances_;
    BlockGlancer glancer_;
    JumpAhead::RowPlace place_;
    std::int64_t shift_;
    LineReader rows_;
    std::string why_;
    std::deque<std::uint64_t> queue_;
    bool ended_ = false;
    std::string chrom_ = std::string(first_chrom);  // the last row planned
    std::int64_t pos_ = first_pos;
    std::uint64_t next_block_ = 0;  // the block after the last one planned
    std::uint64_t glanced_at_ = ~std::uint64_t{0}, size_ = 0;
    bool has_line_ = false;
    std::string line_, scratch_;  // the line of the block glanced_at_; what a size-only look wrote
};

}  // namespace

JumpAhead::JumpAhead(LineReader& db, std::shared_ptr<const BgzfIndex> index)
    : db_(db), index_(std::move(index)), glances_(std::make_shared<SharedGlances>()), glancer_(db.blocks()->file()) {}

JumpAhead::~JumpAhead() {
    if (GzipSource* gz = db_.blocks()) gz->set_plan(nullptr);
}

std::unique_ptr<JumpAhead> JumpAhead::open(LineReader& db, unsigned header_lines) {
    struct stat file, st;
    if (!db.blocks() || ::stat(db.path().c_str(), &file) != 0) return nullptr;
    for (const char* form : {".tbi", ".csi"}) {
        const std::string path = db.path() + form;
        if (::stat(path.c_str(), &st) != 0) continue;
        if (older(st, file)) {
            note("warning: %s is older than %s: it is not used, and the whole file is read\n", path.c_str(),
                 db.path().c_str());
            continue;
        }
        std::string bytes, why;
        auto index = std::make_shared<BgzfIndex>();
        if (!read_whole(path, bytes, why)) {
            note("warning: %s cannot be read (%s): it is not used, and the whole of %s is read\n", path.c_str(),
                 why.c_str(), db.path().c_str());
            continue;
        }
        if (!index->parse(bytes, header_lines, why)) {
            note("warning: %s is not used (%s): the whole of %s is read\n", path.c_str(), why.c_str(),
                 db.path().c_str());
            continue;
        }
        return follow(db, std::move(index));
    }
    return nullptr;
}

std::unique_ptr<JumpAhead> JumpAhead::follow(LineReader& db, std::shared_ptr<const BgzfIndex> index) {
    if (!db.blocks()) return nullptr;
    return std::unique_ptr<JumpAhead>(new JumpAhead(db, std::move(index)));
}

void JumpAhead::give_up(const char* why) {
    usable_ = false;
    note("warning: the index of %s does not fit it (%s): the rest of the file is read whole\n", db_.path().c_str(), why);
}

JumpAhead::Move JumpAhead::to(std::string_view chrom, std::int64_t pos) {
    GzipSource* gz = usable_ ? db_.blocks() : nullptr;
    if (!gz) return Move::read_on;
    if (chrom != span_chrom_ || pos < span_from_ || pos >= span_to_) {
        span_offset_ = index_->first_at(chrom, pos, span_from_, span_to_);
        span_chrom_.assign(chrom);
    }
    if (span_offset_ == BgzfIndex::k_end) {
        if (!db_.jump_to_end()) return Move::read_on;
        ++jumps_;
        return Move::jumped;
    }
    const std::uint64_t c = span_offset_ >> 16;
    const std::uint32_t u = span_offset_ & 0xffff;
    if (c < gz->read_to()) return Move::read_on;
    BlockGlance g;
    if (!glances_->get(glancer_, c, false, g, line_, why_) || g.size == 0 || u > g.data_size) {
        give_up(why_.empty() ? "an offset it gives is no place in the file" : why_.c_str());
        return Move::read_on;
    }
    std::uint64_t land = c;
    std::uint32_t land_at = u;
    for (std::uint64_t next = c + g.size;; next += g.size) {
        if (!glances_->get(glancer_, next, true, g, line_, why_)) {
            give_up(why_.c_str());
            return Move::read_on;
        }
        if (g.size == 0 || !g.has_line || !lies_before(*index_, g.line, chrom, pos)) break;
        land = next;
        land_at = g.line_at;
    }
    if (!db_.jump(land, land_at)) return Move::failed;
    if (++jumps_ == 1) start_plan();
    return Move::jumped;
}

void JumpAhead::plan_from(const std::string& rows_path, unsigned skip_lines, RowPlace place, std::int64_t shift) {
    rows_path_ = rows_path;
    skip_lines_ = skip_lines;
    place_ = place;
    shift_ = shift;
}

void JumpAhead::start_plan() {
    GzipSource* gz = db_.blocks();
    if (!gz || !place_ || allowed_cpus() < 2) return;
    auto plan = std::make_unique<RowPlan>(index_, glances_, gz->file(), place_, shift_);
    if (plan->open(rows_path_, skip_lines_)) gz->set_plan(std::move(plan));
}

}  // namespace wes

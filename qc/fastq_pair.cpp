#include "fastq_pair.hpp"

#include <atomic>
#include <limits>
#include <memory>
#include <sys/stat.h>
#include <system_error>
#include <thread>

namespace wes::qc {

RecordReader::Status RecordReader::next() {
    std::string_view line;
    bool nl = true;
    auto st = lines_.next(line, nl);  // header
    if (st == LineReader::Status::eof) return Status::eof;
    if (st == LineReader::Status::error) return Status::error;
    st = lines_.next(line, nl);  // sequence
    if (st != LineReader::Status::line) return st == LineReader::Status::eof ? Status::partial : Status::error;
    seq_.assign(line);
    st = lines_.next(line, nl);  // separator
    if (st != LineReader::Status::line) return st == LineReader::Status::eof ? Status::partial : Status::error;
    st = lines_.next(line, nl);  // quality
    if (st != LineReader::Status::line) return st == LineReader::Status::eof ? Status::partial : Status::error;
    qual_ = line;
    qual_newline_ = nl;
    return Status::record;
}

namespace {

using RStatus = RecordReader::Status;
constexpr std::uint64_t k_no_limit = std::numeric_limits<std::uint64_t>::max();

// How the walk over one file of a pair ended.
enum class MateEnd {
    eof,            // the file ended after its last complete record
    partial,        // the file ended inside a record
    read_error,     // the file could not be read on (corrupt or truncated data)
    quality_error,  // record counted + 1 has a bad quality byte
    stopped,        // record counted + 1 is complete but lies past the other file's end
};

struct MateScan {
    MateCounts counts;
    MateEnd end = MateEnd::eof;
    std::string error;         // reason of a read error
    std::string quality_text;  // message of a quality error
};

RStatus as_record_status(MateEnd e) {
    switch (e) {
        case MateEnd::eof: return RStatus::eof;
        case MateEnd::partial: return RStatus::partial;
        case MateEnd::read_error: return RStatus::error;
        default: return RStatus::record;
    }
}

// Walks the records of one file while the other file (other_limit: the last record
// index it can reach) may still hold them, then publishes how far this file can reach.
void scan_mate(RecordReader& in, int mate, MateScan& s, const std::atomic<std::uint64_t>& other_limit,
               std::atomic<std::uint64_t>& own_limit) {
    BadQuality bad;
    for (std::uint64_t k = 1;; ++k) {
        RStatus st = in.next();
        if (st != RStatus::record) {
            s.end = st == RStatus::eof ? MateEnd::eof : st == RStatus::partial ? MateEnd::partial : MateEnd::read_error;
            if (st == RStatus::error) s.error = in.error();
            break;
        }
        if (k > other_limit.load(std::memory_order_relaxed)) {
            s.end = MateEnd::stopped;
            break;
        }
        if (!walk_read(s.counts, in.read(), bad)) {
            s.end = MateEnd::quality_error;
            s.quality_text = quality_error_text(mate, in.read(), bad);
            break;
        }
    }
    std::uint64_t reach = s.counts.records + (s.end == MateEnd::quality_error ? 1 : 0);
    own_limit.store(reach, std::memory_order_relaxed);
}

std::string count_note(std::uint64_t pairs) {
    return " (" + std::to_string(pairs) + " complete record pairs counted)\n";
}

// The message of a pair that ended with record pairs+1 incomplete in at least one file;
// empty when both files ended cleanly together.
std::string end_message(RStatus st1, RStatus st2, const RecordReader& r1, const RecordReader& r2,
                        const std::string& err1, const std::string& err2, std::uint64_t pairs) {
    if (st1 == RStatus::error) return "Error: cannot read " + r1.path() + ": " + err1 + count_note(pairs);
    if (st2 == RStatus::error) return "Error: cannot read " + r2.path() + ": " + err2 + count_note(pairs);
    if (st1 == RStatus::partial) return "Error: " + r1.path() + " ends inside a record" + count_note(pairs);
    if (st2 == RStatus::partial) return "Error: " + r2.path() + " ends inside a record" + count_note(pairs);
    if (st1 == RStatus::eof && st2 == RStatus::eof) return {};
    return "Error: " + r1.path() + " and " + r2.path() + " hold different numbers of records" +
           count_note(pairs);
}

PairResult finish(std::string message, std::uint64_t pairs) {
    PairResult r;
    r.pairs = pairs;
    r.message = std::move(message);
    r.status = r.message.empty() ? PairResult::Status::complete : PairResult::Status::incomplete;
    return r;
}

PairResult quality_failure(std::string text) {
    PairResult r;
    r.status = PairResult::Status::quality_error;
    r.message = std::move(text);
    return r;
}

// One record pair after the other: the reference behaviour.
PairResult read_sequential(RecordReader& r1, RecordReader& r2, MateCounts& c1, MateCounts& c2) {
    BadQuality bad;
    for (std::uint64_t pairs = 0;; ++pairs) {
        RStatus st1 = r1.next();
        RStatus st2 = r2.next();
        if (st1 != RStatus::record || st2 != RStatus::record)
            return finish(end_message(st1, st2, r1, r2, r1.error(), r2.error(), pairs), pairs);
        if (!walk_read(c1, r1.read(), bad)) return quality_failure(quality_error_text(1, r1.read(), bad));
        if (!walk_read(c2, r2.read(), bad)) return quality_failure(quality_error_text(2, r2.read(), bad));
    }
}

// Counts again the first `records` records of a file that was walked past the other
// file's end. False when the file no longer gives the same records.
bool recount(const std::string& path, int mate, std::uint64_t records, MateScan& s) {
    RecordReader in;
    if (!in.open(path)) {
        s.error = in.error();
        return false;
    }
    s.counts = MateCounts{};
    s.error.clear();
    std::atomic<std::uint64_t> limit{records}, unused{0};
    scan_mate(in, mate, s, limit, unused);
    if (s.counts.records != records) {
        if (s.error.empty()) s.error = "the file changed while it was read";
        return false;
    }
    return true;
}

// Both files at once, one thread each. The outcome is the one of read_sequential: the
// run stops at the first event in record order, where an incomplete record k (in either
// file) comes before the walks of record k, and the read-1 walk before the read-2 walk.
PairResult read_concurrent(RecordReader& r1, RecordReader& r2, MateScan& s1, MateScan& s2) {
    std::atomic<std::uint64_t> limit1{k_no_limit}, limit2{k_no_limit};
    std::thread t;
    try {
        t = std::thread([&] { scan_mate(r2, 2, s2, limit1, limit2); });
    } catch (const std::system_error&) {  // no thread to be had: read pair by pair
        return read_sequential(r1, r2, s1.counts, s2.counts);
    }
    scan_mate(r1, 1, s1, limit2, limit1);
    t.join();

    auto end_index = [](const MateScan& s) {
        bool ended = s.end == MateEnd::eof || s.end == MateEnd::partial || s.end == MateEnd::read_error;
        return ended ? s.counts.records + 1 : k_no_limit;
    };
    const std::uint64_t k_end = std::min(end_index(s1), end_index(s2));
    std::uint64_t q1 = s1.end == MateEnd::quality_error ? s1.counts.records + 1 : k_no_limit;
    std::uint64_t q2 = s2.end == MateEnd::quality_error ? s2.counts.records + 1 : k_no_limit;
    if (q1 < k_end && q1 <= q2) return quality_failure(std::move(s1.quality_text));
    if (q2 < k_end) return quality_failure(std::move(s2.quality_text));

    const std::uint64_t pairs = k_end - 1;
    RStatus st1 = end_index(s1) == k_end ? as_record_status(s1.end) : RStatus::record;
    RStatus st2 = end_index(s2) == k_end ? as_record_status(s2.end) : RStatus::record;
    std::string message = end_message(st1, st2, r1, r2, s1.error, s2.error, pairs);

    // A thread that ran ahead of the other file's end counted records past it.
    MateScan* scans[2] = {&s1, &s2};
    const std::string* paths[2] = {&r1.path(), &r2.path()};
    for (int i = 0; i < 2; ++i) {
        if (scans[i]->counts.records <= pairs) continue;
        if (!recount(*paths[i], i + 1, pairs, *scans[i])) {
            s1.counts = MateCounts{};
            s2.counts = MateCounts{};
            return finish("Error: cannot read " + *paths[i] + ": " + scans[i]->error + count_note(0), 0);
        }
    }
    return finish(std::move(message), pairs);
}

bool is_regular_file(const std::string& path) {
    struct stat sb;
    return ::stat(path.c_str(), &sb) == 0 && S_ISREG(sb.st_mode);
}

}  // namespace

PairResult stat(const std::string& fq_1, const std::string& fq_2, Counters& res, ReadMode mode) {
    RecordReader r1, r2;
    bool ok1 = r1.open(fq_1);
    bool ok2 = r2.open(fq_2);
    if (!ok1 || !ok2) {
        PairResult r;
        r.status = PairResult::Status::open_failed;
        r.message = "File open error!\n";
        return r;
    }
    // Files that can be read again go to two threads; a thread that overran the other
    // file's end then counts its file again up to it. Pipes are read pair by pair.
    auto s1 = std::make_unique<MateScan>();
    auto s2 = std::make_unique<MateScan>();
    PairResult result;
    if (mode == ReadMode::automatic && is_regular_file(fq_1) && is_regular_file(fq_2))
        result = read_concurrent(r1, r2, *s1, *s2);
    else
        result = read_sequential(r1, r2, s1->counts, s2->counts);
    if (result.status == PairResult::Status::quality_error) return result;
    res.add(s1->counts, 1);
    res.add(s2->counts, 2);
    res.pair_number += static_cast<std::int64_t>(2 * result.pairs);
    return result;
}

}  // namespace wes::qc

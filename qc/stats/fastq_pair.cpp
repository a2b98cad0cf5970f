#include "fastq_pair.hpp"

#include <memory>

namespace wes::qc {

RecordReader::Status RecordReader::next() {
    std::string_view line;
    bool nl = true;
    auto st = lines_.next(line, nl);  // header
    if (st == LineReader::Status::eof) return Status::eof;
    if (st == LineReader::Status::error) return Status::error;
    if (line.empty()) {
        // Empty lines after the last record end the file cleanly; anywhere else they
        // break the four-line framing.
        Status empty = malformed("is empty where a record should begin");
        while ((st = lines_.next(line, nl)) == LineReader::Status::line)
            if (!line.empty()) return empty;
        return st == LineReader::Status::eof ? Status::eof : Status::error;
    }
    if (line.front() != '@') return malformed("does not start with '@' where a record should begin");
    for (int k = 1; k <= 3; ++k) {  // sequence, separator, quality
        st = lines_.next(line, nl);
        if (st != LineReader::Status::line) return st == LineReader::Status::eof ? Status::partial : Status::error;
        if (k == 1) seq_.assign(line);
        if (k == 2 && (line.empty() || line.front() != '+'))
            return malformed("does not start with '+' where a record's separator should be");
    }
    qual_ = line;
    qual_newline_ = nl;
    // A last quality line shorter than its sequence (without the CR of a CRLF line) is
    // a file cut inside that line.
    std::size_t seq_len = seq_.size() - (!seq_.empty() && seq_.back() == '\r');
    if (!nl && qual_.size() < seq_len) return Status::partial;
    return Status::record;
}

namespace {

using RStatus = RecordReader::Status;

std::string count_note(std::uint64_t pairs) {
    return " (" + std::to_string(pairs) + " complete record pairs counted)\n";
}

// The message of a pair that ended with record pairs+1 incomplete in at least one file;
// empty when both files ended cleanly together.
std::string end_message(RStatus st1, RStatus st2, const RecordReader& r1, const RecordReader& r2,
                        std::uint64_t pairs) {
    for (const auto& [st, r] : {std::pair{st1, &r1}, std::pair{st2, &r2}})
        if (st == RStatus::error) return r->failure_message() + count_note(pairs);
    for (const auto& [st, r] : {std::pair{st1, &r1}, std::pair{st2, &r2}}) {
        if (st == RStatus::partial) return "Error: " + r->path() + " ends inside a record" + count_note(pairs);
        if (st == RStatus::malformed)
            return "Error: " + r->path() + ": line " + std::to_string(r->bad_line()) + " " + r->bad_what() +
                   count_note(pairs);
    }
    if (st1 == RStatus::eof && st2 == RStatus::eof) return {};
    return "Error: " + r1.path() + " and " + r2.path() + " hold different numbers of records" + count_note(pairs);
}

PairResult finish(std::string message, std::uint64_t pairs) {
    PairResult r;
    r.pairs = pairs;
    r.message = std::move(message);
    r.status = r.message.empty() ? PairResult::Status::complete : PairResult::Status::incomplete;
    return r;
}

// A bad quality byte. In a compressed file it may be garbage of a corrupt member: the
// file's checksum is asked first, and a corrupt file is reported as what it is.
PairResult bad_quality(RecordReader& r, int mate, const BadQuality& bad, std::uint64_t pairs) {
    PairResult q;
    q.status = PairResult::Status::quality_error;
    q.message = quality_error_text(mate, r.read(), bad);  // before the lines it quotes are gone
    if (!r.verify_so_far()) return finish(r.failure_message() + count_note(pairs), pairs);
    return q;
}

}  // namespace

PairResult stat(const std::string& fq_1, const std::string& fq_2, Counters& res, LineReader::Inflate mode,
                Progress* progress) {
    RecordReader r1, r2;
    bool ok1 = r1.open(fq_1, mode);
    bool ok2 = r2.open(fq_2, mode);
    if (!ok1 || !ok2) {
        PairResult r;
        r.status = PairResult::Status::open_failed;
        r.message = "File open error!\n";
        return r;
    }
    auto c1 = std::make_unique<MateCounts>();
    auto c2 = std::make_unique<MateCounts>();
    PairResult result;
    BadQuality bad;
    if (progress) progress->watch(r1.lines(), &r2.lines());
    for (std::uint64_t pairs = 0;; ++pairs) {
        RStatus st1 = r1.next();
        RStatus st2 = r2.next();
        if (st1 != RStatus::record || st2 != RStatus::record) {
            result = finish(end_message(st1, st2, r1, r2, pairs), pairs);
            break;
        }
        const ReadLines a = r1.read(), b = r2.read();
        const std::uint64_t key = pair_fingerprint(a.seq, b.seq);
        res.reads.duplicates.prefetch(key);  // there by the time the walks are done
        if (!walk_read(*c1, a, bad)) {
            result = bad_quality(r1, 1, bad, pairs);
            break;
        }
        if (!walk_read(*c2, b, bad)) {
            unwalk_read(*c1, a);  // the pair is not complete
            result = bad_quality(r2, 2, bad, pairs);
            break;
        }
        res.reads.add_pair(a.seq, a.qual, b.seq, b.qual, key);
        if (progress) progress->tick();
    }
    if (progress) progress->unwatch();
    if (result.status == PairResult::Status::quality_error) return result;
    res.add(*c1, 1);
    res.add(*c2, 2);
    res.pair_number += static_cast<std::int64_t>(2 * result.pairs);
    return result;
}

}  // namespace wes::qc

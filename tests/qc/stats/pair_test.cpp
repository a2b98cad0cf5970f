#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "counters.hpp"
#include "fastq_pair.hpp"
#include "test_util.hpp"

namespace {

using wes::qc::Counters;
using wes::qc::PairResult;
using Inflate = wes::LineReader::Inflate;
using wes::test::ScratchDir;
using wes::test::write_file;
using wes::test::write_gzip;

// A FASTQ text of n records; record i (from 0) of a file with the given seed. Reads
// vary in length (up to 165 bases) and carry N, lower case and all scores.
std::string records(std::uint64_t seed, int first, int n) {
    std::string out;
    for (int i = first; i < first + n; ++i) {
        std::uint64_t s = seed * 1000003u + static_cast<std::uint64_t>(i) * 7919u + 1;
        auto rnd = [&s](unsigned m) {
            s ^= s << 13;
            s ^= s >> 7;
            s ^= s << 17;
            return static_cast<unsigned>(s % m);
        };
        int len = 100 + static_cast<int>(rnd(66));
        std::string seq, qual;
        for (int k = 0; k < len; ++k) {
            unsigned r = rnd(200);
            seq += r == 0 ? 'N' : r == 1 ? 'a' : "ACGT"[r % 4];
            qual += static_cast<char>('!' + rnd(45));
        }
        out += "@read" + std::to_string(i) + (seed == 1 ? " 1" : " 2") + "\n" + seq + "\n+\n" + qual + "\n";
    }
    return out;
}

struct PairRun {
    PairResult result;
    std::unique_ptr<Counters> res = std::make_unique<Counters>();
};

PairRun run(const std::string& a, const std::string& b, Inflate mode) {
    PairRun r;
    r.result = wes::qc::stat(a, b, *r.res, mode);
    return r;
}

bool same_counts(const Counters& x, const Counters& y) {
    return x.base_count == y.base_count && x.qual_count == y.qual_count && x.pair_number == y.pair_number &&
           x.long_reads == y.long_reads;
}

// Runs the pair with compressed files inflated in this thread and ahead on a second
// one, and expects one outcome; returns the second run.
PairRun both_ways(const std::string& a, const std::string& b) {
    PairRun seq = run(a, b, Inflate::in_this_thread);
    PairRun con = run(a, b, Inflate::ahead_when_it_pays);
    EXPECT_EQ(con.result.status, seq.result.status);
    EXPECT_EQ(con.result.message, seq.result.message);
    EXPECT_EQ(con.result.pairs, seq.result.pairs);
    if (seq.result.status != PairResult::Status::quality_error) {
        EXPECT_TRUE(same_counts(*con.res, *seq.res));
    }
    return con;
}

// Sets the quality byte at position pos of record i (from 0) of a FASTQ text, with a
// base in front of it so that the walk gets there.
void break_quality(std::string& fq, int i, std::size_t pos, char byte) {
    std::size_t p = 0;
    for (int line = 0; line < 4 * i + 1; ++line) p = fq.find('\n', p) + 1;
    for (std::size_t k = 0; k <= pos; ++k) fq[p + k] = 'A';
    for (int line = 0; line < 2; ++line) p = fq.find('\n', p) + 1;
    fq[p + pos] = byte;
}

class QcPair : public ::testing::Test {
protected:
    ScratchDir dir;
    std::string path(const std::string& n) { return dir.path(n); }
    // The counts of the first n records of both mates, as a well-formed pair.
    std::unique_ptr<Counters> reference(int n) {
        write_file(path("ref_1.fq"), records(1, 0, n));
        write_file(path("ref_2.fq"), records(2, 0, n));
        PairRun r = run(path("ref_1.fq"), path("ref_2.fq"), Inflate::in_this_thread);
        EXPECT_EQ(r.result.status, PairResult::Status::complete);
        return std::move(r.res);
    }
};

}  // namespace

TEST_F(QcPair, EvenPairIsCountedWholeBothWays) {
    write_file(path("a_1.fq"), records(1, 0, 3000));
    write_gzip(path("a_2.fq.gz"), records(2, 0, 3000), 50000);
    PairRun r = both_ways(path("a_1.fq"), path("a_2.fq.gz"));
    EXPECT_EQ(r.result.status, PairResult::Status::complete);
    EXPECT_EQ(r.result.message, "");
    EXPECT_EQ(r.result.pairs, 3000u);
    EXPECT_EQ(r.res->pair_number, 6000);
    EXPECT_TRUE(same_counts(*r.res, *reference(3000)));
}

TEST_F(QcPair, UnevenFilesCountOnlyTheirCompleteRecordPairs) {
    auto ref = reference(2500);
    // Read 2 longer, read 1 longer, either file cut inside a record (a quality line cut
    // short included), empty lines at the end (no fault) and in the middle (a fault).
    struct Case {
        std::string one, two, message;
    };
    std::string r1 = records(1, 0, 3000), r2 = records(2, 0, 3000);
    std::string r1_short = records(1, 0, 2500), r2_short = records(2, 0, 2500);
    std::string cut = records(2, 2500, 1);
    cut.resize(cut.size() / 2);
    std::string crlf, no_plus = records(2, 2500, 1);
    for (char c : r2_short) crlf += c == '\n' ? "\r\n" : std::string(1, c);
    no_plus[no_plus.find("\n+\n") + 1] = '-';
    const std::string p1 = path("u_1.fq"), p2 = path("u_2.fq");
    std::vector<Case> cases = {
        {r1_short, r2, "Error: " + p1 + " and " + p2 + " hold different numbers of records (2500 complete record pairs counted)\n"},
        {r1, r2_short, "Error: " + p1 + " and " + p2 + " hold different numbers of records (2500 complete record pairs counted)\n"},
        {r1, r2_short + cut, "Error: " + p2 + " ends inside a record (2500 complete record pairs counted)\n"},
        {r1_short + records(1, 2500, 1).substr(0, 30), r2, "Error: " + p1 + " ends inside a record (2500 complete record pairs counted)\n"},
        {r1, r2_short + records(2, 2500, 1).substr(0, records(2, 2500, 1).size() - 3),
         "Error: " + p2 + " ends inside a record (2500 complete record pairs counted)\n"},
        {r1_short + "\n\n" + records(1, 2500, 1), r2,
         "Error: " + p1 + ": line 10001 is empty where a record should begin (2500 complete record pairs counted)\n"},
        {r1_short + "\n\n", r2_short + "\n", ""},
        // A last record without its line end, LF or CRLF, is whole.
        {r1_short.substr(0, r1_short.size() - 1), r2_short, ""},
        {r1_short, crlf.substr(0, crlf.size() - 2), ""},
        // FASTA, or a record without its separator line.
        {r1_short + ">r\nACGT\n", r2,
         "Error: " + p1 + ": line 10001 does not start with '@' where a record should begin (2500 complete record pairs counted)\n"},
        {r1, r2_short + no_plus,
         "Error: " + p2 + ": line 10003 does not start with '+' where a record's separator should be (2500 complete record pairs counted)\n"},
    };
    for (const Case& c : cases) {
        write_file(p1, c.one);
        write_file(p2, c.two);
        PairRun r = both_ways(p1, p2);
        EXPECT_EQ(r.result.status, c.message.empty() ? PairResult::Status::complete : PairResult::Status::incomplete);
        EXPECT_EQ(r.result.message, c.message);
        EXPECT_EQ(r.result.pairs, 2500u);
        EXPECT_TRUE(same_counts(*r.res, *ref));
    }
    // A plain read 1 against a shorter gzip read 2.
    write_file(p1, r1);
    write_gzip(path("u_2.fq.gz"), r2_short, 4096);
    PairRun r = both_ways(p1, path("u_2.fq.gz"));
    EXPECT_EQ(r.result.pairs, 2500u);
    EXPECT_TRUE(same_counts(*r.res, *ref));
}

TEST_F(QcPair, CorruptOrTruncatedGzipIsAnErrorNotAnEnd) {
    write_file(path("c_1.fq"), records(1, 0, 3000));
    write_gzip(path("c_2.fq.gz"), records(2, 0, 3000), 30000);
    std::string gz = wes::test::read_file(path("c_2.fq.gz"));
    write_file(path("t_2.fq.gz"), gz.substr(0, gz.size() * 2 / 3));
    PairRun t = both_ways(path("c_1.fq"), path("t_2.fq.gz"));
    EXPECT_EQ(t.result.status, PairResult::Status::incomplete);
    EXPECT_EQ(t.result.message.rfind("Error: cannot read " + path("t_2.fq.gz") + ": ", 0), 0u) << t.result.message;
    EXPECT_GT(t.result.pairs, 1000u);
    EXPECT_LT(t.result.pairs, 3000u);
    EXPECT_TRUE(same_counts(*t.res, *reference(static_cast<int>(t.result.pairs))));

    std::string bad = gz;
    for (std::size_t i = bad.size() / 2; i < bad.size() / 2 + 64; ++i) bad[i] = static_cast<char>(bad[i] ^ 0x5a);
    write_file(path("x_2.fq.gz"), bad);
    PairRun x = both_ways(path("c_1.fq"), path("x_2.fq.gz"));
    EXPECT_EQ(x.result.status, PairResult::Status::incomplete);
    EXPECT_NE(x.result.message.find(path("x_2.fq.gz")), std::string::npos);
    EXPECT_TRUE(same_counts(*x.res, *reference(static_cast<int>(x.result.pairs))));

    // A bad quality byte in mate 2, deep in a member of megabytes whose checksum fails:
    // the corrupt member is reported, and mate 1 of that record pair is not counted.
    std::string k2 = records(2, 0, 12000);
    break_quality(k2, 4000, 0, ' ');
    write_gzip(path("k_2.fq.gz"), k2);
    gz = wes::test::read_file(path("k_2.fq.gz"));
    gz[gz.size() - 8] = static_cast<char>(gz[gz.size() - 8] ^ 1);  // the member's CRC
    write_file(path("k_2.fq.gz"), gz);
    write_file(path("k_1.fq"), records(1, 0, 12000));
    PairRun k = both_ways(path("k_1.fq"), path("k_2.fq.gz"));
    EXPECT_EQ(k.result.status, PairResult::Status::incomplete);
    EXPECT_EQ(k.result.pairs, 4000u);
    EXPECT_TRUE(same_counts(*k.res, *reference(4000)));
}

TEST_F(QcPair, TheFirstQualityErrorInRecordOrderIsTheOneReported) {
    std::string r1 = records(1, 0, 3000), r2 = records(2, 0, 3000);
    // Read 1 breaks at record 2000, read 2 earlier at record 100: read 2's error.
    std::string a = r1, b = r2;
    break_quality(a, 1999, 0, ' ');
    break_quality(b, 99, 0, ' ');
    write_file(path("q_1.fq"), a);
    write_file(path("q_2.fq"), b);
    PairRun r = both_ways(path("q_1.fq"), path("q_2.fq"));
    EXPECT_EQ(r.result.status, PairResult::Status::quality_error);
    EXPECT_EQ(r.result.message, "MQ error !\t:-1\n");
    // Both in record 100: read 1 is walked first.
    a = r1;
    break_quality(a, 99, 0, '\x7');
    write_file(path("q_1.fq"), a);
    r = both_ways(path("q_1.fq"), path("q_2.fq"));
    EXPECT_EQ(r.result.message.rfind("MQ error !\n", 0), 0u);
    EXPECT_NE(r.result.message.find("\n0\n\x7\n-26\n"), std::string::npos);
    // A quality error past the end of the other file is never reached.
    write_file(path("q_2.fq"), records(2, 0, 1500));
    a = r1;
    break_quality(a, 1999, 0, ' ');
    write_file(path("q_1.fq"), a);
    r = both_ways(path("q_1.fq"), path("q_2.fq"));
    EXPECT_EQ(r.result.status, PairResult::Status::incomplete);
    EXPECT_EQ(r.result.pairs, 1500u);
}

TEST_F(QcPair, LinesOfAnyLengthKeepTheFourLineFraming) {
    // Headers and separators far beyond any line buffer, and reads longer than 160.
    std::string one, two;
    for (int i = 0; i < 40; ++i) {
        std::string h(10000 + i, 'h');
        one += "@" + h + "\n" + std::string(200, 'A') + "\n+" + h + "\n" + std::string(200, 'I') + "\n";
        two += "@" + h + "\n" + std::string(150, 'C') + "\n+\n" + std::string(150, '5') + "\n";
    }
    write_file(path("l_1.fq"), one);
    write_file(path("l_2.fq"), two);
    PairRun r = both_ways(path("l_1.fq"), path("l_2.fq"));
    EXPECT_EQ(r.result.status, PairResult::Status::complete);
    EXPECT_EQ(r.res->pair_number, 80);
    EXPECT_EQ(r.res->base_count[159][1], 40);
    EXPECT_EQ(r.res->qual_count[159][40], 40);
    EXPECT_EQ(r.res->base_count[160 + 149][3], 40);
    EXPECT_EQ(r.res->base_count[160 + 150][3], 0);
    EXPECT_EQ(r.res->long_reads, 40u);
}

// The walk over one read: from cycle 1, each upper-case base letter (A, T, C, G, N) is
// counted with the Phred+33 score of the quality byte at the same position, until the
// first other byte or cycle 160. A quality byte below '!' or of 128 and above at a
// counted position is a quality error.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "counters.hpp"

namespace wes::qc {

namespace detail {
constexpr std::array<std::uint8_t, 256> make_base_column() {
    std::array<std::uint8_t, 256> t{};
    t['A'] = 1;
    t['T'] = 2;
    t['C'] = 3;
    t['G'] = 4;
    t['N'] = 5;
    return t;
}
// Score column 0-40 of a quality byte; k_bad_quality for a byte that is no score.
constexpr std::uint8_t k_bad_quality = 0xff;
constexpr std::array<std::uint8_t, 256> make_qual_column() {
    std::array<std::uint8_t, 256> t{};
    for (int b = 0; b < 256; ++b) {
        int q = static_cast<signed char>(b) - 33;
        t[b] = q < 0 ? k_bad_quality : static_cast<std::uint8_t>(q > k_top_score ? k_top_score : q);
    }
    return t;
}
}  // namespace detail

inline constexpr std::array<std::uint8_t, 256> base_column = detail::make_base_column();
inline constexpr std::array<std::uint8_t, 256> qual_column = detail::make_qual_column();

namespace detail {
// Takes back the counts of the first n bases of a walked read.
inline void uncount(MateCounts& m, const unsigned char* seq, const unsigned char* qual, std::size_t n) {
    for (std::size_t j = 0; j < n; ++j) {
        --m.base[j][base_column[seq[j]]];
        --m.qual[j][qual_column[qual[j]]];
    }
}
}  // namespace detail

// One record's lines as the walk sees them: the sequence and quality lines without
// their newlines; qual_newline tells whether the quality line ended in one.
struct ReadLines {
    std::string_view seq;
    std::string_view qual;
    bool qual_newline = true;
};

// Where a walk met a bad quality byte.
struct BadQuality {
    std::size_t pos = 0;  // position in the read, from 0
    char byte = 0;        // the byte found there (the line's newline, or NUL past a last line)
    int q = 0;            // its score, byte - 33 with the byte taken as signed
};

// Walks one read into m. Returns false at a quality error (bad then says where) and
// leaves m as it was.
inline bool walk_read(MateCounts& m, const ReadLines& r, BadQuality& bad) {
    if (m.since_flush == MateCounts::k_flush_every) m.flush();
    const auto* seq = reinterpret_cast<const unsigned char*>(r.seq.data());
    const auto* qual = reinterpret_cast<const unsigned char*>(r.qual.data());
    const std::size_t limit = r.seq.size() < k_cycles ? r.seq.size() : k_cycles;
    const std::size_t paired = limit < r.qual.size() ? limit : r.qual.size();
    // One pass counts the bases that have a quality byte; the first byte that is no
    // base ends the walk before its quality byte is looked at.
    std::size_t i = 0;
    std::uint8_t b = 0, q = 0;
    for (; i < paired; ++i) {
        b = base_column[seq[i]];
        q = qual_column[qual[i]];
        if (b == 0 || q == detail::k_bad_quality) break;
        ++m.base[i][b];
        ++m.qual[i][q];
    }
    bool failed = false;
    if (i < paired) {
        if (b != 0) {
            failed = true;
            bad.pos = i;
            bad.byte = static_cast<char>(qual[i]);
        }
    } else if (i < limit && base_column[seq[i]]) {
        failed = true;  // the quality line ends before the bases do
        bad.pos = i;
        bad.byte = r.qual_newline ? '\n' : '\0';
    }
    if (failed) {
        bad.q = static_cast<signed char>(bad.byte) - 33;
        detail::uncount(m, seq, qual, i);
        return false;
    }
    if (i == k_cycles && r.seq.size() > k_cycles && base_column[seq[k_cycles]]) ++m.long_reads;
    ++m.records;
    ++m.since_flush;
    return true;
}

// Takes back what the last walk_read counted of r (the narrow tables still hold it:
// they are flushed only at the start of a walk).
inline void unwalk_read(MateCounts& m, const ReadLines& r) {
    const auto* seq = reinterpret_cast<const unsigned char*>(r.seq.data());
    const auto* qual = reinterpret_cast<const unsigned char*>(r.qual.data());
    const std::size_t limit = r.seq.size() < k_cycles ? r.seq.size() : k_cycles;
    std::size_t i = 0;
    while (i < limit && base_column[seq[i]]) ++i;
    detail::uncount(m, seq, qual, i);
    if (i == k_cycles && r.seq.size() > k_cycles && base_column[seq[k_cycles]]) --m.long_reads;
    --m.records;
    --m.since_flush;
}

// The message of a quality error, as printed: for read 1 the block with the sequence
// and quality lines, the position, the byte and its score; for read 2 one line.
std::string quality_error_text(int mate, const ReadLines& r, const BadQuality& bad);

}  // namespace wes::qc

// Duplication of read pairs, estimated as common QC tools do it: the distinct sequences
// of the first k_tracked_pairs read pairs are tracked (a pair's sequence is the first
// k_prefix bases of read 1 and of read 2, kept as a 64-bit fingerprint), and every later
// pair is counted against them. Memory is bounded: a table of 2^18 fingerprints and
// counts (4 MiB), and the bases of the tracked sequences seen twice (at most
// k_tracked_pairs of them, 102 bytes each).
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "report_format.hpp"

namespace wes::qc {

// The fingerprint of a read pair's sequence (never 0).
std::uint64_t pair_fingerprint(std::string_view seq1, std::string_view seq2);

// A tracked sequence of more than one read pair in k_overrepresented_per.
struct Overrepresented {
    std::uint64_t pairs = 0;
    std::string read1, read2;  // their first k_prefix bases
};

// One duplication level: the tracked sequences with that many copies (the last level:
// k_dup_levels and more), the read pairs they hold, and the estimated share of all read
// pairs that are at this level.
struct DupLevel {
    std::uint64_t sequences = 0, pairs = 0;
    double share = 0;
};

struct Duplication {
    std::uint64_t tracked_sequences = 0, tracked_pairs = 0;
    double duplicate_share = 0;  // estimated share of read pairs that repeat an earlier one; NaN without pairs
    std::array<DupLevel, k_dup_levels> levels{};
    std::vector<Overrepresented> overrepresented;  // most pairs first
};

class DuplicateTracker {
public:
    DuplicateTracker();
    // Brings the fingerprint's place in the table into the cache ahead of add.
    void prefetch(std::uint64_t key) const { __builtin_prefetch(&slots_[slot_of(key)]); }
    // Counts one read pair (its fingerprint, its sequences).
    void add(std::uint64_t key, std::string_view seq1, std::string_view seq2);
    std::uint64_t pairs() const { return pairs_; }
    Duplication summarize() const;

private:
    static constexpr int k_slot_bits = 18;
    struct Slot {
        std::uint64_t key = 0, count = 0;
    };
    static std::size_t slot_of(std::uint64_t key) { return static_cast<std::size_t>(key >> (64 - k_slot_bits)); }
    void keep_bases(std::size_t slot, std::string_view seq1, std::string_view seq2);

    struct Free {
        void operator()(void* p) const { std::free(p); }
    };
    static constexpr std::size_t k_table_bytes = sizeof(Slot) << k_slot_bits;
    std::unique_ptr<Slot[], Free> slots_;  // on 2 MiB pages where it can (table_memory in duplicates.cpp)
    std::unique_ptr<std::uint32_t[], Free> kept_;  // per slot: 1 + the index of its bases in bases_, or 0
    std::vector<char> bases_;                       // per kept sequence: two lengths, then 2 x k_prefix bytes
    std::uint64_t pairs_ = 0, sequences_ = 0;
};

namespace detail {
// The chance that a sequence with copies copies among total read pairs has one among
// the first tracked of them (all in a random order).
double chance_tracked(std::uint64_t copies, std::uint64_t total, std::uint64_t tracked);
}  // namespace detail

}  // namespace wes::qc

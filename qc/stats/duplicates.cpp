#include "duplicates.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include <sys/mman.h>

#include "read_figures.hpp"

namespace wes::qc {

namespace {

// 64 x 64 -> 128-bit multiply, folded: the mixing step of the fingerprint.
std::uint64_t mix(std::uint64_t a, std::uint64_t b) {
    unsigned __int128 r = static_cast<unsigned __int128>(a) * b;
    return static_cast<std::uint64_t>(r) ^ static_cast<std::uint64_t>(r >> 64);
}
constexpr std::uint64_t k_seed[] = {0xa0761d6478bd642full, 0xe7037ed1a0b428dbull, 0x8ebc6af09c88c6e3ull,
                                    0x589965cc75374cc3ull, 0x1d8e4e27c47d124full};

std::uint64_t word(const char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// The first k_prefix bytes of a read (fewer in a shorter one): 16 at a time, the last 16
// read whole even where they overlap the ones before.
std::uint64_t prefix_hash(std::string_view seq) {
    const std::size_t n = std::min(without_cr(seq).size(), k_prefix);
    const char* p = seq.data();
    std::uint64_t h = mix(n ^ k_seed[0], k_seed[1]);
    if (n < 16) {
        char tail[16] = {};
        for (std::size_t i = 0; i < n; ++i) tail[i] = p[i];
        return mix(word(tail) ^ k_seed[2] ^ h, word(tail + 8) ^ k_seed[3]);
    }
    for (std::size_t i = 0; i + 16 < n; i += 16) h = mix(word(p + i) ^ k_seed[2] ^ h, word(p + i + 8) ^ k_seed[3]);
    return mix(word(p + n - 16) ^ k_seed[2] ^ h, word(p + n - 8) ^ k_seed[3]);
}

constexpr std::size_t k_kept_size = 2 + 2 * k_prefix;  // two lengths, two prefixes

// size zeroed bytes (a multiple of 2 MiB) on a 2 MiB boundary, marked for huge pages
// where the system has them; nullptr when there is no memory. Each read pair looks at a
// random place of the table: with 4 KiB pages the processor would walk its page tables
// for most of them (2 x 1,000,000 plain pairs: 0.37 -> 0.36 s, fastest of 11 interleaved runs;
// the look-up's share of the samples 3.9% -> 2.8%). Zeroed after the hint, so that the
// pages are taken huge; 4 MiB cost well under a millisecond.
void* table_memory(std::size_t size) {
    constexpr std::size_t huge = std::size_t{2} << 20;
    void* p = std::aligned_alloc(huge, size);
    if (!p) return nullptr;
#if defined(MADV_HUGEPAGE)
    madvise(p, size, MADV_HUGEPAGE);  // a refusal leaves 4 KiB pages
#endif
    return std::memset(p, 0, size);
}

}  // namespace

std::uint64_t pair_fingerprint(std::string_view seq1, std::string_view seq2) {
    std::uint64_t key = mix(prefix_hash(seq1) ^ k_seed[4], prefix_hash(seq2) ^ k_seed[1]);
    return key == 0 ? 1 : key;
}

DuplicateTracker::DuplicateTracker()
    : slots_(static_cast<Slot*>(table_memory(k_table_bytes))),
      kept_(static_cast<std::uint32_t*>(std::calloc(std::size_t{1} << k_slot_bits, sizeof(std::uint32_t)))) {
    if (!slots_ || !kept_) throw std::bad_alloc();
    bases_.reserve(k_tracked_pairs * k_kept_size);  // never moved; its pages are taken as they fill
}

void DuplicateTracker::add(std::uint64_t key, std::string_view seq1, std::string_view seq2) {
    ++pairs_;
    constexpr std::size_t mask = (std::size_t{1} << k_slot_bits) - 1;
    // Open addressing; the table holds at most k_tracked_pairs of its 2^18 places.
    for (std::size_t i = slot_of(key);; i = (i + 1) & mask) {
        Slot& s = slots_[i];
        if (s.key == key) {
            if (++s.count == 2) keep_bases(i, seq1, seq2);
            return;
        }
        if (s.key == 0) {
            if (pairs_ <= k_tracked_pairs) {
                s.key = key;
                s.count = 1;
                ++sequences_;
            }
            return;
        }
    }
}

// A sequence seen the second time keeps its bases, for the list of overrepresented ones.
void DuplicateTracker::keep_bases(std::size_t slot, std::string_view seq1, std::string_view seq2) {
    const std::size_t at = bases_.size();
    bases_.resize(at + k_kept_size);
    char* p = bases_.data() + at;
    for (std::string_view s : {seq1, seq2}) {
        const std::size_t n = std::min(without_cr(s).size(), k_prefix);
        *p++ = static_cast<char>(n);
        std::memcpy(p, s.data(), n);
        p += k_prefix;
    }
    kept_[slot] = static_cast<std::uint32_t>(at / k_kept_size + 1);
}

double detail::chance_tracked(std::uint64_t copies, std::uint64_t total, std::uint64_t tracked) {
    if (tracked >= total || copies > total - tracked) return 1;
    // 1 - (chance that none of the copies is among the first tracked pairs): the
    // product of (total - tracked - i) / (total - i) for i below copies.
    double none = 1;
    if (copies <= 64) {
        for (std::uint64_t i = 0; i < copies; ++i)
            none *= static_cast<double>(total - tracked - i) / static_cast<double>(total - i);
    } else {
        auto lg = [](std::uint64_t n) { return std::lgamma(static_cast<double>(n) + 1); };
        none = std::exp(lg(total - tracked) - lg(total - tracked - copies) - lg(total) + lg(total - copies));
    }
    return 1 - none;
}

Duplication DuplicateTracker::summarize() const {
    Duplication d;
    d.tracked_sequences = sequences_;
    const std::uint64_t window = std::min(pairs_, k_tracked_pairs);
    // Each tracked sequence stands for 1 / chance of the run's sequences with as many
    // copies: a sequence with more copies is more likely to show among the first pairs.
    std::array<double, k_dup_levels> level_pairs{};
    double sequences = 0, all_pairs = 0;
    for (std::size_t i = 0; i < (std::size_t{1} << k_slot_bits); ++i) {
        const Slot& s = slots_[i];
        if (s.key == 0) continue;
        d.tracked_pairs += s.count;
        DupLevel& level = d.levels[std::min<std::uint64_t>(s.count, k_dup_levels) - 1];
        ++level.sequences;
        level.pairs += s.count;
        const double weight = 1 / detail::chance_tracked(s.count, pairs_, window);
        sequences += weight;
        all_pairs += weight * static_cast<double>(s.count);
        level_pairs[static_cast<std::size_t>(&level - d.levels.data())] += weight * static_cast<double>(s.count);
        if (s.count >= 2 && s.count * k_overrepresented_per > pairs_) {
            const char* kept = bases_.data() + (kept_[i] - 1) * k_kept_size;
            d.overrepresented.push_back({s.count, std::string(kept + 1, static_cast<unsigned char>(kept[0])),
                                         std::string(kept + 2 + k_prefix, static_cast<unsigned char>(kept[1 + k_prefix]))});
        }
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    d.duplicate_share = all_pairs > 0 ? 1 - sequences / all_pairs : nan;
    for (std::size_t l = 0; l < d.levels.size(); ++l) d.levels[l].share = all_pairs > 0 ? level_pairs[l] / all_pairs : nan;
    std::sort(d.overrepresented.begin(), d.overrepresented.end(), [](const Overrepresented& a, const Overrepresented& b) {
        if (a.pairs != b.pairs) return a.pairs > b.pairs;
        return a.read1 != b.read1 ? a.read1 < b.read1 : a.read2 < b.read2;
    });
    return d;
}

}  // namespace wes::qc

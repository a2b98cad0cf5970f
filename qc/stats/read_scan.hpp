// The scans behind a read's figures, written once over a vector width: W is a set of
// vector operations (16-byte SSE2 in read_figures.cpp, 32-byte AVX2 in
// read_figures_avx2.cpp, each file compiled for its own instruction set). Everything
// here has internal linkage on purpose: no function compiled for AVX2 may be shared, by
// the linker, with the code that runs on a processor without it. So no library
// templates either, only plain arrays and pointers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "report_format.hpp"

namespace wes::qc {

// What the scans of one read found.
struct ReadScan {
    std::size_t gc = 0;           // bytes G, C, g, c of the sequence
    std::uint64_t qual_sum = 0;   // the quality line's bytes, added up
    int adapter = -1;             // the adapter that starts first, -1 none
    std::size_t adapter_at = 0;   // where, from 0
};

namespace {  // one copy per instruction set, see above

using ScanBytes = const unsigned char*;

// The adapters' first 12 bases in lower case (letters | 0x20), as words.
struct AdapterWords {
    std::uint64_t head;  // bases 0-7
    std::uint32_t tail;  // bases 8-11
};
constexpr std::uint64_t k_fold64 = 0x2020202020202020ull;
constexpr std::uint32_t k_fold32 = 0x20202020u;
constexpr std::uint64_t little_word(const char* s, int n) {
    std::uint64_t w = 0;
    for (int i = 0; i < n; ++i) w |= static_cast<std::uint64_t>(static_cast<unsigned char>(s[i] | 0x20)) << (8 * i);
    return w;
}
constexpr AdapterWords k_adapter_words[] = {
    {little_word(k_adapters[0].start, 8), static_cast<std::uint32_t>(little_word(k_adapters[0].start + 8, 4))},
    {little_word(k_adapters[1].start, 8), static_cast<std::uint32_t>(little_word(k_adapters[1].start + 8, 4))},
    {little_word(k_adapters[2].start, 8), static_cast<std::uint32_t>(little_word(k_adapters[2].start + 8, 4))},
};
static_assert(k_adapters.size() == 3 && k_adapter_bases == 12);
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the adapter words are little-endian");

// Which adapter's 12 bases start at p (the 12 bytes readable), -1 none.
inline int adapter_at(ScanBytes p) {
    std::uint64_t head;
    std::uint32_t tail;
    std::memcpy(&head, p, sizeof head);
    std::memcpy(&tail, p + 8, sizeof tail);
    head |= k_fold64;
    tail |= k_fold32;
    for (int a = 0; a < 3; ++a)
        if (head == k_adapter_words[a].head && tail == k_adapter_words[a].tail) return a;
    return -1;
}

inline int find_adapter_bytewise(ScanBytes s, std::size_t n, std::size_t& at) {
    for (std::size_t p = 0; p + k_adapter_bases <= n; ++p) {
        int a = adapter_at(s + p);
        if (a >= 0) {
            at = p;
            return a;
        }
    }
    return -1;
}

// G and C in either case: the bytes that are 0x43 once bits 0x20 and 0x04 are cleared.
constexpr unsigned char k_gc_keep = 0xdb, k_gc_is = 0x43;

inline std::size_t gc_bytewise(ScanBytes s, std::size_t n) {
    std::size_t gc = 0;
    for (std::size_t i = 0; i < n; ++i) gc += (s[i] & k_gc_keep) == k_gc_is;
    return gc;
}

inline std::uint64_t sum_bytewise(ScanBytes s, std::size_t n) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += s[i];
    return sum;
}

// 32 bytes 0, then 32 bytes 0xff: a block's last r bytes are those under the W::width
// bytes read from 32 - width + r.
alignas(64) constexpr unsigned char k_ramp[64] = {
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
    0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};

template <typename W>
typename W::V last_bytes(std::size_t r) {
    return W::load(k_ramp + 32 - W::width + r);
}

template <typename W>
std::size_t gc_count(ScanBytes s, std::size_t n) {
    using V = typename W::V;
    if (n < W::width) return gc_bytewise(s, n);
    const V keep = W::set1(k_gc_keep), is = W::set1(k_gc_is);
    V sums = W::zero(), bytes = W::zero();  // bytes: per-lane counts of up to 255 blocks
    std::size_t i = 0;
    for (int held = 0; i + W::width <= n; i += W::width) {
        bytes = W::sub8(bytes, W::eq8(W::and_(W::load(s + i), keep), is));
        if (++held == 255) {
            sums = W::add64(sums, W::sad(bytes));
            bytes = W::zero();
            held = 0;
        }
    }
    if (i < n)
        bytes = W::sub8(bytes, W::and_(W::eq8(W::and_(W::load(s + n - W::width), keep), is), last_bytes<W>(n - i)));
    return static_cast<std::size_t>(W::lanes64(W::add64(sums, W::sad(bytes))));
}

template <typename W>
std::uint64_t byte_sum(ScanBytes s, std::size_t n) {
    using V = typename W::V;
    if (n < W::width) return sum_bytewise(s, n);
    V sums = W::zero();
    std::size_t i = 0;
    for (; i + W::width <= n; i += W::width) sums = W::add64(sums, W::sad(W::load(s + i)));
    if (i < n) sums = W::add64(sums, W::sad(W::and_(W::load(s + n - W::width), last_bytes<W>(n - i))));
    return W::lanes64(sums);
}

// A base's 2-bit code is (byte >> 1) & 3: A 0, C 1, T 2, G 3, in either case (other
// bytes fall on one of them too: candidates are compared whole after). The code of 4
// bases holds base k in bits 2k and 2k + 1.
constexpr unsigned char code4(const char* bases) {
    int code = 0;
    for (int k = 0; k < 4; ++k) code |= ((bases[k] >> 1) & 3) << (2 * k);
    return static_cast<unsigned char>(code);
}
// The codes of each adapter's bases 1-4 and 5-8, as plain numbers (nothing of the
// library's is called from here, see above).
constexpr unsigned char k_head_code[3][2] = {
    {code4(k_adapters[0].start), code4(k_adapters[0].start + 4)},
    {code4(k_adapters[1].start), code4(k_adapters[1].start + 4)},
    {code4(k_adapters[2].start), code4(k_adapters[2].start + 4)},
};

// Lane k: the code of the 4 bases at s + k (reads bytes s .. s + width + 2). Bits 1-2 of
// each byte are the code; the 16-bit shifts move them within their byte.
template <typename W>
__attribute__((always_inline)) inline typename W::V codes4(ScanBytes s) {
    const typename W::V bits = W::set1(0x06);
    return W::or_(W::or_(W::srl16(W::and_(W::load(s), bits), 1), W::sll16(W::and_(W::load(s + 1), bits), 1)),
                  W::or_(W::sll16(W::and_(W::load(s + 2), bits), 3), W::sll16(W::and_(W::load(s + 3), bits), 5)));
}

// Bit k is set where the 8 bases at position k of a block have the codes of an
// adapter's first 8, from the codes of the block (here) and of the next one. Random
// bases do so at one position in 20,000, so the candidates, and the branches they take,
// are rare.
template <typename W>
__attribute__((always_inline)) inline std::uint64_t candidates4(typename W::V here, typename W::V plus4) {
    using V = typename W::V;
    V m = W::zero();
    for (int a = 0; a < 3; ++a)
        m = W::or_(m, W::and_(W::eq8(here, W::set1(k_head_code[a][0])), W::eq8(plus4, W::set1(k_head_code[a][1]))));
    return W::movemask(m);
}
template <typename W>
__attribute__((always_inline)) inline std::uint64_t candidates(typename W::V here, typename W::V next) {
    return candidates4<W>(here, W::shift4(here, next));
}

// The first of the anchors in mask (bit k: position base + k) that is a whole adapter start.
inline int first_adapter(ScanBytes s, std::size_t base, std::uint64_t mask, std::size_t& at) {
    for (; mask != 0; mask &= mask - 1) {
        std::size_t p = base + static_cast<std::size_t>(__builtin_ctzll(mask));
        int a = adapter_at(s + p);
        if (a >= 0) {
            at = p;
            return a;
        }
    }
    return -1;
}

// A read shorter than w + 7 bases: its positions from a zero-padded copy.
template <typename W>
int find_adapter_short(ScanBytes s, std::size_t n, std::size_t& at) {
    constexpr std::size_t w = W::width;
    unsigned char rest[3 * w] = {};
    std::memcpy(rest, s, n);
    const typename W::V c0 = codes4<W>(rest), c1 = codes4<W>(rest + w);
    std::uint64_t mask = candidates<W>(c0, c1);
    mask &= (std::uint64_t{2} << (n - k_adapter_bases)) - 1;
    return first_adapter(rest, 0, mask, at);
}

template <typename W>
int find_adapter_in(ScanBytes s, std::size_t n, std::size_t& at) {
    if (n < k_adapter_bases) return -1;
    constexpr std::size_t w = W::width;
    if (n < w + 7) return find_adapter_short<W>(s, n, at);
    const std::size_t last = n - k_adapter_bases;  // the last position an adapter can start at
    std::size_t i = 0;
    // Blocks of w positions, each block's codes computed once: while the next block's
    // codes can be read in the read.
    if (n >= 2 * w + 3) {
        typename W::V here = codes4<W>(s);
        for (; i + 2 * w + 3 <= n; i += w) {
            const typename W::V next = codes4<W>(s + i + w);
            if (std::uint64_t mask = candidates<W>(here, next); __builtin_expect(mask != 0, 0))
                if (int a = first_adapter(s, i, mask, at); a >= 0) return a;
            here = next;
        }
    }
    // The positions left (fewer than 2w - 9): blocks whose codes 4 bases on are read
    // directly, the last one ending with the read (it starts at j, before i). Reading in
    // place, not from a padded copy, spares a library call and a copy whose bytes are
    // read back at once: the loads that waited on its stores took a third of this
    // scan's samples (perf, plain pair); 1,382M -> 1,379M instructions on 200k pairs.
    for (; i <= last; i += w) {
        const std::size_t j = i < n - w - 7 ? i : n - w - 7;
        std::uint64_t mask = candidates4<W>(codes4<W>(s + j), codes4<W>(s + j + 4)) >> (i - j);
        mask &= (std::uint64_t{2} << (last - i)) - 1;
        if (__builtin_expect(mask != 0, 0))
            if (int a = first_adapter(s, i, mask, at); a >= 0) return a;
    }
    return -1;
}

template <typename W>
ReadScan scan_read(ScanBytes seq, std::size_t seq_n, ScanBytes qual, std::size_t qual_n) {
    ReadScan r;
    r.gc = gc_count<W>(seq, seq_n);
    r.qual_sum = byte_sum<W>(qual, qual_n);
    r.adapter = find_adapter_in<W>(seq, seq_n, r.adapter_at);
    return r;
}

inline ReadScan scan_read_bytewise(ScanBytes seq, std::size_t seq_n, ScanBytes qual, std::size_t qual_n) {
    ReadScan r;
    r.gc = gc_bytewise(seq, seq_n);
    r.qual_sum = sum_bytewise(qual, qual_n);
    r.adapter = find_adapter_bytewise(seq, seq_n, r.adapter_at);
    return r;
}

}  // namespace

}  // namespace wes::qc

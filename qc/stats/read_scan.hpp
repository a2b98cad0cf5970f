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

// The adapters' first 4 bases, lower case, as plain arrays (nothing of the library's
// is called from here, see above).
constexpr unsigned char anchor_base(int a, int k) {
    return static_cast<unsigned char>(k_adapters[static_cast<std::size_t>(a)].start[k] | 0x20);
}
constexpr unsigned char k_anchor[3][4] = {
    {anchor_base(0, 0), anchor_base(0, 1), anchor_base(0, 2), anchor_base(0, 3)},
    {anchor_base(1, 0), anchor_base(1, 1), anchor_base(1, 2), anchor_base(1, 3)},
    {anchor_base(2, 0), anchor_base(2, 1), anchor_base(2, 2), anchor_base(2, 3)},
};
// They share letters: the 2nd of adapters 0 and 2, the 3rd of 1 and 2, the 4th of 0 and 1.
static_assert(k_anchor[0][1] == k_anchor[2][1] && k_anchor[1][2] == k_anchor[2][2] && k_anchor[0][3] == k_anchor[1][3]);

// W::width positions at once: bit k is set where the 4 bytes at s + k (either case) are
// the first 4 bases of an adapter (reads bytes s .. s + width + 2).
template <typename W>
__attribute__((always_inline)) inline std::uint64_t anchors(ScanBytes s) {
    using V = typename W::V;
    const V fold = W::set1(0x20);
    const V b0 = W::or_(W::load(s), fold), b1 = W::or_(W::load(s + 1), fold), b2 = W::or_(W::load(s + 2), fold),
            b3 = W::or_(W::load(s + 3), fold);
    const V g1 = W::eq8(b1, W::set1(k_anchor[0][1])), g2 = W::eq8(b2, W::set1(k_anchor[1][2])),
            t3 = W::eq8(b3, W::set1(k_anchor[0][3]));
    V m = W::and_(W::and_(W::eq8(b0, W::set1(k_anchor[0][0])), g1), W::and_(W::eq8(b2, W::set1(k_anchor[0][2])), t3));
    m = W::or_(m, W::and_(W::and_(W::eq8(b0, W::set1(k_anchor[1][0])), W::eq8(b1, W::set1(k_anchor[1][1]))),
                          W::and_(g2, t3)));
    m = W::or_(m, W::and_(W::and_(W::eq8(b0, W::set1(k_anchor[2][0])), g1),
                          W::and_(g2, W::eq8(b3, W::set1(k_anchor[2][3])))));
    return W::movemask(m);
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

template <typename W>
int find_adapter_in(ScanBytes s, std::size_t n, std::size_t& at) {
    if (n < k_adapter_bases) return -1;
    const std::size_t last = n - k_adapter_bases;  // the last position an adapter can start at
    if (last + 1 < W::width) {
        // A short read: from a zero-padded copy.
        unsigned char copy[2 * W::width] = {};
        std::memcpy(copy, s, n);
        return first_adapter(copy, 0, anchors<W>(copy) & ((std::uint64_t{2} << last) - 1), at);
    }
    std::size_t i = 0;
    for (; i + W::width <= last + 1; i += W::width)  // blocks of positions that all can start one
        if (std::uint64_t mask = anchors<W>(s + i); mask != 0)
            if (int a = first_adapter(s, i, mask, at); a >= 0) return a;
    if (i > last) return -1;
    // The positions left, in the block that ends at the last one (those before i are
    // looked at already).
    const std::size_t j = last + 1 - W::width;
    return first_adapter(s, j, anchors<W>(s + j) & (~std::uint64_t{0} << (i - j)), at);
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

#include "read_figures.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "read_scan.hpp"

namespace wes::qc {

#if defined(WES_SCAN_AVX2)
// read_figures_avx2.cpp, compiled for processors with AVX2: called only on one.
ReadScan scan_read_avx2(const unsigned char* seq, std::size_t seq_n, const unsigned char* qual, std::size_t qual_n);
#endif

namespace {

#if defined(__SSE2__)
struct Sse2 {
    using V = __m128i;
    static constexpr std::size_t width = 16;
    static V load(ScanBytes p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static V set1(unsigned char c) { return _mm_set1_epi8(static_cast<char>(c)); }
    static V zero() { return _mm_setzero_si128(); }
    static V and_(V a, V b) { return _mm_and_si128(a, b); }
    static V or_(V a, V b) { return _mm_or_si128(a, b); }
    static V eq8(V a, V b) { return _mm_cmpeq_epi8(a, b); }
    static V srl16(V a, int n) { return _mm_srli_epi16(a, n); }
    static V sll16(V a, int n) { return _mm_slli_epi16(a, n); }
    // Bytes 4-15 of a, then 0-3 of b.
    static V shift4(V a, V b) { return _mm_or_si128(_mm_srli_si128(a, 4), _mm_slli_si128(b, 12)); }
    static V sub8(V a, V b) { return _mm_sub_epi8(a, b); }
    static V add64(V a, V b) { return _mm_add_epi64(a, b); }
    static V sad(V a) { return _mm_sad_epu8(a, _mm_setzero_si128()); }
    static std::uint64_t movemask(V a) { return static_cast<std::uint32_t>(_mm_movemask_epi8(a)); }
    static std::uint64_t lanes64(V a) {
        return static_cast<std::uint64_t>(_mm_cvtsi128_si64(a)) +
               static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(a, a)));
    }
};
#endif

using Scanner = ReadScan (*)(ScanBytes, std::size_t, ScanBytes, std::size_t);

Scanner scanner_for(detail::Scan s) {
    switch (s) {
#if defined(WES_SCAN_AVX2)
        case detail::Scan::avx2: return scan_read_avx2;
#endif
#if defined(__SSE2__)
        case detail::Scan::sse2: return scan_read<Sse2>;
#endif
        default: return scan_read_bytewise;
    }
}

// The widest scan this processor runs.
detail::Scan best_scan() {
#if defined(WES_SCAN_AVX2)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return detail::Scan::avx2;
#endif
#if defined(__SSE2__)
    return detail::Scan::sse2;
#else
    return detail::Scan::bytewise;
#endif
}

const Scanner k_scanner = scanner_for(best_scan());

ScanBytes bytes(std::string_view s) { return reinterpret_cast<ScanBytes>(s.data()); }

// a / b, in 32 bits where both fit (a division of its own width is the faster one).
std::uint64_t quotient(std::uint64_t a, std::uint64_t b) {
    if (a <= 0xffffffffu) return static_cast<std::uint32_t>(a) / static_cast<std::uint32_t>(b);
    return a / b;
}

ReadFigures figures(Scanner scan, std::string_view seq, std::string_view qual) {
    seq = without_cr(seq);
    qual = without_cr(qual);
    const ReadScan r = scan(bytes(seq), seq.size(), bytes(qual), qual.size());
    ReadFigures f;
    f.length = seq.size();
    if (!seq.empty())
        f.gc_percent = static_cast<int>(quotient(200 * static_cast<std::uint64_t>(r.gc) + seq.size(), 2 * seq.size()));
    if (!qual.empty()) {
        // The mean of byte - 33 over the line, its whole part, within 0 to 93.
        const std::uint64_t offset = 33 * static_cast<std::uint64_t>(qual.size());
        const std::uint64_t mean = r.qual_sum > offset ? quotient(r.qual_sum - offset, qual.size()) : 0;
        f.mean_quality = mean > k_top_mean_score ? k_top_mean_score : static_cast<int>(mean);
    }
    f.adapter = r.adapter;
    f.adapter_at = r.adapter_at;
    return f;
}

}  // namespace

ReadFigures read_figures(std::string_view seq, std::string_view qual) { return figures(k_scanner, seq, qual); }

int find_adapter(std::string_view seq, std::size_t& at) {
    return find_adapter_bytewise(bytes(seq), seq.size(), at);
}

bool detail::scan_runs(Scan s) {
    switch (s) {
        case Scan::bytewise: return true;
        case Scan::sse2:
#if defined(__SSE2__)
            return true;
#else
            return false;
#endif
        case Scan::avx2: return best_scan() == Scan::avx2;
    }
    return false;
}

ReadFigures detail::read_figures_by(Scan s, std::string_view seq, std::string_view qual) {
    return figures(scanner_for(s), seq, qual);
}

}  // namespace wes::qc

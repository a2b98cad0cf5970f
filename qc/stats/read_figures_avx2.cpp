// The scans of read_scan.hpp, 32 bytes at a time. This file alone is compiled for AVX2;
// read_figures.cpp calls it only on a processor that has it.
#include <immintrin.h>

#include "read_scan.hpp"

namespace wes::qc {

namespace {

struct Avx2 {
    using V = __m256i;
    static constexpr std::size_t width = 32;
    static V load(ScanBytes p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static V set1(unsigned char c) { return _mm256_set1_epi8(static_cast<char>(c)); }
    static V zero() { return _mm256_setzero_si256(); }
    static V and_(V a, V b) { return _mm256_and_si256(a, b); }
    static V or_(V a, V b) { return _mm256_or_si256(a, b); }
    static V eq8(V a, V b) { return _mm256_cmpeq_epi8(a, b); }
    static V srl16(V a, int n) { return _mm256_srli_epi16(a, n); }
    static V sll16(V a, int n) { return _mm256_slli_epi16(a, n); }
    // Bytes 4-31 of a, then 0-3 of b.
    static V shift4(V a, V b) { return _mm256_alignr_epi8(_mm256_permute2x128_si256(a, b, 0x21), a, 4); }
    static V sub8(V a, V b) { return _mm256_sub_epi8(a, b); }
    static V add64(V a, V b) { return _mm256_add_epi64(a, b); }
    static V sad(V a) { return _mm256_sad_epu8(a, _mm256_setzero_si256()); }
    static std::uint64_t movemask(V a) { return static_cast<std::uint32_t>(_mm256_movemask_epi8(a)); }
    static std::uint64_t lanes64(V a) {
        const __m128i s = _mm_add_epi64(_mm256_castsi256_si128(a), _mm256_extracti128_si256(a, 1));
        return static_cast<std::uint64_t>(_mm_cvtsi128_si64(s)) +
               static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(s, s)));
    }
};

}  // namespace

ReadScan scan_read_avx2(const unsigned char* seq, std::size_t seq_n, const unsigned char* qual, std::size_t qual_n) {
    return scan_read<Avx2>(seq, seq_n, qual, qual_n);
}

}  // namespace wes::qc

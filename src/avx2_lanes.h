// The lane method's geometry on 256-bit AVX2 vectors: 32 lanes of 16 bytes,
// lanes 0 to 15 in the low 128 bits and 16 to 31 in the high 128 bits, so
// that loading and storing are byte transposes within each 128-bit half of
// rows that each take 16 bytes from the first and 16 from the second half of
// the block. (Rows of 32 consecutive bytes, lanes alternating between the
// halves, make most lane shifts cheaper, but their loads and stores often
// straddle cache lines, and they measured slower.) For the files compiled for
// AVX2, each of which takes its own copy.
#ifndef J6ENC_AVX2_LANES_H
#define J6ENC_AVX2_LANES_H

#include <cstddef>
#include <cstdint>
#include <immintrin.h>

#include "byte_transpose.h"

// An unnamed namespace on purpose: every file that includes this is compiled
// for its own instruction set and must keep its own copy of these functions.
namespace { // NOLINT(cert-dcl59-cpp)

struct Avx2Lanes {
    static constexpr unsigned LANES = 32;
    using Vector = __m256i;

    static Vector bitwise_xor(Vector a, Vector b) { return _mm256_xor_si256(a, b); }

    template <unsigned COUNT> static Vector shift_lanes(Vector v)
    {
        // The low half moved up into the high half, zeros below it.
        const Vector low_up = _mm256_permute2x128_si256(v, v, 0x08);
        if constexpr (COUNT == 16) {
            return low_up;
        } else {
            static_assert(COUNT < 16);
            return _mm256_alignr_epi8(v, low_up, 16 - COUNT);
        }
    }

    static Vector first_lane(std::uint8_t byte) { return _mm256_set_epi64x(0, 0, 0, byte); }

    template <unsigned WIDTH, bool HIGH> static Vector interleave(Vector a, Vector b)
    {
        if constexpr (WIDTH == 1) {
            return HIGH ? _mm256_unpackhi_epi8(a, b) : _mm256_unpacklo_epi8(a, b);
        } else if constexpr (WIDTH == 2) {
            return HIGH ? _mm256_unpackhi_epi16(a, b) : _mm256_unpacklo_epi16(a, b);
        } else if constexpr (WIDTH == 4) {
            return HIGH ? _mm256_unpackhi_epi32(a, b) : _mm256_unpacklo_epi32(a, b);
        } else {
            return HIGH ? _mm256_unpackhi_epi64(a, b) : _mm256_unpacklo_epi64(a, b);
        }
    }

    // Row m: lane m in the low half, lane m + 16 in the high half.
    static void load(const std::uint8_t* block, Vector bytes[16])
    {
        Vector rows[16];
#pragma GCC unroll 64
        for (std::size_t m = 0; m < 16; ++m) {
            rows[m] = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(block + 256 + 16 * m),
                                          reinterpret_cast<const __m128i*>(block + 16 * m));
        }
        j6enc::lanes::transpose_16x16<Avx2Lanes>(rows, bytes);
    }

    static void store(std::uint8_t* block, const Vector bytes[16])
    {
        Vector rows[16];
        j6enc::lanes::transpose_16x16<Avx2Lanes>(bytes, rows);
#pragma GCC unroll 64
        for (std::size_t m = 0; m < 16; ++m) {
            _mm256_storeu2_m128i(reinterpret_cast<__m128i*>(block + 256 + 16 * m),
                                 reinterpret_cast<__m128i*>(block + 16 * m), rows[m]);
        }
    }
};

} // namespace

#endif

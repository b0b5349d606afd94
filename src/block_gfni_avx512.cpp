// The gfni_avx512 path, on x86-64 with GFNI and AVX-512 (F, BW, VBMI): the
// lane method on 64 lanes of 8 bytes, each bit-matrix product one affine
// instruction (vgf2p8affineqb), runs of blocks in groups of
// GROUP_gfni_avx512. Compiled for those extensions.
#include "block_paths.h"

#if J6ENC_X86_PATHS

#include <cstddef>
#include <cstdint>
#include <immintrin.h>

#include "lane_method.h"

// g++ 12 reports the deliberately undefined start values inside its own
// AVX-512 intrinsics as uninitialised (fixed in later releases).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace {

// 64 byte indices for a byte permutation (vpermb).
struct ByteIndex {
    alignas(64) std::uint8_t byte[64];
};

// Byte 8k + j takes byte 8j + k: transposes the 8 x 8 bytes of a vector.
constexpr ByteIndex byte_transpose()
{
    ByteIndex index{};
    for (unsigned k = 0; k < 8; ++k) {
        for (unsigned j = 0; j < 8; ++j) {
            index.byte[8 * k + j] = static_cast<std::uint8_t>(8 * j + k);
        }
    }
    return index;
}

// Byte l takes byte l - count (the bytes below `count` are masked to zero).
constexpr ByteIndex lanes_up(unsigned count)
{
    ByteIndex index{};
    for (unsigned l = 0; l < 64; ++l) {
        index.byte[l] = static_cast<std::uint8_t>((l - count) % 64);
    }
    return index;
}

constexpr ByteIndex BYTE_TRANSPOSE = byte_transpose();

struct GfniAvx512Ops {
    static constexpr unsigned LANES = 64;
    using Vector = __m512i;
    using Input = Vector;
    using Operand = std::uint64_t;

    static constexpr Operand operand(const j6enc::lanes::ByteMap& map) { return j6enc::lanes::affine_matrix(map); }
    static Input prepare(Vector v) { return v; }

    static Vector product(Input in, Operand map)
    {
        __m512i matrices = _mm512_set1_epi64(static_cast<long long>(map));
#if defined(__clang__)
        // clang 14 encodes the affine instruction with a broadcast memory
        // operand wrongly (the processor then reads the matrix from another
        // address), so the matrix is kept in a register.
        __asm__("" : "+v"(matrices));
#endif
        return _mm512_gf2p8affine_epi64_epi8(in, matrices, 0);
    }

    static Vector bitwise_xor(Vector a, Vector b)
    {
        return _mm512_xor_si512(a, b);
    }

    template <unsigned COUNT> static Vector shift_lanes(Vector v)
    {
        static constexpr ByteIndex UP = lanes_up(COUNT);
        return _mm512_maskz_permutexvar_epi8(~__mmask64{0} << COUNT, _mm512_load_si512(UP.byte), v);
    }

    static Vector first_lane(std::uint8_t byte)
    {
        return _mm512_maskz_set1_epi8(1, static_cast<char>(byte));
    }

    // Transposes the 8 x 8 matrix of 64-bit words in v: word k of v[m]
    // trades places with word m of v[k].
    static void transpose_words(Vector v[8])
    {
        Vector pairs[8];
#pragma GCC unroll 64
        for (unsigned i = 0; i < 8; i += 2) {
            pairs[i] = _mm512_unpacklo_epi64(v[i], v[i + 1]);
            pairs[i + 1] = _mm512_unpackhi_epi64(v[i], v[i + 1]);
        }
        Vector quads[8];
#pragma GCC unroll 64
        for (unsigned i = 0; i < 8; i += 4) {
            quads[i] = _mm512_shuffle_i64x2(pairs[i], pairs[i + 2], 0x88);
            quads[i + 1] = _mm512_shuffle_i64x2(pairs[i + 1], pairs[i + 3], 0x88);
            quads[i + 2] = _mm512_shuffle_i64x2(pairs[i], pairs[i + 2], 0xDD);
            quads[i + 3] = _mm512_shuffle_i64x2(pairs[i + 1], pairs[i + 3], 0xDD);
        }
#pragma GCC unroll 64
        for (unsigned i = 0; i < 4; ++i) {
            v[i] = _mm512_shuffle_i64x2(quads[i], quads[i + 4], 0x88);
            v[i + 4] = _mm512_shuffle_i64x2(quads[i], quads[i + 4], 0xDD);
        }
    }

    // Vector m holds lanes 8m to 8m + 7; transposing the bytes within each of
    // its words and then the words across the vectors puts byte k of lane l
    // in byte l of vector k.
    static void load(const std::uint8_t* block, Vector bytes[8])
    {
        const Vector transpose = _mm512_load_si512(BYTE_TRANSPOSE.byte);
#pragma GCC unroll 64
        for (std::size_t m = 0; m < 8; ++m) {
            bytes[m] = _mm512_permutexvar_epi8(transpose, _mm512_loadu_si512(block + 64 * m));
        }
        transpose_words(bytes);
    }

    static void store(std::uint8_t* block, Vector bytes[8])
    {
        const Vector transpose = _mm512_load_si512(BYTE_TRANSPOSE.byte);
        transpose_words(bytes);
#pragma GCC unroll 64
        for (std::size_t m = 0; m < 8; ++m) {
            _mm512_storeu_si512(block + 64 * m, _mm512_permutexvar_epi8(transpose, bytes[m]));
        }
    }
};

} // namespace

void encrypt_block_gfni_avx512(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept
{
    j6enc::lanes::encrypt_block_by_lanes<GfniAvx512Ops>(buffer, length, block_index);
}

void encrypt_blocks_gfni_avx512(std::uint8_t* buffer, std::size_t length, std::uint32_t first_index) noexcept
{
    j6enc::lanes::encrypt_blocks_by_lanes<GfniAvx512Ops, GROUP_gfni_avx512>(buffer, length, first_index);
}

#endif

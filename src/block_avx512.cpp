// encrypt_block on GFNI and AVX-512: the whole block as bit-matrix products.
//
// With S, A and N as in linear_maps.h, view the block as 64 lanes of 8 bytes
// (lane l holds bytes 8l to 8l+7) and let R(l) be the register at the first
// byte of lane l. Byte k of lane l is then encrypted as
//   c(8l+k) = b(8l+k) ^ S A^k R(l) ^ [sum over d = 1..k of S A^(d-1) N b(8l+k-d)]
// and the lanes are chained by
//   R(0) = the block's start register,   R(l+1) = A^8 R(l) ^ W(l),
//   W(l) = sum over k = 0..7 of A^(7-k) N b(8l+k)   (what lane l's bytes add).
// Only the chain of the R(l) links the lanes, and it is a prefix scan: six
// doubling steps, R <- R ^ A^(8s) (R shifted by s lanes) for s = 1, 2, ..., 32,
// give all 64 registers at once.
//
// The block is first transposed so that vector k holds byte k of every lane
// (lane l in byte l). Then each term above is one GF(2) 8x8 bit-matrix product
// (vgf2p8affineqb) with one matrix for all 64 lanes: the matrices are
// operands computed at compile time from select_mask and crc16_step, not
// tables indexed by data. A shorter block is loaded and stored under byte
// masks; the bytes past its end read as zero and only ever affect later bytes,
// which are not stored.
#include "block_paths.h"

#if J6ENC_X86_PATHS

#include <array>
#include <cstddef>
#include <cstdint>
#include <immintrin.h>

#include "encryptor.h"
#include "linear_maps.h"

// g++ 12 reports the deliberately undefined start values inside its own
// AVX-512 intrinsics as possibly uninitialised (fixed in later releases).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define J6ENC_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi,gfni,bmi2")))

namespace {

using j6enc::apply;
using j6enc::Map16;
using j6enc::power;

constexpr unsigned LANES = 64;
constexpr unsigned LANE_BYTES = 8;
constexpr std::size_t VECTOR_BYTES = 64;
constexpr Map16 STEP = j6enc::zero_byte_step();

// A linear map of bytes as the affine instruction's 8x8 matrix operand: the
// row of output bit i is byte 7 - i of the 64-bit word.
template <typename ByteMap> constexpr std::uint64_t matrix(ByteMap byte_map)
{
    std::uint64_t operand = 0;
    for (unsigned j = 0; j < 8; ++j) {
        const unsigned column = byte_map(static_cast<std::uint8_t>(1U << j));
        for (unsigned i = 0; i < 8; ++i) {
            if (((column >> i) & 1U) != 0) {
                operand |= std::uint64_t{1} << (8U * (7U - i) + j);
            }
        }
    }
    return operand;
}

constexpr std::uint8_t low(std::uint16_t reg)
{
    return static_cast<std::uint8_t>(reg);
}
constexpr std::uint8_t high(std::uint16_t reg)
{
    return static_cast<std::uint8_t>(reg >> 8U);
}
constexpr std::uint16_t as_low(std::uint8_t byte)
{
    return byte;
}
constexpr std::uint16_t as_high(std::uint8_t byte)
{
    return static_cast<std::uint16_t>(byte << 8U);
}

// A 16-bit map split into the four byte-to-byte matrices of its halves:
// low result from low input, low from high, high from low, high from high.
using Halves = std::array<std::uint64_t, 4>;
constexpr Halves halves(const Map16& map)
{
    return {matrix([&](std::uint8_t b) { return low(apply(map, as_low(b))); }),
            matrix([&](std::uint8_t b) { return low(apply(map, as_high(b))); }),
            matrix([&](std::uint8_t b) { return high(apply(map, as_low(b))); }),
            matrix([&](std::uint8_t b) { return high(apply(map, as_high(b))); })};
}

// FEED[k]: the low and high byte of what byte k of a lane adds to the
// register at the lane's end, A^(7-k) N.
constexpr std::array<std::array<std::uint64_t, 2>, LANE_BYTES> make_feed()
{
    std::array<std::array<std::uint64_t, 2>, LANE_BYTES> feed{};
    for (unsigned k = 0; k < LANE_BYTES; ++k) {
        const Map16 map = power(STEP, LANE_BYTES - 1 - k);
        feed[k] = {matrix([&](std::uint8_t b) { return low(apply(map, j6enc::byte_feed(b))); }),
                   matrix([&](std::uint8_t b) { return high(apply(map, j6enc::byte_feed(b))); })};
    }
    return feed;
}

// KEY[d], d = 1..7: what a byte adds to the mask byte d places later,
// S A^(d-1) N.
constexpr std::array<std::uint64_t, LANE_BYTES> make_key()
{
    std::array<std::uint64_t, LANE_BYTES> key{};
    for (unsigned d = 1; d < LANE_BYTES; ++d) {
        const Map16 map = power(STEP, d - 1);
        key[d] = matrix([&](std::uint8_t b) { return select_mask(apply(map, j6enc::byte_feed(b))); });
    }
    return key;
}

// START[k]: the mask byte k places into a lane taken from the lane's first
// register, S A^k, from its low and from its high byte.
constexpr std::array<std::array<std::uint64_t, 2>, LANE_BYTES> make_start()
{
    std::array<std::array<std::uint64_t, 2>, LANE_BYTES> start{};
    for (unsigned k = 0; k < LANE_BYTES; ++k) {
        const Map16 map = power(STEP, k);
        start[k] = {matrix([&](std::uint8_t b) { return select_mask(apply(map, as_low(b))); }),
                    matrix([&](std::uint8_t b) { return select_mask(apply(map, as_high(b))); })};
    }
    return start;
}

// JUMP[s]: A^(8 * 2^s), the register 2^s lanes of zero bytes later.
constexpr unsigned SCAN_STEPS = 6; // 2^6 = LANES
constexpr std::array<Halves, SCAN_STEPS> make_jump()
{
    std::array<Halves, SCAN_STEPS> jump{};
    for (unsigned s = 0; s < SCAN_STEPS; ++s) {
        jump[s] = halves(j6enc::zero_bytes_jump(LANE_BYTES << s));
    }
    return jump;
}

constexpr auto FEED = make_feed();
constexpr auto KEY = make_key();
constexpr auto START = make_start();
constexpr auto JUMP = make_jump();

using ByteIndex = std::array<std::uint8_t, 64>;

// Byte 8k + j takes byte 8j + k: transposes the 8x8 bytes of a vector.
constexpr ByteIndex make_byte_transpose()
{
    ByteIndex index{};
    for (unsigned k = 0; k < 8; ++k) {
        for (unsigned j = 0; j < 8; ++j) {
            index[8 * k + j] = static_cast<std::uint8_t>(8 * j + k);
        }
    }
    return index;
}

// Byte l takes byte l - 2^s (the bytes below 2^s are masked to zero).
constexpr std::array<ByteIndex, SCAN_STEPS> make_lane_shifts()
{
    std::array<ByteIndex, SCAN_STEPS> shifts{};
    for (unsigned s = 0; s < SCAN_STEPS; ++s) {
        for (unsigned l = 0; l < LANES; ++l) {
            shifts[s][l] = static_cast<std::uint8_t>((l - (1U << s)) % LANES);
        }
    }
    return shifts;
}

alignas(64) constexpr ByteIndex BYTE_TRANSPOSE = make_byte_transpose();
alignas(64) constexpr std::array<ByteIndex, SCAN_STEPS> LANE_SHIFTS = make_lane_shifts();

J6ENC_AVX512 inline __m512i load_index(const ByteIndex& index)
{
    return _mm512_load_si512(index.data());
}

// The same 8x8 bit-matrix product on every byte.
J6ENC_AVX512 inline __m512i product(__m512i bytes, std::uint64_t operand)
{
    __m512i matrices = _mm512_set1_epi64(static_cast<long long>(operand));
#if defined(__clang__)
    // clang 14 encodes the affine instruction with a broadcast memory operand
    // wrongly (the processor then reads the matrix from another address), so
    // the matrix is kept in a register.
    __asm__("" : "+v"(matrices));
#endif
    return _mm512_gf2p8affine_epi64_epi8(bytes, matrices, 0);
}

J6ENC_AVX512 inline __m512i xor3(__m512i a, __m512i b, __m512i c)
{
    return _mm512_ternarylogic_epi64(a, b, c, 0x96);
}

// Transposes the 8x8 matrix of 64-bit words in v: word k of v[m] trades
// places with word m of v[k].
J6ENC_AVX512 inline void transpose_words(__m512i v[8])
{
    __m512i pairs[8];
    for (unsigned i = 0; i < 8; i += 2) {
        pairs[i] = _mm512_unpacklo_epi64(v[i], v[i + 1]);
        pairs[i + 1] = _mm512_unpackhi_epi64(v[i], v[i + 1]);
    }
    __m512i quads[8];
    for (unsigned i = 0; i < 8; i += 4) {
        quads[i] = _mm512_shuffle_i64x2(pairs[i], pairs[i + 2], 0x88);
        quads[i + 1] = _mm512_shuffle_i64x2(pairs[i + 1], pairs[i + 3], 0x88);
        quads[i + 2] = _mm512_shuffle_i64x2(pairs[i], pairs[i + 2], 0xDD);
        quads[i + 3] = _mm512_shuffle_i64x2(pairs[i + 1], pairs[i + 3], 0xDD);
    }
    for (unsigned i = 0; i < 4; ++i) {
        v[i] = _mm512_shuffle_i64x2(quads[i], quads[i + 4], 0x88);
        v[i + 4] = _mm512_shuffle_i64x2(quads[i], quads[i + 4], 0xDD);
    }
}

// The bytes of vector m (block bytes 64m to 64m+63) that lie in the block.
J6ENC_AVX512 inline __mmask64 bytes_in_block(std::size_t length, std::size_t m)
{
    if (length <= VECTOR_BYTES * m) {
        return 0;
    }
    const std::size_t rest = length - VECTOR_BYTES * m;
    return rest >= VECTOR_BYTES ? ~__mmask64{0} : _bzhi_u64(~std::uint64_t{0}, static_cast<unsigned>(rest));
}

} // namespace

J6ENC_AVX512 void encrypt_block_avx512(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept
{
    if (length == 0) {
        return;
    }
    // bytes[k], byte l: byte k of lane l.
    const __m512i byte_transpose = load_index(BYTE_TRANSPOSE);
    __m512i bytes[LANE_BYTES];
    for (std::size_t m = 0; m < LANE_BYTES; ++m) {
        const __m512i loaded = _mm512_maskz_loadu_epi8(bytes_in_block(length, m), buffer + VECTOR_BYTES * m);
        bytes[m] = _mm512_permutexvar_epi8(byte_transpose, loaded);
    }
    transpose_words(bytes);

    // W(l), low and high byte: what each lane's bytes add to the register.
    __m512i added_low = product(bytes[0], FEED[0][0]);
    __m512i added_high = product(bytes[0], FEED[0][1]);
    for (unsigned k = 1; k < LANE_BYTES; ++k) {
        added_low = _mm512_xor_si512(added_low, product(bytes[k], FEED[k][0]));
        added_high = _mm512_xor_si512(added_high, product(bytes[k], FEED[k][1]));
    }

    // R(l): lane 0 takes the start register, lane l + 1 takes W(l); the scan
    // then adds A^(8s) R(l - s) for s = 1, 2, 4, ..., 32.
    const std::uint32_t start = (block_index & 0xFFFFU) ^ SEED_KEY;
    const __m512i to_next_lane = load_index(LANE_SHIFTS[0]);
    const __mmask64 above_lane_0 = ~__mmask64{1};
    __m512i reg_low = _mm512_mask_permutexvar_epi8(_mm512_set1_epi8(static_cast<char>(low(start))), above_lane_0,
                                                   to_next_lane, added_low);
    __m512i reg_high = _mm512_mask_permutexvar_epi8(_mm512_set1_epi8(static_cast<char>(high(start))), above_lane_0,
                                                    to_next_lane, added_high);
    for (unsigned s = 0; s < SCAN_STEPS; ++s) {
        const __m512i shift = load_index(LANE_SHIFTS[s]);
        const __mmask64 moved = ~__mmask64{0} << (1U << s);
        const __m512i earlier_low = _mm512_maskz_permutexvar_epi8(moved, shift, reg_low);
        const __m512i earlier_high = _mm512_maskz_permutexvar_epi8(moved, shift, reg_high);
        const Halves& jump = JUMP[s];
        reg_low = xor3(reg_low, product(earlier_low, jump[0]), product(earlier_high, jump[1]));
        reg_high = xor3(reg_high, product(earlier_low, jump[2]), product(earlier_high, jump[3]));
    }

    // Byte k of every lane: input, the lane register's mask, the earlier bytes.
    __m512i encrypted[LANE_BYTES];
    for (unsigned k = 0; k < LANE_BYTES; ++k) {
        __m512i sum = xor3(bytes[k], product(reg_low, START[k][0]), product(reg_high, START[k][1]));
        for (unsigned d = 1; d <= k; ++d) {
            sum = _mm512_xor_si512(sum, product(bytes[k - d], KEY[d]));
        }
        encrypted[k] = sum;
    }

    transpose_words(encrypted);
    for (std::size_t m = 0; m < LANE_BYTES; ++m) {
        _mm512_mask_storeu_epi8(buffer + VECTOR_BYTES * m, bytes_in_block(length, m),
                                _mm512_permutexvar_epi8(byte_transpose, encrypted[m]));
    }
}

#endif

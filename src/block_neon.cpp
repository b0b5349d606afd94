// The neon path, on aarch64 with NEON (Advanced SIMD, part of every aarch64
// processor): the lane method on 16 lanes of 32 bytes, each bit-matrix
// product as two 16-entry table lookups (tbl), one on the low and one on the
// high nibble of every byte; runs of blocks block by block.
#include "block_paths.h"

#if J6ENC_NEON_PATHS

#include <arm_neon.h>
#include <cstddef>
#include <cstdint>

#include "byte_transpose.h"
#include "lane_method.h"

namespace {

struct NeonOps {
    static constexpr unsigned LANES = 16;
    using Vector = uint8x16_t;
    struct Input {
        Vector low_nibbles;
        Vector high_nibbles;
    };
    using Operand = j6enc::lanes::NibbleTables;

    static constexpr Operand operand(const j6enc::lanes::ByteMap& map) { return j6enc::lanes::nibble_tables(map); }

    static Input prepare(Vector v) { return {vandq_u8(v, vdupq_n_u8(0x0F)), vshrq_n_u8(v, 4)}; }

    static Vector product(const Input& in, const Operand& map)
    {
        return veorq_u8(vqtbl1q_u8(vld1q_u8(map.low), in.low_nibbles), vqtbl1q_u8(vld1q_u8(map.high), in.high_nibbles));
    }

    static Vector bitwise_xor(Vector a, Vector b) { return veorq_u8(a, b); }

    template <unsigned COUNT> static Vector shift_lanes(Vector v) { return vextq_u8(vdupq_n_u8(0), v, 16 - COUNT); }

    static Vector first_lane(std::uint8_t byte) { return vsetq_lane_u8(byte, vdupq_n_u8(0), 0); }

    template <unsigned WIDTH, bool HIGH> static Vector interleave(Vector a, Vector b)
    {
        if constexpr (WIDTH == 1) {
            return HIGH ? vzip2q_u8(a, b) : vzip1q_u8(a, b);
        } else if constexpr (WIDTH == 2) {
            const uint16x8_t x = vreinterpretq_u16_u8(a);
            const uint16x8_t y = vreinterpretq_u16_u8(b);
            return vreinterpretq_u8_u16(HIGH ? vzip2q_u16(x, y) : vzip1q_u16(x, y));
        } else if constexpr (WIDTH == 4) {
            const uint32x4_t x = vreinterpretq_u32_u8(a);
            const uint32x4_t y = vreinterpretq_u32_u8(b);
            return vreinterpretq_u8_u32(HIGH ? vzip2q_u32(x, y) : vzip1q_u32(x, y));
        } else {
            const uint64x2_t x = vreinterpretq_u64_u8(a);
            const uint64x2_t y = vreinterpretq_u64_u8(b);
            return vreinterpretq_u8_u64(HIGH ? vzip2q_u64(x, y) : vzip1q_u64(x, y));
        }
    }

    // Lane m is 32 bytes: rows m of the two halves, bytes 0 to 15 and 16 to
    // 31, each transposed on its own.
    static void load(const std::uint8_t* block, Vector bytes[32])
    {
#pragma GCC unroll 64
        for (std::size_t half = 0; half < 2; ++half) {
            Vector rows[16];
#pragma GCC unroll 64
            for (std::size_t m = 0; m < 16; ++m) {
                rows[m] = vld1q_u8(block + 32 * m + 16 * half);
            }
            j6enc::lanes::transpose_16x16<NeonOps>(rows, bytes + 16 * half);
        }
    }

    static void store(std::uint8_t* block, const Vector bytes[32])
    {
#pragma GCC unroll 64
        for (std::size_t half = 0; half < 2; ++half) {
            Vector rows[16];
            j6enc::lanes::transpose_16x16<NeonOps>(bytes + 16 * half, rows);
#pragma GCC unroll 64
            for (std::size_t m = 0; m < 16; ++m) {
                vst1q_u8(block + 32 * m + 16 * half, rows[m]);
            }
        }
    }
};

} // namespace

void encrypt_block_neon(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept
{
    j6enc::lanes::encrypt_block_by_lanes<NeonOps>(buffer, length, block_index);
}

void encrypt_blocks_neon(std::uint8_t* buffer, std::size_t length, std::uint32_t first_index) noexcept
{
    static_assert(GROUP_neon == 1);
    encrypt_each_block<encrypt_block_neon>(buffer, length, first_index);
}

#endif

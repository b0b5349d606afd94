// The avx2 path, on x86-64 with AVX2: the lane method on 32 lanes of 16
// bytes, each bit-matrix product as two 16-entry table lookups (vpshufb), one
// on the low and one on the high nibble of every byte; runs of blocks block
// by block. Compiled for AVX2.
#include "block_paths.h"

#if J6ENC_X86_PATHS

#include <cstddef>
#include <cstdint>
#include <immintrin.h>

#include "avx2_lanes.h"
#include "lane_method.h"

namespace {

// A byte map's two nibble tables, each repeated for both 128-bit halves, as
// vpshufb looks up within each half.
struct DoubledTables {
    alignas(32) std::uint8_t low[32];
    alignas(32) std::uint8_t high[32];
};

struct Avx2Ops : Avx2Lanes {
    struct Input {
        Vector low_nibbles;
        Vector high_nibbles;
    };
    using Operand = DoubledTables;

    static constexpr Operand operand(const j6enc::lanes::ByteMap& map)
    {
        const j6enc::lanes::NibbleTables tables = j6enc::lanes::nibble_tables(map);
        Operand doubled{};
        for (unsigned i = 0; i < 32; ++i) {
            doubled.low[i] = tables.low[i % 16];
            doubled.high[i] = tables.high[i % 16];
        }
        return doubled;
    }

    static Input prepare(Vector v)
    {
        const Vector nibble = _mm256_set1_epi8(0x0F);
        return {_mm256_and_si256(v, nibble), _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble)};
    }

    static Vector product(const Input& in, const Operand& map)
    {
        return _mm256_xor_si256(
            _mm256_shuffle_epi8(_mm256_load_si256(reinterpret_cast<const __m256i*>(map.low)), in.low_nibbles),
            _mm256_shuffle_epi8(_mm256_load_si256(reinterpret_cast<const __m256i*>(map.high)), in.high_nibbles));
    }
};

} // namespace

void encrypt_block_avx2(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept
{
    j6enc::lanes::encrypt_block_by_lanes<Avx2Ops>(buffer, length, block_index);
}

void encrypt_blocks_avx2(std::uint8_t* buffer, std::size_t length, std::uint32_t first_index) noexcept
{
    static_assert(GROUP_avx2 == 1);
    encrypt_each_block<encrypt_block_avx2>(buffer, length, first_index);
}

#endif

// The gfni_avx2 path, on x86-64 with GFNI and AVX2: the lane method on 32
// lanes of 16 bytes, each bit-matrix product one affine instruction
// (vgf2p8affineqb), runs of blocks in groups of GROUP_gfni_avx2. For
// processors with GFNI but without AVX-512. Compiled for GFNI and AVX2.
#include "block_paths.h"

#if J6ENC_X86_PATHS

#include <cstddef>
#include <cstdint>
#include <immintrin.h>

#include "avx2_lanes.h"
#include "lane_method.h"

namespace {

struct GfniAvx2Ops : Avx2Lanes {
    using Input = Vector;
    using Operand = std::uint64_t;

    static constexpr Operand operand(const j6enc::lanes::ByteMap& map) { return j6enc::lanes::affine_matrix(map); }
    static Input prepare(Vector v) { return v; }
    static Vector product(Input in, Operand map)
    {
        return _mm256_gf2p8affine_epi64_epi8(in, _mm256_set1_epi64x(static_cast<long long>(map)), 0);
    }
};

} // namespace

void encrypt_block_gfni_avx2(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept
{
    j6enc::lanes::encrypt_block_by_lanes<GfniAvx2Ops>(buffer, length, block_index);
}

void encrypt_blocks_gfni_avx2(std::uint8_t* buffer, std::size_t length, std::uint32_t first_index) noexcept
{
    j6enc::lanes::encrypt_blocks_by_lanes<GfniAvx2Ops, GROUP_gfni_avx2>(buffer, length, first_index);
}

#endif

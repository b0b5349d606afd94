#include "encryptor.h"

#include <algorithm>
#include <iterator>

#include "block_paths.h"
#include "cpu_features.h"

namespace {

// The row of path NAME: its name, its entry points encrypt_block_NAME and
// encrypt_blocks_NAME and its group GROUP_NAME all come from NAME, so that a
// row cannot hold another path's function.
// clang-format off
#define J6ENC_PATH_ROW(NAME, FEATURES, SHORT_STEPS) \
    {#NAME, BlockEntry{encrypt_block_##NAME}, RunEntry{encrypt_blocks_##NAME}, GROUP_##NAME, FEATURES, SHORT_STEPS}
// clang-format on

constexpr BlockPath PATHS[] = {
    J6ENC_PATH_ROW(portable, "", true),
#if J6ENC_X86_PATHS
    J6ENC_PATH_ROW(avx2, "avx2", false),
    J6ENC_PATH_ROW(gfni_avx2, "gfni avx2", false),
    J6ENC_PATH_ROW(gfni_avx512, "gfni avx512f avx512bw avx512vbmi", false),
#endif
#if J6ENC_NEON_PATHS
    J6ENC_PATH_ROW(neon, "", false),
#endif
};

#undef J6ENC_PATH_ROW

const BlockPath& fastest_path() noexcept
{
    const auto fastest = std::find_if(std::rbegin(PATHS), std::rend(PATHS), path_supported);
    return fastest == std::rend(PATHS) ? PATHS[0] : *fastest;
}

} // namespace

// Used by the tests, the benchmarks and the fuzz target, outside src/.
// cppcheck-suppress unusedFunction
std::span<const BlockPath> block_paths() noexcept
{
    return PATHS;
}

bool path_supported(const BlockPath& path) noexcept
{
    return cpu_has_all(path.features);
}

// The program encrypts runs of blocks (encrypt_blocks); one block at a time
// is for the tests, the benchmarks and the fuzz target, outside src/.
// cppcheck-suppress unusedFunction
void encrypt_block(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept
{
    // Chosen once, at the first call. Every path gives the same bytes.
    static const EncryptFunction chosen = fastest_path().encrypt_block.call;
    chosen(buffer, length, block_index);
}

void encrypt_blocks(std::uint8_t* buffer, std::size_t length, std::uint32_t first_index) noexcept
{
    static const EncryptFunction chosen = fastest_path().encrypt_blocks.call;
    chosen(buffer, length, first_index);
}

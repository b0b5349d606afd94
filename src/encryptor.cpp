#include "encryptor.h"

#include <algorithm>
#include <iterator>

#include "block_paths.h"
#include "cpu_features.h"

namespace {

constexpr BlockPath PATHS[] = {
    {"portable", encrypt_block_portable, encrypt_blocks_portable, "", true},
#if J6ENC_X86_PATHS
    {"avx2", encrypt_block_avx2, encrypt_each_block<encrypt_block_avx2>, "avx2", false},
    {"gfni_avx2", encrypt_block_gfni_avx2, encrypt_blocks_gfni_avx2, "gfni avx2", false},
    {"gfni_avx512", encrypt_block_gfni_avx512, encrypt_blocks_gfni_avx512, "gfni avx512f avx512bw avx512vbmi", false},
#endif
#if J6ENC_NEON_PATHS
    {"neon", encrypt_block_neon, encrypt_each_block<encrypt_block_neon>, "", false},
#endif
};

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

// The program encrypts runs (encrypt_blocks); one block at a time is for the
// tests, the benchmarks and the fuzz target, outside src/.
// cppcheck-suppress unusedFunction
void encrypt_block(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept
{
    // Chosen once, at the first call. Every path gives the same bytes.
    static const BlockEncryptor chosen = fastest_path().encrypt;
    chosen(buffer, length, block_index);
}

void encrypt_blocks(std::uint8_t* buffer, std::size_t length, std::uint32_t first_index) noexcept
{
    static const RunEncryptor chosen = fastest_path().encrypt_run;
    chosen(buffer, length, first_index);
}

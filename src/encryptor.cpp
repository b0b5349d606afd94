#include "encryptor.h"

#include "block_paths.h"
#include "cpu_features.h"

namespace {

constexpr BlockPath PATHS[] = {
    {"portable", encrypt_block_portable, ""},
#if J6ENC_X86_PATHS
    {"bmi2", encrypt_block_bmi2, "bmi2 popcnt"},
    {"avx512", encrypt_block_avx512, "gfni avx512f avx512bw avx512vbmi bmi2"},
#endif
};

BlockEncryptor fastest_path() noexcept
{
    BlockEncryptor fastest = encrypt_block_portable;
    for (const BlockPath& path : PATHS) {
        if (path_supported(path)) {
            fastest = path.encrypt;
        }
    }
    return fastest;
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

void encrypt_block(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept
{
    // Chosen once, at the first call. Every path gives the same bytes.
    static const BlockEncryptor chosen = fastest_path();
    chosen(buffer, length, block_index);
}

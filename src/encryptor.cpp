#include "encryptor.h"

#include "block_paths.h"

namespace {

bool always() noexcept
{
    return true;
}

constexpr BlockPath PATHS[] = {
    {"portable", encrypt_block_portable, always},
#if J6ENC_X86_PATHS
    {"bmi2", encrypt_block_bmi2, bmi2_path_supported},
    {"avx512", encrypt_block_avx512, avx512_path_supported},
#endif
};

BlockEncryptor fastest_path() noexcept
{
    BlockEncryptor fastest = encrypt_block_portable;
    for (const BlockPath& path : PATHS) {
        if (path.supported()) {
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

void encrypt_block(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept
{
    // Chosen once, at the first call. Every path gives the same bytes.
    static const BlockEncryptor chosen = fastest_path();
    chosen(buffer, length, block_index);
}

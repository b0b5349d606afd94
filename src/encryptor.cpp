#include "encryptor.h"

#include "block_paths.h"

namespace {

// The fastest path this processor runs. All give the same bytes.
BlockEncryptor fastest_path() noexcept
{
#if J6ENC_X86_PATHS
    if (avx512_path_supported()) {
        return encrypt_block_avx512;
    }
    if (bmi2_path_supported()) {
        return encrypt_block_bmi2;
    }
#endif
    return encrypt_block_portable;
}

} // namespace

void encrypt_block(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept
{
    // Chosen once, at the first call.
    static const BlockEncryptor chosen = fastest_path();
    chosen(buffer, length, block_index);
}

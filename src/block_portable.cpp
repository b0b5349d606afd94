// encrypt_block on any compiler and processor: one byte after the other.
#include <cstddef>
#include <cstdint>

#include "block_paths.h"
#include "encryptor.h"
#include "scalar_step.h"

void encrypt_block_portable(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept
{
    std::uint32_t reg = (block_index & 0xFFFFU) ^ SEED_KEY;
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint32_t input = buffer[i];
        const std::uint32_t mask = select_mask(static_cast<std::uint16_t>(reg));
        buffer[i] = static_cast<std::uint8_t>(input ^ mask);
        reg = j6enc::next_register(reg, input, mask, j6enc::parity((reg & j6enc::ZERO_BYTE_PARITY_BITS) ^ input));
    }
}

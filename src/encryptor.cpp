#include "encryptor.h"

void encrypt_block(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept
{
    // The loop is one chain of dependent steps: the register gives the mask,
    // the mask the encrypted byte, the encrypted byte the next register. The
    // register stays in a 32-bit word (its value below 2^16), and the high
    // byte of W, (reg >> 8) ^ encrypted, is formed as ((reg >> 8) ^ input) ^
    // mask, so that only the last XOR waits for the mask.
    std::uint32_t reg = (block_index & 0xFFFFU) ^ SEED_KEY;
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint32_t input = buffer[i];
        const std::uint32_t mask = select_mask(static_cast<std::uint16_t>(reg));
        buffer[i] = static_cast<std::uint8_t>(input ^ mask);
        // The register is fed the encrypted byte, never the byte that was read.
        reg = crc16_step_high(reg, ((reg >> 8U) ^ input) ^ mask);
    }
}

#include "encryptor.h"

void encrypt_block(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept
{
    auto reg = static_cast<std::uint16_t>((block_index & 0xFFFFU) ^ SEED_KEY);
    for (std::size_t i = 0; i < length; ++i) {
        const auto encrypted = static_cast<std::uint8_t>(buffer[i] ^ select_mask(reg));
        buffer[i] = encrypted;
        // The register is fed the encrypted byte, never the byte that was read.
        reg = crc16_step(reg, encrypted);
    }
}

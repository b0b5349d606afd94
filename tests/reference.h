// Test-side formulations of the block transform, written independently of the
// program's closed forms: the CRC step bit by bit, the mask bit by bit from the
// register-bit table, and the block transform byte by byte from those two.
#ifndef J6ENC_TESTS_REFERENCE_H
#define J6ENC_TESTS_REFERENCE_H

#include <cstddef>
#include <cstdint>

// One byte of the MSB-first CRC-16 with polynomial 0x8005, eight shifts.
inline std::uint16_t bitwise_crc16_step(std::uint16_t reg, std::uint8_t byte)
{
    std::uint16_t t = reg ^ static_cast<std::uint16_t>(byte << 8U);
    for (int bit = 0; bit < 8; ++bit) {
        const bool top = (t & 0x8000U) != 0;
        t = static_cast<std::uint16_t>(t << 1U);
        if (top) {
            t ^= 0x8005U;
        }
    }
    return t;
}

// Register bits that make mask bits 7 down to 0.
inline constexpr int MASK_SOURCE_BITS[8] = {14, 12, 11, 9, 7, 6, 1, 0};

inline std::uint8_t bitwise_mask(std::uint16_t reg)
{
    unsigned mask = 0;
    for (int source : MASK_SOURCE_BITS) {
        mask = (mask << 1U) | ((reg >> source) & 1U);
    }
    return static_cast<std::uint8_t>(mask);
}

// Encrypts a block in place; the register is fed each encrypted byte.
inline void reference_transform(std::uint8_t* data, std::size_t length, std::uint32_t index)
{
    auto reg = static_cast<std::uint16_t>((index & 0xFFFFU) ^ 0x5C71U);
    for (std::size_t i = 0; i < length; ++i) {
        data[i] = static_cast<std::uint8_t>(data[i] ^ bitwise_mask(reg));
        reg = bitwise_crc16_step(reg, data[i]);
    }
}

#endif

// Block encryptor of the J6 ".DAT" format.
//
// Each block of at most BLOCK_SIZE bytes is XORed in place with a keystream
// taken from a 16-bit CRC register. The register starts at every block from
// the block index and SEED_KEY and is advanced after each byte with the byte
// just encrypted, so a block depends on nothing but its own bytes and the low
// 16 bits of its index.
#ifndef J6ENC_ENCRYPTOR_H
#define J6ENC_ENCRYPTOR_H

#include <cstddef>
#include <cstdint>

// The largest block; the driver never passes a longer one.
inline constexpr std::size_t BLOCK_SIZE = 512;
// XORed with the low 16 bits of the block index to start the register.
inline constexpr std::uint16_t SEED_KEY = 0x5C71;
// Generator polynomial x^16 + x^15 + x^2 + 1 of the register's CRC step.
inline constexpr std::uint16_t CRC16_POLY = 0x8005;

// The mask byte taken from a register: mask bits 7..0 are register bits
// 14, 12, 11, 9, 7, 6, 1 and 0.
constexpr std::uint8_t select_mask(std::uint16_t reg) noexcept
{
    const std::uint32_t r = reg;
    return static_cast<std::uint8_t>((r & 0x03U)             // bits 1, 0 -> 1, 0
                                     | ((r >> 4U) & 0x0CU)   // bits 7, 6 -> 3, 2
                                     | ((r >> 5U) & 0x10U)   // bit 9 -> 4
                                     | ((r >> 6U) & 0x60U)   // bits 12, 11 -> 6, 5
                                     | ((r >> 7U) & 0x80U)); // bit 14 -> 7
}

// One byte of the MSB-first CRC with CRC16_POLY (no reflection, no final XOR):
// the register advanced by `byte`, computed in closed form without a table or
// a loop over bits.
//
// With W = reg ^ (byte << 8) and h = W >> 8, the eight shifts move W's low
// byte to the high byte and add the polynomial once for every set bit that
// leaves the top. Because 0x8005 has bits 15, 2 and 0, that sum is
//   bit 15 and bit 0: P(8), the parity of h,
//   bit 1:            P(9), the parity of h without its lowest bit,
//   bits 9..2:        h ^ (h >> 1), the neighbouring pairs of h,
// where P(k) is the parity of W's bits k..15.
constexpr std::uint16_t crc16_step(std::uint16_t reg, std::uint8_t byte) noexcept
{
    const std::uint32_t w = reg ^ (std::uint32_t{byte} << 8U);
    const std::uint32_t h = w >> 8U;
    const std::uint32_t pairs = h ^ (h >> 1U);
    // Suffix parities: bit k of `suffix` is the parity of h's bits k..7.
    std::uint32_t suffix = pairs ^ (pairs >> 2U);
    suffix ^= suffix >> 4U;
    return static_cast<std::uint16_t>(((w << 8U) & 0xFF00U) ^ (pairs << 2U) ^ (suffix & 0x03U)
                                      ^ ((suffix & 0x01U) << 15U));
}

// Encrypts the first `length` bytes of `buffer` in place as block number
// `block_index` (only its low 16 bits count). `length` is at most BLOCK_SIZE;
// a length of 0 leaves the buffer untouched. Never fails, allocates nothing.
void encrypt_block(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept;

#endif

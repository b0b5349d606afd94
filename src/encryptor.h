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

// The size of a block; only a file's last block may be shorter.
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
    // Five shifted, masked copies, ORed as a balanced tree: the mask is on
    // the critical path of every byte, so its chain is kept short.
    const std::uint32_t low = (r & 0x03U) | ((r >> 4U) & 0x0CU);         // bits 1, 0 -> 1, 0; bits 7, 6 -> 3, 2
    const std::uint32_t mid = ((r >> 5U) & 0x10U) | ((r >> 6U) & 0x60U); // bit 9 -> 4; bits 12, 11 -> 6, 5
    return static_cast<std::uint8_t>((low | mid) | ((r >> 7U) & 0x80U)); // bit 14 -> 7
}

// The CRC step of crc16_step on a register held in the low 16 bits of a
// 32-bit word, given the high byte of W = reg ^ (byte << 8) as `high`, that
// is (reg >> 8) ^ byte. The result is below 2^16.
//
// The eight shifts move W's low byte (the register's, untouched by the byte)
// to the high byte and add the polynomial once for every set bit that leaves
// the top. Because 0x8005 has bits 15, 2 and 0, that sum is
//   bit 15 and bit 0: P(8), the parity of `high`,
//   bit 1:            P(9), the parity of `high` without its lowest bit,
//   bits 9..2:        high ^ (high >> 1), its neighbouring pairs,
// where P(k) is the parity of W's bits k..15.
constexpr std::uint32_t crc16_step_high(std::uint32_t reg, std::uint32_t high) noexcept
{
    const std::uint32_t pairs = high ^ (high >> 1U);
    // Suffix parities: bit k of `suffix` is the parity of high's bits k..7.
    std::uint32_t suffix = pairs ^ (pairs >> 2U);
    suffix ^= suffix >> 4U;
    return (((reg << 8U) & 0xFF00U) ^ (pairs << 2U)) ^ ((suffix & 0x03U) ^ ((suffix & 0x01U) << 15U));
}

// One byte of the MSB-first CRC with CRC16_POLY (no reflection, no final XOR):
// the register advanced by `byte`, in closed form, with neither a table nor a
// loop over bits.
constexpr std::uint16_t crc16_step(std::uint16_t reg, std::uint8_t byte) noexcept
{
    return static_cast<std::uint16_t>(crc16_step_high(reg, (std::uint32_t{reg} >> 8U) ^ byte));
}
// Byte 1 into register 0: the bit leaves the top once, in the last shift.
static_assert(crc16_step(0, 1) == CRC16_POLY);

// Encrypts the first `length` bytes of `buffer` in place as block number
// `block_index` (only its low 16 bits count). `length` is at most BLOCK_SIZE;
// a length of 0 leaves the buffer untouched. Never fails, allocates nothing.
void encrypt_block(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept;

// Encrypts the first `length` bytes of `buffer` in place as a run of
// consecutive blocks: bytes BLOCK_SIZE * k to BLOCK_SIZE * k + BLOCK_SIZE - 1
// are block number first_index + k (modulo 2^32), and the last block may be
// shorter. The same bytes as encrypt_block on each block in turn, only
// faster where a path can work on several blocks at once. Never fails,
// allocates nothing.
void encrypt_blocks(std::uint8_t* buffer, std::size_t length, std::uint32_t first_index) noexcept;

#endif

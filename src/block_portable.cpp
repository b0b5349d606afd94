// The portable path, on any compiler and processor: eight bytes per step by
// table lookups, as table-driven CRCs are computed, and runs of blocks in
// groups of GROUP_portable blocks in lockstep.
//
// The masks of eight bytes and the register after them are linear in the
// register at their start and in the eight bytes read (linear_maps.h), so
// they are the XOR of what each of these contributes alone: one table per
// register byte and per position of a byte in the eight, indexed by its
// value. Only the two register lookups wait for the step before; the eight
// byte lookups are free to run ahead.
//
// Plain C++, the same on processors of either byte order. The loops over the
// eight bytes of a step are unrolled completely whatever the optimisation
// level (#pragma GCC unroll), which -O2 alone would not do.
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "block_paths.h"
#include "encryptor.h"

namespace {

constexpr std::size_t STEP = 8;

// What some start register and some eight bytes read contribute to a step:
// byte i of `masks` is the mask of byte i, and `next` the register after the
// eight bytes.
struct Contribution {
    std::uint64_t masks;
    std::uint16_t next;
};

// The step as the transform is written, one byte after the other.
constexpr Contribution step_bytewise(std::uint16_t reg, const std::array<std::uint8_t, STEP>& bytes)
{
    Contribution result{0, 0};
    for (std::size_t i = 0; i < STEP; ++i) {
        const std::uint8_t mask = select_mask(reg);
        result.masks |= std::uint64_t{mask} << (8 * i);
        reg = crc16_step(reg, static_cast<std::uint8_t>(bytes[i] ^ mask));
    }
    result.next = reg;
    return result;
}

// What byte `position` of the eight contributes when it reads `value`.
constexpr Contribution byte_contribution(std::size_t position, unsigned value)
{
    std::array<std::uint8_t, STEP> bytes{};
    bytes[position] = static_cast<std::uint8_t>(value);
    return step_bytewise(0, bytes);
}

// A contribution for each value of one byte, the masks and the registers
// apart, so that each lookup is one load of a scaled index.
struct Table {
    std::array<std::uint64_t, 256> masks;
    std::array<std::uint16_t, 256> next;
};

template <typename Contribute> constexpr Table tabulate(Contribute contribute)
{
    Table table{};
    for (unsigned value = 0; value < 256; ++value) {
        const Contribution c = contribute(value);
        table.masks[value] = c.masks;
        table.next[value] = c.next;
    }
    return table;
}

// The register's low and high byte, and the first byte read.
constexpr Table REGISTER_LOW =
    tabulate([](unsigned value) { return step_bytewise(static_cast<std::uint16_t>(value), {}); });
constexpr Table REGISTER_HIGH =
    tabulate([](unsigned value) { return step_bytewise(static_cast<std::uint16_t>(value << 8U), {}); });
constexpr Table FIRST_BYTE = tabulate([](unsigned value) { return byte_contribution(0, value); });

// A byte reaches only the masks of the bytes after it, so for a byte at
// position 1 or later the masks of bytes 0 and 1 are zero, and its
// contribution to the next register fits there: one word per lookup. XORed
// together, these words hold the masks of bytes 2 to 7 and, in bytes 0 and 1,
// the register.
constexpr std::uint64_t REGISTER_IN_WORD = 0xFFFFU;

constexpr bool later_bytes_leave_the_register_room()
{
    for (std::size_t position = 1; position < STEP; ++position) {
        for (unsigned value = 0; value < 256; ++value) {
            if ((byte_contribution(position, value).masks & REGISTER_IN_WORD) != 0) {
                return false;
            }
        }
    }
    return true;
}
static_assert(later_bytes_leave_the_register_room());

constexpr std::array<std::array<std::uint64_t, 256>, STEP - 1> LATER_BYTES = [] {
    std::array<std::array<std::uint64_t, 256>, STEP - 1> tables{};
    for (std::size_t position = 1; position < STEP; ++position) {
        for (unsigned value = 0; value < 256; ++value) {
            const Contribution alone = byte_contribution(position, value);
            tables[position - 1][value] = alone.masks | alone.next;
        }
    }
    return tables;
}();

// Eight bytes as a word, byte i in bits 8i to 8i + 7, and back: one load or
// store where words keep their bytes in that order, shifts elsewhere. (g++
// turns the shifts into one instruction too, clang++ does not.)
std::uint64_t load_word(const std::uint8_t* b) noexcept
{
    if constexpr (std::endian::native == std::endian::little) {
        std::uint64_t word = 0;
        std::memcpy(&word, b, sizeof word);
        return word;
    } else {
        return std::uint64_t{b[0]} | (std::uint64_t{b[1]} << 8U) | (std::uint64_t{b[2]} << 16U)
               | (std::uint64_t{b[3]} << 24U) | (std::uint64_t{b[4]} << 32U) | (std::uint64_t{b[5]} << 40U)
               | (std::uint64_t{b[6]} << 48U) | (std::uint64_t{b[7]} << 56U);
    }
}

void store_word(std::uint8_t* bytes, std::uint64_t word) noexcept
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(bytes, &word, sizeof word);
    } else {
#pragma GCC unroll 64
        for (std::size_t i = 0; i < STEP; ++i) {
            bytes[i] = static_cast<std::uint8_t>(word >> (8 * i));
        }
    }
}

// One step: encrypts the eight bytes at `bytes` from register `reg` and
// returns the register after them.
std::uint32_t encrypt_step(std::uint8_t* bytes, std::uint32_t reg) noexcept
{
    // The indices are loaded byte by byte rather than shifted out of the
    // word: a load is one instruction where a shift and a mask are two, and
    // with a group's blocks in lockstep instructions are what limits a step.
    const std::uint64_t plain = load_word(bytes);
    std::uint64_t later = 0;
#pragma GCC unroll 64
    for (std::size_t position = 1; position < STEP; ++position) {
        later ^= LATER_BYTES[position - 1][bytes[position]];
    }
    const unsigned first = bytes[0];
    // What the bytes contribute is ready before the register is.
    const std::uint64_t masks_ahead = FIRST_BYTE.masks[first] ^ (later & ~REGISTER_IN_WORD);
    const std::uint32_t next_ahead = FIRST_BYTE.next[first] ^ static_cast<std::uint32_t>(later & REGISTER_IN_WORD);
    const unsigned low = reg & 0xFFU;
    const unsigned high = reg >> 8U;
    store_word(bytes, plain ^ (REGISTER_LOW.masks[low] ^ REGISTER_HIGH.masks[high]) ^ masks_ahead);
    return (std::uint32_t{REGISTER_LOW.next[low]} ^ REGISTER_HIGH.next[high]) ^ next_ahead;
}

constexpr std::uint32_t start_register(std::uint32_t block_index)
{
    return (block_index & 0xFFFFU) ^ SEED_KEY;
}

// The blocks of a group are encrypted step by step in lockstep. A block's
// steps form one chain through its register, each waiting for the one
// before, so a single block leaves the processor idle between them; the
// chains of different blocks are independent and fill that time.
constexpr std::size_t GROUP = GROUP_portable;

// The GROUP whole blocks at `blocks`, numbered from `first_index` on. This
// and encrypt_block_portable are flattened, every call in them inlined: -O2
// would leave the steps and their loads as calls.
[[gnu::flatten]] void encrypt_group(std::uint8_t* blocks, std::uint32_t first_index) noexcept
{
    std::uint32_t reg[GROUP];
#pragma GCC unroll 64
    for (std::size_t k = 0; k < GROUP; ++k) {
        reg[k] = start_register(first_index + static_cast<std::uint32_t>(k));
    }
    for (std::size_t i = 0; i < BLOCK_SIZE; i += STEP) {
#pragma GCC unroll 64
        for (std::size_t k = 0; k < GROUP; ++k) {
            reg[k] = encrypt_step(blocks + BLOCK_SIZE * k + i, reg[k]);
        }
    }
}

} // namespace

[[gnu::flatten]] void encrypt_block_portable(std::uint8_t* buffer, std::size_t length,
                                             std::uint32_t block_index) noexcept
{
    std::uint32_t reg = start_register(block_index);
    std::size_t i = 0;
    for (; length - i >= STEP; i += STEP) {
        reg = encrypt_step(buffer + i, reg);
    }
    // The last few bytes one after the other, as the transform is written.
    for (; i < length; ++i) {
        const auto encrypted = static_cast<std::uint8_t>(buffer[i] ^ select_mask(static_cast<std::uint16_t>(reg)));
        buffer[i] = encrypted;
        reg = crc16_step(static_cast<std::uint16_t>(reg), encrypted);
    }
}

void encrypt_blocks_portable(std::uint8_t* buffer, std::size_t length, std::uint32_t first_index) noexcept
{
    encrypt_in_groups<GROUP>(buffer, length, first_index, encrypt_group, encrypt_block_portable);
}

// encrypt_block on x86-64 with BMI2 and POPCNT: one byte after the other, the
// mask byte taken from the register with one bit-extract.
#include "block_paths.h"

#if J6ENC_X86_PATHS

#include <cstddef>
#include <cstdint>
#include <immintrin.h>

#include "encryptor.h"
#include "linear_maps.h"
#include "scalar_step.h"

#define J6ENC_BMI2 __attribute__((target("bmi2,popcnt")))

J6ENC_BMI2 void encrypt_block_bmi2(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept
{
    constexpr std::uint32_t MASK_SOURCE_BITS = j6enc::mask_source_bits();
    // q keeps stale bits above bit 15: the low byte moves up unmasked, and
    // what it leaves above bit 15 is shifted out of the word two bytes later.
    // Neither the bit-extract nor the byte taken from bits 8 to 15 sees them.
    std::uint32_t q = (block_index & 0xFFFFU) ^ SEED_KEY;
    std::uint32_t owed = 0; // bit 0: a parity term is owed
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint32_t mask = _pext_u32(q, MASK_SOURCE_BITS);
        const std::uint32_t byte = buffer[i] ^ ((owed & 1U) * j6enc::LATE_MASK);
        buffer[i] = static_cast<std::uint8_t>(byte ^ mask);
        // The chain: bit-extract, one XOR, two shifts, two XORs. The pin has
        // (high ^ byte) ready before the mask, so only one XOR waits for it.
        const std::uint32_t h = j6enc::pinned(((q >> 8U) & 0xFFU) ^ byte) ^ mask;
        owed ^= static_cast<std::uint32_t>(_mm_popcnt_u32(h));
        q = j6enc::pinned(q << 8U) ^ ((h << 1U) ^ (h << 2U));
    }
}

#endif

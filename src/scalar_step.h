// The register step in the shape the one-byte-at-a-time paths use.
#ifndef J6ENC_SCALAR_STEP_H
#define J6ENC_SCALAR_STEP_H

#include <bit>
#include <cstdint>

#include "linear_maps.h"

namespace j6enc {

// Register bits whose parity, with the byte read, is the parity of the step's
// high byte h = (reg >> 8) ^ encrypted byte.
inline constexpr std::uint32_t ZERO_BYTE_PARITY_BITS = zero_byte_parity_bits();
// What an odd h adds to the next register besides (h << 1) ^ (h << 2).
inline constexpr std::uint32_t ODD_TERM = byte_feed(1) ^ (1U << 1U) ^ (1U << 2U);

constexpr std::uint32_t parity(std::uint32_t value) noexcept
{
#if defined(__GNUC__)
    return static_cast<std::uint32_t>(__builtin_parity(value));
#else
    return static_cast<std::uint32_t>(std::popcount(value)) & 1U;
#endif
}

// The register after a byte: `odd` is the parity of h = (reg >> 8) ^ input ^
// mask; crc16_step(reg, c) = ((reg & 0xFF) << 8) ^ (h << 1) ^ (h << 2) ^
// (odd ? ODD_TERM : 0).
constexpr std::uint32_t next_register(std::uint32_t reg, std::uint32_t input, std::uint32_t mask,
                                      std::uint32_t odd) noexcept
{
    const std::uint32_t pre = (reg >> 8U) ^ input;
    const std::uint32_t rest = ((reg & 0xFFU) << 8U) ^ (pre << 1U) ^ (pre << 2U) ^ (-odd & ODD_TERM);
    return rest ^ ((mask << 1U) ^ (mask << 2U));
}

} // namespace j6enc

#endif

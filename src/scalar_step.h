// What the one-byte-at-a-time paths share.
//
// With h the high byte of the step's W, (reg >> 8) ^ encrypted byte,
//   crc16_step(reg, c) = ((reg & 0xFF) << 8) ^ (h << 1) ^ (h << 2)
//                        ^ (h has odd parity ? parity_feed() : 0).
// The paths carry the register as q with the parity term owed (late_by_one):
// the register is q ^ parity_feed() while a term is owed. One byte later the
// owed term shows as LATE_MASK in that byte's mask; stepping q alone leaves
// it owed still (a zero byte keeps the term as it is), and the step's own
// parity term is owed in turn. The parity thus never waits on the register's
// chain: it is applied to the following byte, which is read ahead.
#ifndef J6ENC_SCALAR_STEP_H
#define J6ENC_SCALAR_STEP_H

#include <cstdint>

#include "linear_maps.h"

namespace j6enc {

// What an owed parity term adds to the mask byte.
inline constexpr std::uint32_t LATE_MASK = select_mask(parity_feed());

// Keeps a value as computed: the compilers would otherwise regroup a balanced
// XOR tree into one serial chain, which is the loop's critical path.
inline std::uint32_t pinned(std::uint32_t value) noexcept
{
#if defined(__GNUC__)
    __asm__("" : "+r"(value));
#endif
    return value;
}

} // namespace j6enc

#endif

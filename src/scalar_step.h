// What the one-byte-at-a-time paths share.
//
// With h the high byte of the step's W, (reg >> 8) ^ encrypted byte,
//   crc16_step(reg, c) = ((reg & 0xFF) << 8) ^ (h << 1) ^ (h << 2)
//                        ^ (h has odd parity ? parity_feed() : 0).
// The paths carry the register as q, with the parity term of the last step
// possibly owed: the register is q ^ parity_feed() while a term is owed. The
// owed term adds LATE_MASK to the next mask byte; and since a zero byte leaves
// the term as it is, stepping q alone keeps it owed, while the new step's own
// parity term toggles whether one is owed. So the parity never waits on the
// register's chain: it acts on the next byte, which is read ahead.
#ifndef J6ENC_SCALAR_STEP_H
#define J6ENC_SCALAR_STEP_H

#include <cstdint>

#include "linear_maps.h"

namespace j6enc {

// What an owed parity term adds to the mask byte.
inline constexpr std::uint32_t LATE_MASK = select_mask(parity_feed());

// Keeps a value as computed: g++ 12 and clang++ 14 would otherwise regroup a
// balanced XOR tree into one serial chain, the loop's critical path.
static inline std::uint32_t pinned(std::uint32_t value) noexcept
{
#if defined(__GNUC__)
    __asm__("" : "+r"(value));
#endif
    return value;
}

} // namespace j6enc

#endif

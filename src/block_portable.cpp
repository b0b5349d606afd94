// encrypt_block on any compiler and processor: one byte after the other.
#include <bit>
#include <cstddef>
#include <cstdint>

#include "block_paths.h"
#include "encryptor.h"
#include "linear_maps.h"
#include "scalar_step.h"

namespace {

using j6enc::pinned;

// Register bits that select_mask moves down by 0, 4, 5, 6 and 7 places.
constexpr std::uint32_t MOVED_0 = j6enc::mask_bits_moved_down(0);
constexpr std::uint32_t MOVED_4 = j6enc::mask_bits_moved_down(4);
constexpr std::uint32_t MOVED_5 = j6enc::mask_bits_moved_down(5);
constexpr std::uint32_t MOVED_6 = j6enc::mask_bits_moved_down(6);
constexpr std::uint32_t MOVED_7 = j6enc::mask_bits_moved_down(7);
static_assert((MOVED_0 | MOVED_4 | MOVED_5 | MOVED_6 | MOVED_7) == j6enc::mask_source_bits());

std::uint32_t parity8(std::uint32_t value) noexcept
{
#if defined(__GNUC__)
    // On a byte, g++ and clang++ use the processor's parity flag.
    return static_cast<std::uint32_t>(__builtin_parity(static_cast<std::uint8_t>(value)));
#else
    return static_cast<std::uint32_t>(std::popcount(static_cast<std::uint8_t>(value))) & 1U;
#endif
}

} // namespace

void encrypt_block_portable(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept
{
    std::uint32_t q = (block_index & 0xFFFFU) ^ SEED_KEY;
    std::uint32_t late = 0; // LATE_MASK while a parity term is owed
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint32_t byte = pinned(buffer[i] ^ late);
        const std::uint32_t high = q >> 8U;
        // h = high ^ byte ^ select_mask(q), as a tree of depth 3 over the
        // mask's five bit groups and the part known ahead, high ^ byte.
        const std::uint32_t t0 = pinned((q & MOVED_0) ^ pinned(high ^ byte));
        const std::uint32_t t1 = pinned(((q & MOVED_4) >> 4U) ^ ((q & MOVED_5) >> 5U));
        const std::uint32_t t2 = pinned(((q & MOVED_6) >> 6U) ^ ((q & MOVED_7) >> 7U));
        const std::uint32_t h = pinned(t0 ^ t1) ^ t2;
        buffer[i] = static_cast<std::uint8_t>(h ^ high); // byte ^ mask
        late ^= parity8(h) * j6enc::LATE_MASK;
        // The low byte's move up is kept off the chain.
        q = pinned((q & 0xFFU) << 8U) ^ ((h << 1U) ^ (h << 2U));
    }
}

// The block transform as linear algebra over GF(2), for the fast paths.
//
// select_mask is linear in the register, and crc16_step is linear in the
// register and the byte together (no initial value, no final XOR). With b the
// byte read and r the register, the encrypted byte and the next register are
//   c  = b ^ S(r)
//   r' = crc16_step(r, c) = A(r) ^ N(b),  where A(r) = crc16_step(r, S(r)),
//                                               N(b) = crc16_step(0, b),
// and S is select_mask. Only A is on the chain from one byte to the next;
// N(b) can be formed ahead. Every map here is
// derived at compile time from select_mask and crc16_step themselves, so the
// fast paths carry no hand-typed constants.
#ifndef J6ENC_LINEAR_MAPS_H
#define J6ENC_LINEAR_MAPS_H

#include <array>
#include <cstdint>

#include "encryptor.h"

namespace j6enc {

// A linear map of the 16-bit register: column i is the image of bit i.
using Map16 = std::array<std::uint16_t, 16>;

constexpr std::uint16_t bit16(unsigned i) noexcept
{
    return static_cast<std::uint16_t>(1U << i);
}

constexpr std::uint16_t apply(const Map16& map, std::uint16_t value) noexcept
{
    std::uint16_t result = 0;
    for (unsigned i = 0; i < 16; ++i) {
        if (((value >> i) & 1U) != 0) {
            result ^= map[i];
        }
    }
    return result;
}

// first after second: value -> first(second(value)).
constexpr Map16 compose(const Map16& first, const Map16& second) noexcept
{
    Map16 result{};
    for (unsigned i = 0; i < 16; ++i) {
        result[i] = apply(first, second[i]);
    }
    return result;
}

// map applied `exponent` times, by repeated squaring: the lane method needs
// powers in the hundreds, which one composition at a time would take past
// the compilers' limits on constant evaluation.
constexpr Map16 power(const Map16& map, unsigned exponent) noexcept
{
    Map16 result{};
    for (unsigned i = 0; i < 16; ++i) {
        result[i] = bit16(i);
    }
    Map16 square = map;
    for (; exponent != 0; exponent >>= 1U) {
        if ((exponent & 1U) != 0) {
            result = compose(square, result);
        }
        square = compose(square, square);
    }
    return result;
}

// A: the register one byte later when the byte read is 0.
constexpr Map16 zero_byte_step() noexcept
{
    Map16 map{};
    for (unsigned i = 0; i < 16; ++i) {
        map[i] = crc16_step(bit16(i), select_mask(bit16(i)));
    }
    return map;
}

// A^count: the register `count` bytes later when every byte read is 0.
constexpr Map16 zero_bytes_jump(unsigned count) noexcept
{
    return power(zero_byte_step(), count);
}

// N: what the byte read adds to the next register.
constexpr std::uint16_t byte_feed(std::uint8_t byte) noexcept
{
    return crc16_step(0, byte);
}

// The register bits that select_mask takes, as a mask; a bit-extract of the
// register under it, lowest bit first, is the mask byte.
constexpr std::uint16_t mask_source_bits() noexcept
{
    std::uint16_t bits = 0;
    for (unsigned i = 0; i < 16; ++i) {
        if (select_mask(bit16(i)) != 0) {
            bits |= bit16(i);
        }
    }
    return bits;
}

// What an odd high byte h of the step's W adds to the next register besides
// (h << 1) ^ (h << 2): crc16_step(0, h) is those two shifted copies, plus this
// when h has an odd number of bits set (checked below for every h).
constexpr std::uint16_t parity_feed() noexcept
{
    return static_cast<std::uint16_t>(byte_feed(1) ^ (1U << 1U) ^ (1U << 2U));
}

constexpr bool parity_feed_completes_the_step() noexcept
{
    for (unsigned h = 0; h < 256; ++h) {
        unsigned odd = h;
        odd ^= odd >> 4U;
        odd ^= odd >> 2U;
        odd ^= odd >> 1U;
        const unsigned closed = (h << 1U) ^ (h << 2U) ^ ((odd & 1U) != 0 ? parity_feed() : 0U);
        if (byte_feed(static_cast<std::uint8_t>(h)) != closed) {
            return false;
        }
    }
    return true;
}
static_assert(parity_feed_completes_the_step());

// A zero byte leaves the parity term as it is, which lets the scalar paths add
// a step's parity term one byte late (scalar_step.h).
static_assert(crc16_step(parity_feed(), 0) == parity_feed());

// The register bits that select_mask moves down by `shift` places.
constexpr std::uint16_t mask_bits_moved_down(unsigned shift) noexcept
{
    std::uint16_t bits = 0;
    for (unsigned i = shift; i < 16; ++i) {
        if (select_mask(bit16(i)) == (1U << (i - shift))) {
            bits |= bit16(i);
        }
    }
    return bits;
}

} // namespace j6enc

#endif

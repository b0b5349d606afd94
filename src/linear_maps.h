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

} // namespace j6enc

#endif

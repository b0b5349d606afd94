// The lane method's plan: every matrix it multiplies by, derived at compile
// time from select_mask and crc16_step, as operands of a path's vector
// operations. Nothing here runs but to_lane_basis and the byte halves, which
// the method (lane_method.h) also applies to each block's start register.
//
// S, A and N are as in linear_maps.h; the method cuts each lane into
// segments of SEGMENT bytes (see lane_method.h).
#ifndef J6ENC_LANE_PLAN_H
#define J6ENC_LANE_PLAN_H

#include <array>
#include <cstddef>
#include <cstdint>

#include "encryptor.h"
#include "linear_maps.h"

namespace j6enc::lanes {

// A linear map of bytes over GF(2): entry j is the image of bit j.
using ByteMap = std::array<std::uint8_t, 8>;

// Bytes per segment. Longer segments need fewer segment start registers but
// more products with earlier bytes (their number grows as the square of the
// segment).
inline constexpr unsigned SEGMENT = 4;

template <typename Linear> constexpr ByteMap byte_map(Linear linear)
{
    ByteMap map{};
    for (unsigned j = 0; j < 8; ++j) {
        map[j] = static_cast<std::uint8_t>(linear(static_cast<std::uint8_t>(1U << j)));
    }
    return map;
}

constexpr std::uint8_t image(const ByteMap& map, std::uint8_t byte)
{
    std::uint8_t result = 0;
    for (unsigned j = 0; j < 8; ++j) {
        if (((byte >> j) & 1U) != 0) {
            result ^= map[j];
        }
    }
    return result;
}

// Where the lane basis takes its bits from: for each bit of the low byte, the
// register bit that select_mask moves there; for the high byte, the register
// bits that select_mask leaves out, lowest first.
struct BasisSources {
    unsigned bit[16];
};

constexpr BasisSources lane_basis_sources()
{
    BasisSources sources{};
    unsigned unmasked = 8;
    for (unsigned i = 0; i < 16; ++i) {
        const unsigned mask = select_mask(bit16(i));
        if (mask == 0) {
            sources.bit[unmasked++] = i;
        }
        for (unsigned t = 0; t < 8; ++t) {
            if (mask == (1U << t)) {
                sources.bit[t] = i;
            }
        }
    }
    return sources;
}

// The register in the lane basis: select_mask of it in the low byte, the
// bits that select_mask leaves out in the high byte.
static constexpr std::uint16_t to_lane_basis(std::uint16_t reg)
{
    constexpr BasisSources SOURCES = lane_basis_sources();
    std::uint32_t moved = 0;
    for (unsigned t = 0; t < 16; ++t) {
        moved |= ((std::uint32_t{reg} >> SOURCES.bit[t]) & 1U) << t;
    }
    return static_cast<std::uint16_t>(moved);
}

constexpr Map16 map16(std::uint16_t (*linear)(std::uint16_t))
{
    Map16 map{};
    for (unsigned i = 0; i < 16; ++i) {
        map.at(i) = linear(bit16(i));
    }
    return map;
}

constexpr Map16 LANE_BASIS = map16([](std::uint16_t reg) { return to_lane_basis(reg); });

// The inverse of LANE_BASIS, which only moves bits.
constexpr Map16 from_lane_basis()
{
    Map16 map{};
    for (unsigned i = 0; i < 16; ++i) {
        for (unsigned j = 0; j < 16; ++j) {
            if (LANE_BASIS.at(j) == bit16(i)) {
                map.at(i) = bit16(j);
            }
        }
    }
    return map;
}
constexpr Map16 FROM_LANE_BASIS = from_lane_basis();

constexpr bool lane_basis_is_invertible()
{
    for (unsigned i = 0; i < 16; ++i) {
        if (apply(FROM_LANE_BASIS, LANE_BASIS.at(i)) != bit16(i)) {
            return false;
        }
    }
    return true;
}
static_assert(lane_basis_is_invertible());

constexpr bool mask_is_the_low_byte()
{
    for (unsigned i = 0; i < 16; ++i) {
        if ((LANE_BASIS.at(i) & 0xFFU) != select_mask(bit16(i))) {
            return false;
        }
    }
    return true;
}
static_assert(mask_is_the_low_byte());

// A, and what a byte adds to the register, N, in the lane basis.
constexpr Map16 STEP = compose(LANE_BASIS, compose(zero_byte_step(), FROM_LANE_BASIS));
constexpr std::uint16_t lane_feed(std::uint8_t byte)
{
    return to_lane_basis(byte_feed(byte));
}

static constexpr std::uint8_t low_byte(std::uint16_t value)
{
    return static_cast<std::uint8_t>(value);
}
static constexpr std::uint8_t high_byte(std::uint16_t value)
{
    return static_cast<std::uint8_t>(value >> 8U);
}

// A map of the register split into the four byte maps between its halves.
template <typename Operand> struct Halves {
    Operand low_from_low;
    Operand low_from_high;
    Operand high_from_low;
    Operand high_from_high;
};

template <typename Operand, typename Convert> constexpr Halves<Operand> halves(const Map16& map, Convert operand)
{
    const auto from_low = [&](std::uint8_t b) { return apply(map, b); };
    const auto from_high = [&](std::uint8_t b) { return apply(map, static_cast<std::uint16_t>(b << 8U)); };
    return {operand(byte_map([&](std::uint8_t b) { return low_byte(from_low(b)); })),
            operand(byte_map([&](std::uint8_t b) { return low_byte(from_high(b)); })),
            operand(byte_map([&](std::uint8_t b) { return high_byte(from_low(b)); })),
            operand(byte_map([&](std::uint8_t b) { return high_byte(from_high(b)); }))};
}

constexpr unsigned log2(unsigned value)
{
    unsigned log = 0;
    while ((1U << log) < value) {
        ++log;
    }
    return log;
}

// Every matrix of the lane method for LANES lanes, as the path's operands.
template <typename Operand, unsigned LANES> struct Plan {
    static constexpr unsigned LANE_BYTES = BLOCK_SIZE / LANES;
    static constexpr unsigned SEGMENTS = LANE_BYTES / SEGMENT;
    static constexpr unsigned SCAN_STEPS = log2(LANES);
    static_assert(std::size_t{LANES} * LANE_BYTES == BLOCK_SIZE && SEGMENTS * SEGMENT == LANE_BYTES && SEGMENTS >= 2);
    static_assert((1U << SCAN_STEPS) == LANES);

    // [i]: what byte i of a segment adds to the register at the segment's
    // end, A^(SEGMENT-1-i) N, its low and its high byte.
    Operand feed_low[SEGMENT];
    Operand feed_high[SEGMENT];
    // [d], d >= 1: what a byte adds to the mask byte d places later,
    // S A^(d-1) N.
    Operand key[SEGMENT];
    // [i], i >= 1: the mask byte i places into a segment from the segment's
    // start register, S A^i, from its low and its high byte.
    Operand start_from_low[SEGMENT];
    Operand start_from_high[SEGMENT];
    // [j], j >= 1: A^(SEGMENT j), the register j segments of zero bytes
    // later.
    Halves<Operand> segment_jump[SEGMENTS];
    // [s]: A^(LANE_BYTES 2^s), the register 2^s lanes of zero bytes later.
    Halves<Operand> scan_jump[SCAN_STEPS];
};

template <typename Operand, unsigned LANES, typename Convert> constexpr Plan<Operand, LANES> make_plan(Convert operand)
{
    using P = Plan<Operand, LANES>;
    P plan{};
    for (unsigned i = 0; i < SEGMENT; ++i) {
        const Map16 to_end = power(STEP, SEGMENT - 1 - i);
        plan.feed_low[i] = operand(byte_map([&](std::uint8_t b) { return low_byte(apply(to_end, lane_feed(b))); }));
        plan.feed_high[i] = operand(byte_map([&](std::uint8_t b) { return high_byte(apply(to_end, lane_feed(b))); }));
        // The mask is the low byte of the register in the lane basis.
        const Map16 ahead = power(STEP, i);
        const Map16 behind = power(STEP, i == 0 ? 0 : i - 1);
        plan.key[i] = operand(byte_map([&](std::uint8_t b) { return low_byte(apply(behind, lane_feed(b))); }));
        const Halves<Operand> start = halves<Operand>(ahead, operand);
        plan.start_from_low[i] = start.low_from_low;
        plan.start_from_high[i] = start.low_from_high;
    }
    for (unsigned j = 0; j < P::SEGMENTS; ++j) {
        plan.segment_jump[j] = halves<Operand>(power(STEP, SEGMENT * j), operand);
    }
    for (unsigned s = 0; s < P::SCAN_STEPS; ++s) {
        plan.scan_jump[s] = halves<Operand>(power(STEP, P::LANE_BYTES << s), operand);
    }
    return plan;
}

// The plan for a path's vector operations Ops (LaneOps in lane_method.h):
// for its vector width, as its operands.
template <class Ops>
constexpr Plan<typename Ops::Operand, Ops::LANES>
    PLAN = make_plan<typename Ops::Operand, Ops::LANES>([](const ByteMap& map) { return Ops::operand(map); });

// The two 16-entry tables of a byte map for table-lookup products: the image
// of every low nibble and of every high nibble.
struct NibbleTables {
    std::uint8_t low[16];
    std::uint8_t high[16];
};

constexpr NibbleTables nibble_tables(const ByteMap& map)
{
    NibbleTables tables{};
    for (unsigned n = 0; n < 16; ++n) {
        tables.low[n] = image(map, static_cast<std::uint8_t>(n));
        tables.high[n] = image(map, static_cast<std::uint8_t>(n << 4U));
    }
    return tables;
}

// A byte map as the matrix operand of the affine instructions (GFNI): the row
// of output bit i is byte 7 - i of the 64-bit word.
constexpr std::uint64_t affine_matrix(const ByteMap& map)
{
    std::uint64_t matrix = 0;
    for (unsigned j = 0; j < 8; ++j) {
        for (unsigned i = 0; i < 8; ++i) {
            if (((map.at(j) >> i) & 1U) != 0) {
                matrix |= std::uint64_t{1} << (8U * (7U - i) + j);
            }
        }
    }
    return matrix;
}

} // namespace j6enc::lanes

#endif

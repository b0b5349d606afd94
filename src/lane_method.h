// The lane method: the block transform for vector instruction sets, written
// once and compiled for each of them with its own vector operations.
//
// With S, A and N as in linear_maps.h, the block is cut into LANES lanes of
// LANE_BYTES consecutive bytes, and each lane into runs of RUN bytes. If r is
// the register at the start of a run and b0, b1, ... its bytes, the register
// and mask byte i bytes into the run are
//   r_i    = A^i r ^ [sum over d = 1..i of A^(d-1) N b(i-d)]
//   mask_i = S r_i,
// so the mask of every byte is a sum of products of a fixed linear map with
// the run's start register or one of the run's earlier bytes. The run start
// registers of a lane follow from its first register and the runs' own
// contributions, and the lanes' first registers from the block's start
// register by a prefix scan over the lanes: with R(l) the register at the
// start of lane l and W(l) what lane l's bytes add to the register at its end,
//   R(0) = start,   R(l+1) = A^LANE_BYTES R(l) ^ W(l),
// which log2(LANES) doubling steps R(l) <- R(l) ^ A^(LANE_BYTES s) R(l-s),
// s = 1, 2, 4, ..., solve for all lanes at once.
//
// A path keeps byte k of every lane in one vector (lane l in byte l), so each
// product is one operation on a whole vector with one matrix for all lanes:
// a GF(2) 8x8 bit-matrix product, done by the path as one affine instruction
// or as two 16-entry table lookups, one per nibble. The register is held in a
// basis whose low byte is the mask byte (to_lane_basis), which makes the mask
// at the start of each run free. Every matrix is derived at compile time from
// select_mask and crc16_step.
//
// A path supplies, as the static members of one struct (Ops below):
//   LANES                    vector width in bytes, one lane per byte
//   Vector                   a vector of LANES bytes
//   Input, prepare(Vector)   a vector made ready for products (its nibbles,
//                            say), done once however many matrices it meets
//   Operand, operand(map)    a ByteMap in the form product takes (constexpr)
//   product(Input, Operand)  the map applied to every byte
//   bitwise_xor(a, b)
//   shift_lanes<COUNT>(v)    lane l takes lane l - COUNT; lanes below COUNT, 0
//   first_lane(byte)         `byte` in lane 0, 0 elsewhere
//   load(block, bytes)       bytes[k], lane l = block[LANE_BYTES * l + k]
//   store(block, bytes)      the inverse of load (bytes may be used up)
//
// Every loop over vectors is unrolled completely (#pragma GCC unroll), here
// and in the paths' own loads and stores: only then do the arrays of vectors
// live in registers, and compilers unroll such loops by themselves at -O3
// alone, not at the -O2 that distributions build with.
//
// Every function here that runs is a template over Ops or has internal
// linkage: each path's file is compiled for its own instruction set, and no
// copy of a function compiled for one set may stand in for another's.
#ifndef J6ENC_LANE_METHOD_H
#define J6ENC_LANE_METHOD_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "block_paths.h"
#include "encryptor.h"
#include "linear_maps.h"

namespace j6enc::lanes {

// A linear map of bytes over GF(2): entry j is the image of bit j.
using ByteMap = std::array<std::uint8_t, 8>;

// Bytes per run. Longer runs need fewer run start registers but more
// products with earlier bytes (their number grows as the square of the run).
inline constexpr unsigned RUN = 4;

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
    static constexpr unsigned RUNS = LANE_BYTES / RUN;
    static constexpr unsigned SCAN_STEPS = log2(LANES);
    static_assert(std::size_t{LANES} * LANE_BYTES == BLOCK_SIZE && RUNS * RUN == LANE_BYTES && RUNS >= 2);
    static_assert((1U << SCAN_STEPS) == LANES);

    // [i]: what byte i of a run adds to the register at the run's end,
    // A^(RUN-1-i) N, its low and its high byte.
    Operand feed_low[RUN];
    Operand feed_high[RUN];
    // [d], d >= 1: what a byte adds to the mask byte d places later,
    // S A^(d-1) N.
    Operand key[RUN];
    // [i], i >= 1: the mask byte i places into a run from the run's start
    // register, S A^i, from its low and its high byte.
    Operand start_from_low[RUN];
    Operand start_from_high[RUN];
    // [j], j >= 1: A^(RUN j), the register j runs of zero bytes later.
    Halves<Operand> run_jump[RUNS];
    // [s]: A^(LANE_BYTES 2^s), the register 2^s lanes of zero bytes later.
    Halves<Operand> scan_jump[SCAN_STEPS];
};

template <typename Operand, unsigned LANES, typename Convert> constexpr Plan<Operand, LANES> make_plan(Convert operand)
{
    using P = Plan<Operand, LANES>;
    P plan{};
    for (unsigned i = 0; i < RUN; ++i) {
        const Map16 to_end = power(STEP, RUN - 1 - i);
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
    for (unsigned j = 0; j < P::RUNS; ++j) {
        plan.run_jump[j] = halves<Operand>(power(STEP, RUN * j), operand);
    }
    for (unsigned s = 0; s < P::SCAN_STEPS; ++s) {
        plan.scan_jump[s] = halves<Operand>(power(STEP, P::LANE_BYTES << s), operand);
    }
    return plan;
}

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

// The register of every lane, its low and its high byte.
template <class Ops> struct Register {
    typename Ops::Vector low;
    typename Ops::Vector high;
};

template <class Ops> struct PreparedRegister {
    typename Ops::Input low;
    typename Ops::Input high;
};

// Both halves made ready for products.
template <class Ops> PreparedRegister<Ops> prepare(const Register<Ops>& reg)
{
    return {Ops::prepare(reg.low), Ops::prepare(reg.high)};
}

// A map of the register applied to every lane's.
template <class Ops, typename Operand>
Register<Ops> apply_halves(const PreparedRegister<Ops>& reg, const Halves<Operand>& linear)
{
    return {
        Ops::bitwise_xor(Ops::product(reg.low, linear.low_from_low), Ops::product(reg.high, linear.low_from_high)),
        Ops::bitwise_xor(Ops::product(reg.low, linear.high_from_low), Ops::product(reg.high, linear.high_from_high))};
}

template <class Ops> Register<Ops> bitwise_xor(const Register<Ops>& a, const Register<Ops>& b)
{
    return {Ops::bitwise_xor(a.low, b.low), Ops::bitwise_xor(a.high, b.high)};
}

template <class Ops, unsigned COUNT> Register<Ops> shift_lanes(const Register<Ops>& reg)
{
    return {Ops::template shift_lanes<COUNT>(reg.low), Ops::template shift_lanes<COUNT>(reg.high)};
}

// One doubling step of the scan: every lane adds the register COUNT lanes
// before it, carried over the COUNT lanes in between as if they were zeros.
template <class Ops, unsigned COUNT, typename Operand>
Register<Ops> scan_step(const Register<Ops>& reg, const Halves<Operand>& carry)
{
    return bitwise_xor(reg, apply_halves(prepare(shift_lanes<Ops, COUNT>(reg)), carry));
}

// One doubling step of the scan for every block of a group.
template <class Ops, unsigned COUNT, std::size_t BLOCKS, typename Operand>
void scan_steps(Register<Ops> (&reg)[BLOCKS], const Halves<Operand>& carry)
{
#pragma GCC unroll 64
    for (std::size_t k = 0; k < BLOCKS; ++k) {
        reg[k] = scan_step<Ops, COUNT>(reg[k], carry);
    }
}

// Encrypts BLOCKS whole consecutive blocks at `blocks` in place; start[k] is
// the start register of block k in the lane basis. The blocks are
// independent, and each stage is done for all of them before the next: the
// stages of one block wait on each other, those of different blocks fill
// that time. Flattened, that is with every call in it inlined: -O2 would
// call the loads, stores and scan steps, and their vectors would then go
// through memory.
template <class Ops, std::size_t BLOCKS>
[[gnu::flatten]] void encrypt_lanes(std::uint8_t* blocks, const std::uint16_t (&start)[BLOCKS])
{
    using Vector = typename Ops::Vector;
    using Operand = typename Ops::Operand;
    using P = Plan<Operand, Ops::LANES>;
    static constexpr P PLAN = make_plan<Operand, Ops::LANES>([](const ByteMap& m) { return Ops::operand(m); });

    Vector bytes[BLOCKS][P::LANE_BYTES];
#pragma GCC unroll 64
    for (std::size_t k = 0; k < BLOCKS; ++k) {
        Ops::load(blocks + BLOCK_SIZE * k, bytes[k]);
    }

    // Each run: what it adds to the register, and its bytes XORed with what
    // its earlier bytes add to their masks.
    Register<Ops> added[BLOCKS][P::RUNS];
#pragma GCC unroll 64
    for (std::size_t j = 0; j < P::RUNS; ++j) {
#pragma GCC unroll 64
        for (std::size_t k = 0; k < BLOCKS; ++k) {
            Vector* const run = bytes[k] + std::size_t{RUN} * j;
            typename Ops::Input in[RUN];
#pragma GCC unroll 64
            for (unsigned i = 0; i < RUN; ++i) {
                in[i] = Ops::prepare(run[i]);
                const Register<Ops> feed = {Ops::product(in[i], PLAN.feed_low[i]),
                                            Ops::product(in[i], PLAN.feed_high[i])};
                added[k][j] = i == 0 ? feed : bitwise_xor(added[k][j], feed);
#pragma GCC unroll 64
                for (unsigned d = 1; d <= i; ++d) {
                    run[i] = Ops::bitwise_xor(run[i], Ops::product(in[i - d], PLAN.key[d]));
                }
            }
        }
    }

    // within[j]: the register at the start of run j of a lane that started
    // from 0; lane_end: what the whole lane adds to its end register.
    Register<Ops> within[BLOCKS][P::RUNS];
    Register<Ops> lane_end[BLOCKS];
#pragma GCC unroll 64
    for (std::size_t k = 0; k < BLOCKS; ++k) {
        lane_end[k] = added[k][0];
    }
#pragma GCC unroll 64
    for (std::size_t j = 1; j < P::RUNS; ++j) {
#pragma GCC unroll 64
        for (std::size_t k = 0; k < BLOCKS; ++k) {
            within[k][j] = lane_end[k];
            lane_end[k] = bitwise_xor(apply_halves(prepare(lane_end[k]), PLAN.run_jump[1]), added[k][j]);
        }
    }

    // The lanes' first registers: lane 0 takes the block's start register,
    // lane l + 1 what lane l adds, and the scan sums in the earlier lanes.
    Register<Ops> first[BLOCKS];
#pragma GCC unroll 64
    for (std::size_t k = 0; k < BLOCKS; ++k) {
        first[k] = bitwise_xor(shift_lanes<Ops, 1>(lane_end[k]),
                               {Ops::first_lane(low_byte(start[k])), Ops::first_lane(high_byte(start[k]))});
    }
    [&]<unsigned... LOG_COUNT>(std::integer_sequence<unsigned, LOG_COUNT...>)
    {
        (scan_steps<Ops, 1U << LOG_COUNT>(first, PLAN.scan_jump[LOG_COUNT]), ...);
    }
    (std::make_integer_sequence<unsigned, P::SCAN_STEPS>{});

    // Each run's start register, and from it the masks of the run's bytes.
    PreparedRegister<Ops> first_in[BLOCKS];
#pragma GCC unroll 64
    for (std::size_t k = 0; k < BLOCKS; ++k) {
        first_in[k] = prepare(first[k]);
    }
#pragma GCC unroll 64
    for (std::size_t j = 0; j < P::RUNS; ++j) {
#pragma GCC unroll 64
        for (std::size_t k = 0; k < BLOCKS; ++k) {
            Vector* const run = bytes[k] + std::size_t{RUN} * j;
            const Register<Ops> reg =
                j == 0 ? first[k] : bitwise_xor(apply_halves(first_in[k], PLAN.run_jump[j]), within[k][j]);
            run[0] = Ops::bitwise_xor(run[0], reg.low);
            const PreparedRegister<Ops> in = prepare(reg);
#pragma GCC unroll 64
            for (unsigned i = 1; i < RUN; ++i) {
                run[i] = Ops::bitwise_xor(run[i], Ops::bitwise_xor(Ops::product(in.low, PLAN.start_from_low[i]),
                                                                   Ops::product(in.high, PLAN.start_from_high[i])));
            }
        }
    }

#pragma GCC unroll 64
    for (std::size_t k = 0; k < BLOCKS; ++k) {
        Ops::store(blocks + BLOCK_SIZE * k, bytes[k]);
    }
}

// The start register of block `block_index` in the lane basis.
static constexpr std::uint16_t lane_start(std::uint32_t block_index)
{
    return to_lane_basis(static_cast<std::uint16_t>((block_index & 0xFFFFU) ^ SEED_KEY));
}

// encrypt_block by the lane method with the vector operations of Ops. A
// shorter block is encrypted in a zeroed copy of a whole one: bytes after the
// end affect only later bytes, and only the block's own bytes are copied
// back, so nothing outside the block is read or written.
template <class Ops> void encrypt_block_by_lanes(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index)
{
    const std::uint16_t start[1] = {lane_start(block_index)};
    if (length == BLOCK_SIZE) {
        encrypt_lanes<Ops>(buffer, start);
    } else if (length > 0) {
        alignas(64) std::uint8_t whole[BLOCK_SIZE] = {};
        std::memcpy(whole, buffer, length);
        encrypt_lanes<Ops>(whole, start);
        std::memcpy(buffer, whole, length);
    }
}

// encrypt_blocks by the lane method: GROUP whole blocks at a time, and what
// remains block by block.
template <class Ops, std::size_t GROUP>
void encrypt_blocks_by_lanes(std::uint8_t* buffer, std::size_t length, std::uint32_t first_index)
{
    const auto group = [](std::uint8_t* blocks, std::uint32_t first) {
        std::uint16_t start[GROUP];
#pragma GCC unroll 64
        for (std::size_t k = 0; k < GROUP; ++k) {
            start[k] = lane_start(first + static_cast<std::uint32_t>(k));
        }
        encrypt_lanes<Ops>(blocks, start);
    };
    encrypt_in_groups<GROUP>(buffer, length, first_index, group, encrypt_block_by_lanes<Ops>);
}

} // namespace j6enc::lanes

#endif

// The lane method: the block transform for vector instruction sets, written
// once and compiled for each of them with its own vector operations.
//
// With S, A and N as in linear_maps.h, the block is cut into LANES lanes of
// LANE_BYTES consecutive bytes, and each lane into segments of SEGMENT bytes.
// If r is the register at the start of a segment and b0, b1, ... its bytes,
// the register and mask byte i bytes into the segment are
//   r_i    = A^i r ^ [sum over d = 1..i of A^(d-1) N b(i-d)]
//   mask_i = S r_i,
// so the mask of every byte is a sum of products of a fixed linear map with
// the segment's start register or one of the segment's earlier bytes. The
// segment start registers of a lane follow from its first register and the
// segments' own contributions, and the lanes' first registers from the
// block's start register by a prefix scan over the lanes: with R(l) the
// register at the start of lane l and W(l) what lane l's bytes add to the
// register at its end,
//   R(0) = start,   R(l+1) = A^LANE_BYTES R(l) ^ W(l),
// which log2(LANES) doubling steps R(l) <- R(l) ^ A^(LANE_BYTES s) R(l-s),
// s = 1, 2, 4, ..., solve for all lanes at once.
//
// A path keeps byte k of every lane in one vector (lane l in byte l), so each
// product is one operation on a whole vector with one matrix for all lanes:
// a GF(2) 8x8 bit-matrix product, done by the path as one affine instruction
// or as two 16-entry table lookups, one per nibble. The register is held in a
// basis whose low byte is the mask byte (to_lane_basis), which makes the mask
// at the start of each segment free. Every matrix is derived at compile time
// (lane_plan.h).
//
// A path supplies its vector operations as the static members of one struct,
// checked against the concept LaneOps below.
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

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "block_paths.h"
#include "encryptor.h"
#include "lane_plan.h"

namespace j6enc::lanes {

// The vector operations of a path:
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
template <class Ops>
concept LaneOps = requires(typename Ops::Vector vector, const typename Ops::Input& input,
                           const typename Ops::Operand& operand, const ByteMap& map, std::uint8_t byte,
                           std::uint8_t* block, typename Ops::Vector* bytes)
{
    requires std::convertible_to<decltype(Ops::LANES), unsigned>;
    requires std::same_as<decltype(Ops::prepare(vector)), typename Ops::Input>;
    requires std::same_as<decltype(Ops::operand(map)), typename Ops::Operand>;
    requires std::same_as<decltype(Ops::product(input, operand)), typename Ops::Vector>;
    requires std::same_as<decltype(Ops::bitwise_xor(vector, vector)), typename Ops::Vector>;
    requires std::same_as<decltype(Ops::template shift_lanes<1>(vector)), typename Ops::Vector>;
    requires std::same_as<decltype(Ops::first_lane(byte)), typename Ops::Vector>;
    Ops::load(block, bytes);
    Ops::store(block, bytes);
};

// The register of every lane, its low and its high byte.
template <LaneOps Ops> struct Register {
    typename Ops::Vector low;
    typename Ops::Vector high;
};

template <LaneOps Ops> struct PreparedRegister {
    typename Ops::Input low;
    typename Ops::Input high;
};

// Both halves made ready for products.
template <LaneOps Ops> PreparedRegister<Ops> prepare(const Register<Ops>& reg)
{
    return {Ops::prepare(reg.low), Ops::prepare(reg.high)};
}

// A map of the register applied to every lane's.
template <LaneOps Ops, typename Operand>
Register<Ops> apply_halves(const PreparedRegister<Ops>& reg, const Halves<Operand>& linear)
{
    return {
        Ops::bitwise_xor(Ops::product(reg.low, linear.low_from_low), Ops::product(reg.high, linear.low_from_high)),
        Ops::bitwise_xor(Ops::product(reg.low, linear.high_from_low), Ops::product(reg.high, linear.high_from_high))};
}

template <LaneOps Ops> Register<Ops> bitwise_xor(const Register<Ops>& a, const Register<Ops>& b)
{
    return {Ops::bitwise_xor(a.low, b.low), Ops::bitwise_xor(a.high, b.high)};
}

template <LaneOps Ops, unsigned COUNT> Register<Ops> shift_lanes(const Register<Ops>& reg)
{
    return {Ops::template shift_lanes<COUNT>(reg.low), Ops::template shift_lanes<COUNT>(reg.high)};
}

// One doubling step of the scan: every lane adds the register COUNT lanes
// before it, carried over the COUNT lanes in between as if they were zeros.
template <LaneOps Ops, unsigned COUNT, typename Operand>
Register<Ops> scan_step(const Register<Ops>& reg, const Halves<Operand>& carry)
{
    return bitwise_xor(reg, apply_halves(prepare(shift_lanes<Ops, COUNT>(reg)), carry));
}

// One doubling step of the scan for every block of a group.
template <LaneOps Ops, unsigned COUNT, std::size_t GROUP, typename Operand>
void scan_steps(Register<Ops> (&reg)[GROUP], const Halves<Operand>& carry)
{
#pragma GCC unroll 64
    for (std::size_t k = 0; k < GROUP; ++k) {
        reg[k] = scan_step<Ops, COUNT>(reg[k], carry);
    }
}

// The stages of a block, each on one segment of every lane.

// Returns what the segment adds to the register at its end, and XORs each of
// its bytes with what the segment's earlier bytes add to that byte's mask.
template <LaneOps Ops> Register<Ops> feed_segment(typename Ops::Vector* segment)
{
    typename Ops::Input in[SEGMENT];
    Register<Ops> added{};
#pragma GCC unroll 64
    for (unsigned i = 0; i < SEGMENT; ++i) {
        in[i] = Ops::prepare(segment[i]);
        const Register<Ops> feed = {Ops::product(in[i], PLAN<Ops>.feed_low[i]),
                                    Ops::product(in[i], PLAN<Ops>.feed_high[i])};
        added = i == 0 ? feed : bitwise_xor(added, feed);
#pragma GCC unroll 64
        for (unsigned d = 1; d <= i; ++d) {
            segment[i] = Ops::bitwise_xor(segment[i], Ops::product(in[i - d], PLAN<Ops>.key[d]));
        }
    }
    return added;
}

// The register at the end of the next segment of a lane that started from 0,
// from the register at its start, `end`, and what the segment adds.
template <LaneOps Ops> Register<Ops> next_segment_end(const Register<Ops>& end, const Register<Ops>& added)
{
    return bitwise_xor(apply_halves(prepare(end), PLAN<Ops>.segment_jump[1]), added);
}

// The register at the start of every lane but the first, before the scan:
// what the lane before it added; the first takes the block's start register.
template <LaneOps Ops> Register<Ops> lane_starts(const Register<Ops>& lane_end, std::uint16_t start)
{
    return bitwise_xor(shift_lanes<Ops, 1>(lane_end),
                       {Ops::first_lane(low_byte(start)), Ops::first_lane(high_byte(start))});
}

// The start register of segment j > 0 of each lane: its lane's first
// register carried over j segments, plus `within`, the register there of the
// lane started from 0.
template <LaneOps Ops>
Register<Ops> segment_start(const PreparedRegister<Ops>& first, const Register<Ops>& within, std::size_t j)
{
    return bitwise_xor(apply_halves(first, PLAN<Ops>.segment_jump[j]), within);
}

// XORs the segment's bytes with the masks that its start register `reg`
// gives them (the segment's own bytes were added by feed_segment).
template <LaneOps Ops> void mask_segment(typename Ops::Vector* segment, const Register<Ops>& reg)
{
    segment[0] = Ops::bitwise_xor(segment[0], reg.low);
    const PreparedRegister<Ops> in = prepare(reg);
#pragma GCC unroll 64
    for (unsigned i = 1; i < SEGMENT; ++i) {
        segment[i] =
            Ops::bitwise_xor(segment[i], Ops::bitwise_xor(Ops::product(in.low, PLAN<Ops>.start_from_low[i]),
                                                          Ops::product(in.high, PLAN<Ops>.start_from_high[i])));
    }
}

// Encrypts the GROUP whole consecutive blocks at `blocks` in place; start[k]
// is the start register of block k in the lane basis. The blocks are
// independent, and each stage is done for all of them, segment j of block k
// inside segment j, before the next stage: the stages of one block wait on
// each other, those of different blocks fill that time. Flattened, that is
// with every call in it inlined: -O2 would call the stages, loads, stores
// and scan steps, and their vectors would then go through memory.
template <LaneOps Ops, std::size_t GROUP>
[[gnu::flatten]] void encrypt_group(std::uint8_t* blocks, const std::uint16_t (&start)[GROUP])
{
    using Vector = typename Ops::Vector;
    using P = Plan<typename Ops::Operand, Ops::LANES>;

    Vector bytes[GROUP][P::LANE_BYTES];
#pragma GCC unroll 64
    for (std::size_t k = 0; k < GROUP; ++k) {
        Ops::load(blocks + BLOCK_SIZE * k, bytes[k]);
    }

    Register<Ops> added[GROUP][P::SEGMENTS];
#pragma GCC unroll 64
    for (std::size_t j = 0; j < P::SEGMENTS; ++j) {
#pragma GCC unroll 64
        for (std::size_t k = 0; k < GROUP; ++k) {
            added[k][j] = feed_segment<Ops>(bytes[k] + std::size_t{SEGMENT} * j);
        }
    }

    // within[j]: the register at the start of segment j of a lane that
    // started from 0; lane_end: what the whole lane adds to its end register.
    Register<Ops> within[GROUP][P::SEGMENTS];
    Register<Ops> lane_end[GROUP];
#pragma GCC unroll 64
    for (std::size_t k = 0; k < GROUP; ++k) {
        lane_end[k] = added[k][0];
    }
#pragma GCC unroll 64
    for (std::size_t j = 1; j < P::SEGMENTS; ++j) {
#pragma GCC unroll 64
        for (std::size_t k = 0; k < GROUP; ++k) {
            within[k][j] = lane_end[k];
            lane_end[k] = next_segment_end<Ops>(lane_end[k], added[k][j]);
        }
    }

    // The lanes' first registers: the scan sums in the earlier lanes.
    Register<Ops> first[GROUP];
#pragma GCC unroll 64
    for (std::size_t k = 0; k < GROUP; ++k) {
        first[k] = lane_starts<Ops>(lane_end[k], start[k]);
    }
    [&]<unsigned... LOG_COUNT>(std::integer_sequence<unsigned, LOG_COUNT...>)
    {
        (scan_steps<Ops, 1U << LOG_COUNT>(first, PLAN<Ops>.scan_jump[LOG_COUNT]), ...);
    }
    (std::make_integer_sequence<unsigned, P::SCAN_STEPS>{});

    PreparedRegister<Ops> first_in[GROUP];
#pragma GCC unroll 64
    for (std::size_t k = 0; k < GROUP; ++k) {
        first_in[k] = prepare(first[k]);
    }
#pragma GCC unroll 64
    for (std::size_t j = 0; j < P::SEGMENTS; ++j) {
#pragma GCC unroll 64
        for (std::size_t k = 0; k < GROUP; ++k) {
            mask_segment<Ops>(bytes[k] + std::size_t{SEGMENT} * j,
                              j == 0 ? first[k] : segment_start<Ops>(first_in[k], within[k][j], j));
        }
    }

#pragma GCC unroll 64
    for (std::size_t k = 0; k < GROUP; ++k) {
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
template <LaneOps Ops> void encrypt_block_by_lanes(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index)
{
    const std::uint16_t start[1] = {lane_start(block_index)};
    if (length == BLOCK_SIZE) {
        encrypt_group<Ops>(buffer, start);
    } else if (length > 0) {
        alignas(64) std::uint8_t whole[BLOCK_SIZE] = {};
        std::memcpy(whole, buffer, length);
        encrypt_group<Ops>(whole, start);
        std::memcpy(buffer, whole, length);
    }
}

// encrypt_blocks by the lane method: GROUP whole blocks at a time, and what
// remains block by block.
template <LaneOps Ops, std::size_t GROUP>
void encrypt_blocks_by_lanes(std::uint8_t* buffer, std::size_t length, std::uint32_t first_index)
{
    const auto group = [](std::uint8_t* blocks, std::uint32_t first) {
        std::uint16_t start[GROUP];
#pragma GCC unroll 64
        for (std::size_t k = 0; k < GROUP; ++k) {
            start[k] = lane_start(first + static_cast<std::uint32_t>(k));
        }
        encrypt_group<Ops>(blocks, start);
    };
    encrypt_in_groups<GROUP>(buffer, length, first_index, group, encrypt_block_by_lanes<Ops>);
}

} // namespace j6enc::lanes

#endif

// A 16 x 16 byte transpose in every 128-bit piece of 16 vectors, for the lane
// method's paths whose vectors hold 16 lanes per 128 bits.
#ifndef J6ENC_BYTE_TRANSPOSE_H
#define J6ENC_BYTE_TRANSPOSE_H

#include <cstddef>
#include <type_traits>

namespace j6enc::lanes {

static constexpr unsigned bit_reversed_4(unsigned value)
{
    return ((value & 1U) << 3U) | ((value & 2U) << 1U) | ((value & 4U) >> 1U) | ((value & 8U) >> 3U);
}

// In every 128-bit piece: byte p of out[k] becomes byte k of in[p]. Ops gives
// interleave<WIDTH, HIGH>(a, b): the elements of WIDTH bytes of the low (or,
// with HIGH, the high) halves of a and b, taken in turn, a's first, within
// every 128-bit piece.
//
// Each of the four rounds pairs vector v with v + 8 and interleaves them at
// twice the width of the round before. That moves the bits of a byte's vector
// number and position as one four-bit rotation per round; after four rounds
// a row's bytes are a column's, with the rows in bit-reversed order, which
// reading the rows in bit-reversed order undoes.
template <class Ops> void transpose_16x16(const typename Ops::Vector in[16], typename Ops::Vector out[16])
{
    typename Ops::Vector a[16];
    typename Ops::Vector b[16];
#pragma GCC unroll 64
    for (unsigned v = 0; v < 16; ++v) {
        a[v] = in[bit_reversed_4(v)];
    }
    const auto round = [](const typename Ops::Vector* from, typename Ops::Vector* to, auto width) {
#pragma GCC unroll 64
        for (std::size_t v = 0; v < 8; ++v) {
            to[2 * v] = Ops::template interleave<decltype(width)::value, false>(from[v], from[v + 8]);
            to[2 * v + 1] = Ops::template interleave<decltype(width)::value, true>(from[v], from[v + 8]);
        }
    };
    round(a, b, std::integral_constant<unsigned, 1>{});
    round(b, a, std::integral_constant<unsigned, 2>{});
    round(a, b, std::integral_constant<unsigned, 4>{});
    round(b, out, std::integral_constant<unsigned, 8>{});
}

} // namespace j6enc::lanes

#endif

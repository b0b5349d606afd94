// The paths of the block transform: implementations of encrypt_block and
// encrypt_blocks that give byte for byte the same result and differ in the
// instructions they need. The program picks one path once, from what the
// processor reports; the tests, benchmarks and fuzz target call each path's
// entry points directly.
#ifndef J6ENC_BLOCK_PATHS_H
#define J6ENC_BLOCK_PATHS_H

#include <cstddef>
#include <cstdint>
#include <span>

#include "encryptor.h"

// The vector paths are built unless the build turns them off
// (J6ENC_VECTOR_PATHS=0), which leaves the portable path alone.
#ifndef J6ENC_VECTOR_PATHS
#define J6ENC_VECTOR_PATHS 1
#endif
// The x86-64 paths need GCC-style processor detection and per-file
// instruction-set flags.
#if J6ENC_VECTOR_PATHS && defined(__x86_64__) && defined(__GNUC__)
#define J6ENC_X86_PATHS 1
#else
#define J6ENC_X86_PATHS 0
#endif
// NEON is part of every aarch64 processor.
#if J6ENC_VECTOR_PATHS && defined(__aarch64__)
#define J6ENC_NEON_PATHS 1
#else
#define J6ENC_NEON_PATHS 0
#endif

// The signature of both entry points: the bytes, their length and the number
// of the (first) block.
using EncryptFunction = void (*)(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept;
// A path's encrypt_block and its encrypt_blocks, each in a type of its own,
// so that one cannot be given where the other is wanted.
struct BlockEntry {
    EncryptFunction call;
};
struct RunEntry {
    EncryptFunction call;
};

struct BlockPath {
    const char* name;
    BlockEntry encrypt_block;
    RunEntry encrypt_blocks;
    // The whole blocks its encrypt_blocks encrypts together, its group; 1
    // for a path that goes block by block.
    std::size_t group;
    // The instruction-set extensions it needs beyond its architecture's
    // baseline, named as in cpu_has and separated by spaces; "" for none.
    const char* features;
    // Whether it carries the register through a block in steps of at most
    // eight bytes, and the last few bytes one at a time: a path whose steps
    // the tests can check for every register and byte with short blocks.
    bool short_steps;
};

// Every path built into the program, slowest first. encrypt_block and
// encrypt_blocks run the last one that this processor supports.
std::span<const BlockPath> block_paths() noexcept;

// Whether this processor runs `path`.
bool path_supported(const BlockPath& path) noexcept;

// encrypt_blocks in groups of GROUP whole blocks, each by group(blocks,
// number of the first), and what remains block by block, by single(block,
// length, number). Internal linkage, so that each path's file, compiled for
// its own instruction set, keeps its own copy; hence no std::min either.
template <std::size_t GROUP, typename Group, typename Single>
static void encrypt_in_groups(std::uint8_t* buffer, std::size_t length, std::uint32_t first_index, Group group,
                              Single single)
{
    const std::size_t whole = length / BLOCK_SIZE;
    std::size_t block = 0;
    for (; whole - block >= GROUP; block += GROUP) {
        group(buffer + BLOCK_SIZE * block, first_index + static_cast<std::uint32_t>(block));
    }
    for (; BLOCK_SIZE * block < length; ++block) {
        const std::size_t rest = length - BLOCK_SIZE * block;
        single(buffer + BLOCK_SIZE * block, rest < BLOCK_SIZE ? rest : BLOCK_SIZE,
               first_index + static_cast<std::uint32_t>(block));
    }
}

// encrypt_blocks by `Encrypt` on one block after the other, for a path whose
// group is one block. Internal linkage, as encrypt_in_groups.
template <EncryptFunction Encrypt>
static void encrypt_each_block(std::uint8_t* buffer, std::size_t length, std::uint32_t first_index)
{
    encrypt_in_groups<1>(
        buffer, length, first_index,
        [](std::uint8_t* block, std::uint32_t block_index) { Encrypt(block, BLOCK_SIZE, block_index); }, Encrypt);
}

// Each path's entry points, encrypt_block_NAME and encrypt_blocks_NAME, and
// its group GROUP_NAME: the row of PATHS (encryptor.cpp) takes all three
// from NAME, and the path's file encrypts groups of GROUP_NAME blocks.

// Any compiler, any processor: eight bytes per step by table lookups, and
// groups of four blocks in lockstep.
inline constexpr std::size_t GROUP_portable = 4;
void encrypt_block_portable(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept;
void encrypt_blocks_portable(std::uint8_t* buffer, std::size_t length, std::uint32_t first_index) noexcept;

#if J6ENC_X86_PATHS
// The lane method (lane_method.h) with each instruction set's vector
// operations: table lookups on AVX2, affine instructions with GFNI. The GFNI
// paths encrypt the groups that measured fastest; AVX2's table lookups need
// too many registers for a second block to gain.
inline constexpr std::size_t GROUP_avx2 = 1;
void encrypt_block_avx2(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept;
void encrypt_blocks_avx2(std::uint8_t* buffer, std::size_t length, std::uint32_t first_index) noexcept;
inline constexpr std::size_t GROUP_gfni_avx2 = 3;
void encrypt_block_gfni_avx2(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept;
void encrypt_blocks_gfni_avx2(std::uint8_t* buffer, std::size_t length, std::uint32_t first_index) noexcept;
inline constexpr std::size_t GROUP_gfni_avx512 = 4;
void encrypt_block_gfni_avx512(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept;
void encrypt_blocks_gfni_avx512(std::uint8_t* buffer, std::size_t length, std::uint32_t first_index) noexcept;
#endif

#if J6ENC_NEON_PATHS
// The lane method with NEON table lookups, block by block.
inline constexpr std::size_t GROUP_neon = 1;
void encrypt_block_neon(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept;
void encrypt_blocks_neon(std::uint8_t* buffer, std::size_t length, std::uint32_t first_index) noexcept;
#endif

#endif

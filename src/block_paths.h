// The implementations of encrypt_block. Each gives byte for byte the same
// result; they differ in the instructions they need. encrypt_block picks one
// once, from what the processor reports; the tests and benchmarks call each
// one directly.
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

using BlockEncryptor = void (*)(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept;
// An implementation of encrypt_blocks: a run of consecutive blocks.
using RunEncryptor = void (*)(std::uint8_t* buffer, std::size_t length, std::uint32_t first_index) noexcept;

struct BlockPath {
    const char* name;
    BlockEncryptor encrypt;
    RunEncryptor encrypt_run;
    // The instruction-set extensions it needs beyond its architecture's
    // baseline, named as in cpu_has and separated by spaces; "" for none.
    const char* features;
    // Whether it carries the register through a block in steps of at most
    // eight bytes, and the last few bytes one at a time: a path whose steps
    // the tests can check for every register and byte with short blocks.
    bool bytewise;
};

// Every path built into the program, slowest first. encrypt_block runs the
// last one that this processor supports.
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

// encrypt_blocks by `Encrypt` on one block after the other, for a path that
// has no faster way through a run.
template <BlockEncryptor Encrypt>
void encrypt_each_block(std::uint8_t* buffer, std::size_t length, std::uint32_t first_index) noexcept
{
    encrypt_in_groups<1>(
        buffer, length, first_index,
        [](std::uint8_t* block, std::uint32_t block_index) { Encrypt(block, BLOCK_SIZE, block_index); }, Encrypt);
}

// Any compiler, any processor: eight bytes per step by table lookups, and
// runs with several blocks in lockstep.
void encrypt_block_portable(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept;
void encrypt_blocks_portable(std::uint8_t* buffer, std::size_t length, std::uint32_t first_index) noexcept;

#if J6ENC_X86_PATHS
// The lane method (lane_method.h) with each instruction set's vector
// operations: table lookups on AVX2, affine instructions with GFNI. With
// GFNI, runs take several blocks at a time; AVX2's table lookups need too
// many registers for a second block to gain.
void encrypt_block_avx2(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept;
void encrypt_block_gfni_avx2(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept;
void encrypt_blocks_gfni_avx2(std::uint8_t* buffer, std::size_t length, std::uint32_t first_index) noexcept;
void encrypt_block_gfni_avx512(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept;
void encrypt_blocks_gfni_avx512(std::uint8_t* buffer, std::size_t length, std::uint32_t first_index) noexcept;
#endif

#if J6ENC_NEON_PATHS
// The lane method with NEON table lookups.
void encrypt_block_neon(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept;
#endif

#endif

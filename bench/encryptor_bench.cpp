// Speed of the block transform. The closed-form step and encrypt_block run
// side by side with the same code built on the bitwise eight-shift step, so
// one report gives the ratio on the machine at hand.
#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "encryptor.h"
#include "reference.h"

namespace {

std::vector<std::uint8_t> sample_block()
{
    std::vector<std::uint8_t> block(BLOCK_SIZE);
    std::uint32_t x = 0x12345678U;
    for (auto& byte : block) {
        x = x * 1664525U + 1013904223U;
        byte = static_cast<std::uint8_t>(x >> 24U);
    }
    return block;
}

// The same per-byte loop as encrypt_block, on the bitwise step.
void encrypt_block_bitwise(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index)
{
    auto reg = static_cast<std::uint16_t>((block_index & 0xFFFFU) ^ SEED_KEY);
    for (std::size_t i = 0; i < length; ++i) {
        const auto encrypted = static_cast<std::uint8_t>(buffer[i] ^ select_mask(reg));
        buffer[i] = encrypted;
        reg = bitwise_crc16_step(reg, encrypted);
    }
}

template <void (*Encrypt)(std::uint8_t*, std::size_t, std::uint32_t)> void BM_Block(benchmark::State& state)
{
    std::vector<std::uint8_t> block = sample_block();
    std::uint32_t index = 0;
    for (auto _ : state) {
        Encrypt(block.data(), block.size(), index++);
        benchmark::DoNotOptimize(block.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(BLOCK_SIZE));
}

// A chain of dependent steps over a block's bytes: latency, as in encrypt_block.
template <std::uint16_t (*Step)(std::uint16_t, std::uint8_t)> void BM_StepChain(benchmark::State& state)
{
    const std::vector<std::uint8_t> block = sample_block();
    std::uint16_t reg = SEED_KEY;
    for (auto _ : state) {
        for (std::uint8_t byte : block) {
            reg = Step(reg, byte);
        }
        benchmark::DoNotOptimize(reg);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(BLOCK_SIZE));
}

BENCHMARK(BM_Block<encrypt_block>)->Name("encrypt_block/closed_form");
BENCHMARK(BM_Block<encrypt_block_bitwise>)->Name("encrypt_block/bitwise_step");
BENCHMARK(BM_StepChain<crc16_step>)->Name("crc16_step/closed_form");
BENCHMARK(BM_StepChain<bitwise_crc16_step>)->Name("crc16_step/bitwise");

} // namespace

BENCHMARK_MAIN();

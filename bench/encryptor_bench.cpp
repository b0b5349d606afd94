// Speed of the block transform: every path built into the program and the
// one dispatched, one block at a time (encrypt_block) and on runs of blocks
// (encrypt_blocks), beside two loops kept for comparison, the single-chain
// loop of release 1.0.0 and the same loop on the bitwise eight-shift step.
// Run with --benchmark_repetitions and --benchmark_enable_random_interleaving
// so that all of them share the machine's ups and downs, and compare medians.
#include <cstdint>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "block_paths.h"
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

// encrypt_block as release 1.0.0 had it: one chain of closed-form steps.
void encrypt_block_1_0(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept
{
    std::uint32_t reg = (block_index & 0xFFFFU) ^ SEED_KEY;
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint32_t input = buffer[i];
        const std::uint32_t mask = select_mask(static_cast<std::uint16_t>(reg));
        buffer[i] = static_cast<std::uint8_t>(input ^ mask);
        reg = crc16_step_high(reg, ((reg >> 8U) ^ input) ^ mask);
    }
}

// The same loop on the bitwise eight-shift step.
void encrypt_block_bitwise(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept
{
    auto reg = static_cast<std::uint16_t>((block_index & 0xFFFFU) ^ SEED_KEY);
    for (std::size_t i = 0; i < length; ++i) {
        const auto encrypted = static_cast<std::uint8_t>(buffer[i] ^ select_mask(reg));
        buffer[i] = encrypted;
        reg = bitwise_crc16_step(reg, encrypted);
    }
}

void BM_Block(benchmark::State& state, EncryptFunction encrypt)
{
    std::vector<std::uint8_t> block = sample_block();
    std::uint32_t index = 0;
    for (auto _ : state) {
        encrypt(block.data(), block.size(), index++);
        benchmark::DoNotOptimize(block.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(BLOCK_SIZE));
}

// A run of 512 blocks, the 256 KiB that j6enc reads at a time, numbered on
// from run to run.
void BM_Run(benchmark::State& state, EncryptFunction encrypt)
{
    constexpr std::size_t BLOCKS = 512;
    std::vector<std::uint8_t> run;
    for (std::size_t b = 0; b < BLOCKS; ++b) {
        const std::vector<std::uint8_t> block = sample_block();
        run.insert(run.end(), block.begin(), block.end());
    }
    std::uint32_t index = 0;
    for (auto _ : state) {
        encrypt(run.data(), run.size(), index);
        index += BLOCKS;
        benchmark::DoNotOptimize(run.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(run.size()));
}

// A chain of dependent steps over a block's bytes: latency, as in a loop.
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

BENCHMARK(BM_StepChain<crc16_step>)->Name("crc16_step/closed_form");
BENCHMARK(BM_StepChain<bitwise_crc16_step>)->Name("crc16_step/bitwise");

} // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("encrypt_block/bitwise_step", BM_Block, encrypt_block_bitwise);
    benchmark::RegisterBenchmark("encrypt_block/release_1.0", BM_Block, encrypt_block_1_0);
    for (const BlockPath& path : block_paths()) {
        if (path_supported(path)) {
            benchmark::RegisterBenchmark((std::string("encrypt_block/") + path.name).c_str(), BM_Block,
                                         path.encrypt_block.call);
        }
    }
    benchmark::RegisterBenchmark("encrypt_block/dispatched", BM_Block, encrypt_block);
    for (const BlockPath& path : block_paths()) {
        if (path_supported(path)) {
            benchmark::RegisterBenchmark((std::string("encrypt_blocks/") + path.name).c_str(), BM_Run,
                                         path.encrypt_blocks.call);
        }
    }
    benchmark::RegisterBenchmark("encrypt_blocks/dispatched", BM_Run, encrypt_blocks);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

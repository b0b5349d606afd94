// encrypt_block on x86-64 with BMI2 and POPCNT: one byte after the other, the
// mask byte taken from the register with one bit-extract.
#include "block_paths.h"

#if J6ENC_X86_PATHS

#include <cstddef>
#include <cstdint>
#include <immintrin.h>

#include "encryptor.h"
#include "linear_maps.h"
#include "scalar_step.h"

#define J6ENC_BMI2 __attribute__((target("bmi2,popcnt")))

bool bmi2_path_supported() noexcept
{
    return __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
}

J6ENC_BMI2 void encrypt_block_bmi2(std::uint8_t* buffer, std::size_t length, std::uint32_t block_index) noexcept
{
    constexpr std::uint32_t MASK_SOURCE_BITS = j6enc::mask_source_bits();
    std::uint32_t reg = (block_index & 0xFFFFU) ^ SEED_KEY;
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint32_t input = buffer[i];
        const std::uint32_t mask = _pext_u32(reg, MASK_SOURCE_BITS);
        buffer[i] = static_cast<std::uint8_t>(input ^ mask);
        const std::uint32_t odd = _mm_popcnt_u32((reg & j6enc::ZERO_BYTE_PARITY_BITS) ^ input) & 1U;
        reg = j6enc::next_register(reg, input, mask, odd);
    }
}

#endif

// libFuzzer target: the first four bytes of the input are a block index
// (little-endian), the next ones, at most 512, a block. The block is
// encrypted with encrypt_block; the test-side decoder, fed the encrypted
// bytes, must give the block back, and nothing outside the block may change.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "encryptor.h"
#include "reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t index = 0;
    const std::size_t index_bytes = size < 4 ? size : 4;
    for (std::size_t i = 0; i < index_bytes; ++i) {
        index |= std::uint32_t{data[i]} << (8U * i);
    }
    const std::uint8_t* const plain = data + index_bytes;
    std::size_t length = size - index_bytes;
    if (length > BLOCK_SIZE) {
        length = BLOCK_SIZE;
    }

    // The block sits between two guard bands that must come out untouched.
    constexpr std::size_t GUARD = 16;
    constexpr std::uint8_t FILL = 0xA5;
    std::array<std::uint8_t, GUARD + BLOCK_SIZE + GUARD> buffer{};
    buffer.fill(FILL);
    std::uint8_t* const block = buffer.data() + GUARD;
    if (length > 0) {
        std::memcpy(block, plain, length);
    }

    encrypt_block(block, length, index);
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        const bool inside = i >= GUARD && i < GUARD + length;
        if (!inside && buffer[i] != FILL) {
            std::abort();
        }
    }
    reference_transform(block, length, index, true);
    if (length > 0 && std::memcmp(block, plain, length) != 0) {
        std::abort();
    }
    return 0;
}

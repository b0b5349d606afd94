// libFuzzer target: the first four bytes of the input are a block index
// (little-endian), the next ones, at most 512, a block. Every path that this
// processor runs, and encrypt_block as dispatched, must encrypt the block to
// exactly what the bitwise reference gives, without changing a byte outside
// it; and the test-side decoder, fed the encrypted bytes, must give the block
// back.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "block_paths.h"
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

    std::array<std::uint8_t, BLOCK_SIZE> expected{};
    if (length > 0) {
        std::memcpy(expected.data(), plain, length);
    }
    reference_transform(expected.data(), length, index, false);

    // The block sits between two guard bands that must come out untouched.
    constexpr std::size_t GUARD = 16;
    constexpr std::uint8_t FILL = 0xA5;
    const auto check = [&](BlockEncryptor encrypt) {
        std::array<std::uint8_t, GUARD + BLOCK_SIZE + GUARD> buffer{};
        buffer.fill(FILL);
        std::uint8_t* const block = buffer.data() + GUARD;
        if (length > 0) {
            std::memcpy(block, plain, length);
        }
        encrypt(block, length, index);
        for (std::size_t i = 0; i < buffer.size(); ++i) {
            const bool inside = i >= GUARD && i < GUARD + length;
            if (inside ? buffer[i] != expected[i - GUARD] : buffer[i] != FILL) {
                std::abort();
            }
        }
    };
    check(encrypt_block);
    check(encrypt_blocks); // a run of one block
    for (const BlockPath& path : block_paths()) {
        if (path_supported(path)) {
            check(path.encrypt);
            check(path.encrypt_run);
        }
    }

    reference_transform(expected.data(), length, index, true);
    if (length > 0 && std::memcmp(expected.data(), plain, length) != 0) {
        std::abort();
    }
    return 0;
}

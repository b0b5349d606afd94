// libFuzzer target: the first four bytes of the input are the number of the
// first block (little-endian), the next ones, at most MAX_RUN, a run of
// blocks: up to two groups of the largest group and a block (.ci/run fuzzes
// inputs of up to 4 + MAX_RUN bytes). Every path that this processor runs,
// and encrypt_block and encrypt_blocks as dispatched, must encrypt the run
// block by block (encrypt_block its first block) to exactly what the bitwise
// reference gives, without changing a byte around it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "block_paths.h"
#include "encryptor.h"
#include "guarded.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr std::size_t MAX_RUN = 9 * BLOCK_SIZE;
    std::uint32_t first_index = 0;
    const std::size_t index_bytes = size < 4 ? size : 4;
    for (std::size_t i = 0; i < index_bytes; ++i) {
        first_index |= std::uint32_t{data[i]} << (8U * i);
    }
    const std::uint8_t* const plain = data + index_bytes;
    const std::size_t length = size - index_bytes < MAX_RUN ? size - index_bytes : MAX_RUN;
    const std::size_t first_block = length < BLOCK_SIZE ? length : BLOCK_SIZE;

    const auto check = [&](EncryptFunction encrypt_block, EncryptFunction encrypt_blocks) {
        if (!encrypts_like_the_reference(plain, first_block, first_index, encrypt_block)
            || !encrypts_like_the_reference(plain, length, first_index, encrypt_blocks)) {
            std::abort();
        }
    };
    check(encrypt_block, encrypt_blocks);
    for (const BlockPath& path : block_paths()) {
        if (path_supported(path)) {
            check(path.encrypt_block.call, path.encrypt_blocks.call);
        }
    }
    return 0;
}

// The check that the block test, the run test and the fuzz target share: a
// path's entry point against the reference, on a copy of the bytes that sits
// at an odd address between guard bytes.
#ifndef J6ENC_TESTS_GUARDED_H
#define J6ENC_TESTS_GUARDED_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "encryptor.h"
#include "reference.h"

// Whether `encrypt`, given a copy of the `length` bytes at `plain` as blocks
// numbered from `first_index` on (modulo 2^32), makes of them what the
// reference makes of each block in turn, and leaves the guard bytes before
// and after them as they were. The copy starts at an odd address.
template <typename Encrypt>
bool encrypts_like_the_reference(const std::uint8_t* plain, std::size_t length, std::uint32_t first_index,
                                 Encrypt encrypt)
{
    constexpr std::size_t GUARD = 33;
    // Longer than any run that is checked; the bound also keeps g++ 12 from
    // warning that the sizes below could wrap around.
    if (length > 64 * BLOCK_SIZE) {
        return false;
    }
    std::vector<std::uint8_t> expected(GUARD + length + GUARD, 0xA5);
    std::copy_n(plain, length, expected.begin() + GUARD);
    std::vector<std::uint8_t> buffer = expected;
    for (std::size_t start = 0; start < length; start += BLOCK_SIZE) {
        reference_transform(expected.data() + GUARD + start, std::min(BLOCK_SIZE, length - start),
                            first_index + static_cast<std::uint32_t>(start / BLOCK_SIZE));
    }
    encrypt(buffer.data() + GUARD, length, first_index);
    return buffer == expected;
}

#endif

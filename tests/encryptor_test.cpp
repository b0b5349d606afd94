#include <algorithm>
#include <array>
#include <cstdint>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "block_paths.h"
#include "cpu_features.h"
#include "encryptor.h"
#include "guarded.h"
#include "linear_maps.h"
#include "reference.h"

// Names a path and what it needs in test output (found by argument-dependent
// lookup); CI reads the paths and their features from the test list.
void PrintTo(const BlockPath& path, std::ostream* out)
{
    *out << path.name << " needs {" << path.features << "}";
}

namespace {

using Bytes = std::vector<std::uint8_t>;

// Every path of the block transform, each tested on its own, and
// encrypt_block and encrypt_blocks as dispatched, which group as the path
// chosen does: as the largest group, for the runs' lengths.
std::vector<BlockPath> paths_under_test()
{
    std::vector<BlockPath> paths(block_paths().begin(), block_paths().end());
    std::size_t group = 1;
    for (const BlockPath& path : paths) {
        group = std::max(group, path.group);
    }
    paths.push_back({"dispatched", {encrypt_block}, {encrypt_blocks}, group, "", false});
    return paths;
}

Bytes random_bytes(std::size_t length, std::mt19937& random)
{
    Bytes bytes(length);
    for (auto& byte : bytes) {
        byte = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

class EachPath : public ::testing::TestWithParam<BlockPath> {
protected:
    void SetUp() override
    {
        if (!path_supported(GetParam())) {
            std::string lacking;
            std::istringstream features(GetParam().features);
            for (std::string feature; features >> feature;) {
                if (!cpu_has(feature)) {
                    lacking += (lacking.empty() ? "" : ", ") + feature;
                }
            }
            GTEST_SKIP() << "this processor lacks " << lacking;
        }
    }

    Bytes encrypted(Bytes data, std::uint32_t index) const
    {
        GetParam().encrypt_block.call(data.data(), data.size(), index);
        return data;
    }
};

INSTANTIATE_TEST_SUITE_P(Paths, EachPath, ::testing::ValuesIn(paths_under_test()),
                         [](const ::testing::TestParamInfo<BlockPath>& info) { return std::string(info.param.name); });

// A name that detection does not know is never supported, wherever it
// stands in a list, so neither is a path that needs it. The other names are
// ones a processor that runs these tests may well have: detection that said
// yes too often would send such a path to a processor without it.
TEST(Detection, AnUnknownExtensionIsNeverSupported)
{
    EXPECT_FALSE(cpu_has("no_such_feature"));
    EXPECT_FALSE(cpu_has(""));
    for (const char* features : {"no_such_feature", "no_such_feature avx2", "avx2 no_such_feature",
                                 "avx2 no_such_feature avx2", "avx2 gfni avx512f no_such_feature"}) {
        EXPECT_FALSE(cpu_has_all(features)) << features;
        BlockPath unknown = block_paths()[0];
        unknown.features = features;
        EXPECT_FALSE(path_supported(unknown)) << features;
    }
}

TEST(Crc16Step, ClosedFormMatchesBitwiseStepForEveryRegisterAndByte)
{
    for (std::uint32_t reg = 0; reg <= 0xFFFFU; ++reg) {
        for (std::uint32_t byte = 0; byte <= 0xFFU; ++byte) {
            const auto r = static_cast<std::uint16_t>(reg);
            const auto b = static_cast<std::uint8_t>(byte);
            if (crc16_step(r, b) != bitwise_crc16_step(r, b)) {
                FAIL() << "register " << reg << " byte " << byte;
            }
        }
    }
}

TEST(Crc16Step, CheckValueOfTheDigitsOneToNine)
{
    std::uint16_t reg = 0;
    for (char digit : {'1', '2', '3', '4', '5', '6', '7', '8', '9'}) {
        reg = crc16_step(reg, static_cast<std::uint8_t>(digit));
    }
    EXPECT_EQ(reg, 0xFEE8);
}

TEST(SelectMask, PicksTheTabledRegisterBits)
{
    struct Case {
        std::uint16_t reg;
        std::uint8_t mask;
    };
    const Case cases[] = {
        {0x0000, 0x00}, {0xFFFF, 0xFF}, {0x4000, 0x80}, {0x8000, 0x00}, {0x1000, 0x40}, {0x0800, 0x20}, {0x0200, 0x10},
        {0x0080, 0x08}, {0x0040, 0x04}, {0x0002, 0x02}, {0x0001, 0x01}, {0xA53C, 0x00}, {0x5AC3, 0xFF}, {0x5C71, 0xE5},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(select_mask(c.reg), c.mask) << std::hex << "register 0x" << c.reg;
    }
    for (std::uint32_t reg = 0; reg <= 0xFFFFU; ++reg) {
        ASSERT_EQ(select_mask(static_cast<std::uint16_t>(reg)), bitwise_mask(static_cast<std::uint16_t>(reg)));
    }
}

// The steps of the paths that work through a block in steps of at most eight
// bytes, for every register and byte; block index k starts from register
// k ^ SEED_KEY, and zero bytes after a step show, through their mask bytes,
// the whole register it left.
//   - A block of 4 bytes goes one byte at a time: every register with every
//     first byte.
//   - A block of 11 goes by a step of eight, then three bytes one at a time.
//     The step XORs what the register's two bytes and each of the eight bytes
//     contribute, each looked up alone: every register with zero bytes, and
//     every byte at every position from one register, meet every entry.
// The registers are split into eight parts of 8192 start indices, one test
// each, so that none takes long under the sanitizers; the checks that do not
// depend on the part run in part 0 alone.
constexpr std::uint32_t REGISTER_PARTS = 8;
using ShortStepPaths = ::testing::TestWithParam<std::uint32_t>;

INSTANTIATE_TEST_SUITE_P(Registers, ShortStepPaths, ::testing::Range<std::uint32_t>(0, REGISTER_PARTS));

TEST_P(ShortStepPaths, EveryRegisterAndByteMatchTheBitwiseReference)
{
    const bool first_part = GetParam() == 0;
    // Three mask bytes in a row determine the register they start from.
    std::vector<bool> seen(first_part ? std::size_t{1} << 24U : 0);
    for (std::uint32_t start = 0; first_part && start <= 0xFFFFU; ++start) {
        std::array<std::uint8_t, 3> masks{};
        reference_transform(masks.data(), masks.size(), start ^ SEED_KEY);
        const std::size_t key = masks[0] | (masks[1] << 8U) | (masks[2] << 16U);
        ASSERT_FALSE(seen[key]) << "register " << start;
        seen[key] = true;
    }

    std::vector<EncryptFunction> short_step_paths;
    for (const BlockPath& path : block_paths()) {
        if (path.short_steps && path_supported(path)) {
            short_step_paths.push_back(path.encrypt_block.call);
        }
    }
    ASSERT_FALSE(short_step_paths.empty());
    // Byte `value` at `position` of a block of `length`, the rest zero.
    const auto matches = [&](std::uint32_t index, std::size_t length, std::size_t position, std::uint32_t value) {
        std::array<std::uint8_t, 11> expected{};
        expected[position] = static_cast<std::uint8_t>(value);
        const std::array<std::uint8_t, 11> plain = expected;
        reference_transform(expected.data(), length, index);
        return std::all_of(short_step_paths.begin(), short_step_paths.end(), [&](EncryptFunction encrypt) {
            std::array<std::uint8_t, 11> block = plain;
            encrypt(block.data(), length, index);
            return block == expected;
        });
    };
    constexpr std::uint32_t PART = 0x10000U / REGISTER_PARTS;
    for (std::uint32_t index = GetParam() * PART; index < (GetParam() + 1) * PART; ++index) {
        for (std::uint32_t value = 0; value <= 0xFFU; ++value) {
            if (!matches(index, 4, 0, value)) {
                FAIL() << "register " << (index ^ SEED_KEY) << " byte " << value;
            }
        }
        ASSERT_TRUE(matches(index, 11, 0, 0)) << "a step from register " << (index ^ SEED_KEY);
    }
    for (std::size_t position = 0; first_part && position < 8; ++position) {
        for (std::uint32_t value = 0; value <= 0xFFU; ++value) {
            ASSERT_TRUE(matches(0, 11, position, value)) << "a step with byte " << value << " at " << position;
        }
    }
}

TEST(LinearMaps, JumpsOverZeroBytesMatchTheBitwiseStepFromEveryRegister)
{
    constexpr unsigned LONGEST = 256;
    static constexpr std::array<unsigned, 6> counts{8, 16, 32, 64, 128, LONGEST};
    constexpr auto jumps = [] {
        std::array<j6enc::Map16, 6> maps{};
        for (std::size_t i = 0; i < maps.size(); ++i) {
            maps[i] = j6enc::zero_bytes_jump(counts[i]);
        }
        return maps;
    }();
    for (std::uint32_t start = 0; start <= 0xFFFFU; ++start) {
        auto reg = static_cast<std::uint16_t>(start);
        std::size_t next = 0;
        for (unsigned count = 1; count <= LONGEST; ++count) {
            reg = bitwise_crc16_step(reg, bitwise_mask(reg)); // a zero byte, encrypted
            if (count == counts[next]) {
                ASSERT_EQ(j6enc::apply(jumps[next], static_cast<std::uint16_t>(start)), reg)
                    << count << " bytes from register " << start;
                ++next;
            }
        }
    }
}

// encrypt_in_groups cuts a run into as many whole groups as fit, then the
// blocks that remain, the last one short, and calls nothing for no bytes: a
// group missed would still give the right bytes, block by block, only slower.
template <std::size_t GROUP> void expect_whole_groups_then_blocks()
{
    for (std::size_t length : {std::size_t{0}, std::size_t{1}, GROUP * BLOCK_SIZE - 1, GROUP * BLOCK_SIZE,
                               GROUP * BLOCK_SIZE + 1, (2 * GROUP + 1) * BLOCK_SIZE + 300}) {
        Bytes run(length);
        std::string calls;
        const auto call = [&](const std::uint8_t* at, std::size_t size, std::uint32_t index) {
            calls += std::to_string(at - run.data()) + "+" + std::to_string(size) + "#" + std::to_string(index) + " ";
        };
        encrypt_in_groups<GROUP>(
            run.data(), length, 7U, [&](std::uint8_t* at, std::uint32_t index) { call(at, GROUP * BLOCK_SIZE, index); },
            call);
        std::string expected;
        const std::size_t grouped = length / (GROUP * BLOCK_SIZE) * GROUP * BLOCK_SIZE;
        for (std::size_t at = 0; at < length; at += at < grouped ? GROUP * BLOCK_SIZE : BLOCK_SIZE) {
            expected += std::to_string(at) + "+"
                        + std::to_string(at < grouped ? GROUP * BLOCK_SIZE : std::min(BLOCK_SIZE, length - at)) + "#"
                        + std::to_string(7 + at / BLOCK_SIZE) + " ";
        }
        EXPECT_EQ(calls, expected) << "group " << GROUP << ", length " << length;
    }
}

TEST(EncryptInGroups, WholeGroupsThenBlocks)
{
    []<std::size_t... G>(std::index_sequence<G...>)
    {
        (expect_whole_groups_then_blocks<G + 1>(), ...);
    }
    (std::make_index_sequence<8>{});
}

// Every length of a block at indices around the wraps; the block sits at an
// odd address between guard bytes that must stay.
TEST_P(EachPath, EveryLengthAtManyIndicesMatchesTheReference)
{
    std::mt19937 random(2024);
    for (std::uint32_t index : {0U, 1U, 65535U, 65536U, 0xFFFFFFFFU, 0x5C71U, 0xA38EU}) {
        for (std::size_t length = 0; length <= BLOCK_SIZE; ++length) {
            const Bytes plain = random_bytes(length, random);
            ASSERT_TRUE(encrypts_like_the_reference(plain.data(), length, index, GetParam().encrypt_block.call))
                << "length " << length << " index " << index;
        }
    }
}

// A run of blocks: block k of it is numbered first + k, and the last may be
// short. Around the path's group of g blocks: no bytes, one, a group short of
// a byte, a group, a group and a byte, a group and a block, two groups, a
// block and 300 bytes; numbers that pass 65536 and 2^32 within the run, and
// within a group. Guarded as a block is.
TEST_P(EachPath, ARunIsEncryptedBlockByBlock)
{
    const std::size_t group = GetParam().group * BLOCK_SIZE;
    std::mt19937 random(77);
    for (std::size_t length : {std::size_t{0}, std::size_t{1}, group - 1, group, group + 1, group + BLOCK_SIZE,
                               2 * group + BLOCK_SIZE + 300}) {
        for (std::uint32_t first : {0U, 0xFFFFU, 0xFFFFFFFEU}) {
            const Bytes plain = random_bytes(length, random);
            ASSERT_TRUE(encrypts_like_the_reference(plain.data(), length, first, GetParam().encrypt_blocks.call))
                << "length " << length << " from block " << first;
        }
    }
}

// Every path, like the transform itself, is linear in the start register and
// the block's bits together; agreeing on each of them alone, a path agrees
// with the reference on every register and block.
TEST_P(EachPath, EachBitOfTheRegisterAndTheBlockAloneMatchesTheReference)
{
    for (std::size_t bit = 0; bit < 16 + 8 * BLOCK_SIZE; ++bit) {
        Bytes data(BLOCK_SIZE, 0);
        std::uint32_t index = SEED_KEY; // register 0
        if (bit < 16) {
            index ^= 1U << bit;
        } else {
            data[(bit - 16) / 8] = static_cast<std::uint8_t>(1U << ((bit - 16) % 8));
        }
        Bytes expected = data;
        reference_transform(expected.data(), expected.size(), index);
        ASSERT_EQ(encrypted(data, index), expected) << "bit " << bit;
    }
}

TEST_P(EachPath, KnownAnswers)
{
    // Worked out by hand from the register rules: a zero byte at the start
    // of block 0 takes the mask of 0x5C71, 0xE5.
    struct Case {
        std::uint32_t index;
        std::uint8_t fill;
        std::array<std::uint8_t, 8> expected;
    };
    const Case cases[] = {
        {0, 0x00, {0xE5, 0xD9, 0x4E, 0xEE, 0xF7, 0xCD, 0xAA, 0x5A}},
        {1, 0x00, {0xE4, 0xD8, 0x5D, 0xE8, 0x07, 0x9D, 0xA0, 0x07}},
        {65535, 0x00, {0x1A, 0x29, 0x4C, 0xFD, 0xDD, 0xD2, 0x70, 0x0B}},
        {0, 0xFF, {0x1A, 0x34, 0xB4, 0x92, 0x6C, 0x80, 0x05, 0xFF}},
        {65536, 0x00, {0xE5, 0xD9, 0x4E, 0xEE, 0xF7, 0xCD, 0xAA, 0x5A}},
    };
    for (const Case& c : cases) {
        const Bytes out = encrypted(Bytes(8, c.fill), c.index);
        EXPECT_TRUE(std::equal(out.begin(), out.end(), c.expected.begin())) << "block " << c.index;
    }
}

} // namespace

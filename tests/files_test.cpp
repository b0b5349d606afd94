#include <gtest/gtest.h>

#include "files.h"

namespace {

// An output is refused as the input only when device (or volume) and file
// number both match, each half of a 128-bit file id included.
TEST(IsSameFile, NeedsTheVolumeAndTheWholeFileNumberToMatch)
{
    struct Case {
        FileIdentity output;
        bool same;
    };
    const FileIdentity input{7, 0, 1234};
    const Case cases[] = {
        {{7, 0, 1234}, true},  // the input itself, or a link to it
        {{8, 0, 1234}, false}, // the same inode number on another device
        {{7, 0, 1235}, false}, // another file on the same device
        {{7, 1, 1234}, false}, // file ids that differ in their high half only
        {{0, 0, 0}, false},    // nothing in common
    };
    for (const Case& c : cases) {
        EXPECT_EQ(is_same_file(input, c.output), c.same)
            << c.output.volume << " " << c.output.file_high << " " << c.output.file_low;
        EXPECT_EQ(is_same_file(c.output, input), c.same);
    }
}

} // namespace

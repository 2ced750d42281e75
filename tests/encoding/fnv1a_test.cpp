// The hash that names files on disk and tags served bytes: it must be FNV-1a
// exactly, or names written by one build are lost to the next.
#include "encoding/fnv1a.h"

#include <gtest/gtest.h>

namespace {

TEST(Fnv1a, GivesThePublishedValuesAndStartsFromTheBasisItIsGiven) {
    const struct {
        std::string_view bytes;
        std::uint64_t basis;
        std::uint64_t hash;
    } cases[] = {
        {"", encoding::kFnv1aOffsetBasis, 0xcbf29ce484222325ull},
        {"a", encoding::kFnv1aOffsetBasis, 0xaf63dc4c8601ec8cull},
        {"foobar", encoding::kFnv1aOffsetBasis, 0x85944171f73967e8ull},
        {"", 1469598103934665603ull, 1469598103934665603ull},
        {"programys/TV_1/Channel_1/", 1469598103934665603ull, 0x8026cf53dd9bbff1ull},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(encoding::fnv1a(cases[i].bytes, cases[i].basis), cases[i].hash) << "case " << i;
}

}  // namespace

// A block that cannot be read gives an error naming what is wrong, never a
// crash or a read outside the block (run these under the sanitizer build too).
#include <gtest/gtest.h>

#include <functional>

#include "app/window/main_window.h"
#include "runtime/window/template/template_codec.h"
#include "runtime/window/template/type_data.h"
#include "tests/template/template_samples.h"

namespace {

using test::readU32;
using test::recordBody;
using test::writeU32;

// Reads from a heap copy of exactly the given bytes, so AddressSanitizer sees
// any read past the end.
rt::TemplateReadResult readExactly(const rt::Bytes& bytes) {
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[bytes.size() + (bytes.empty() ? 1 : 0)]);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    return rt::readTemplate({copy.get(), bytes.size()});
}

TEST(MalformedBlock, EveryTruncationIsAnError) {
    const rt::Bytes block = rt::writeTemplate(test::smallTemplate());
    ASSERT_TRUE(readExactly(block).value);
    for (std::size_t n = 0; n < block.size(); ++n) {
        rt::TemplateReadResult r = readExactly(rt::Bytes(block.begin(), block.begin() + n));
        EXPECT_FALSE(r.value) << "prefix of " << n << " bytes";
        EXPECT_FALSE(r.error.empty()) << n;
    }
}

TEST(MalformedBlock, EveryTruncationOfTheMainWindowBlockIsAnError) {
    const auto main = app::ui::mainWindowTemplateBlock();
    const rt::Bytes block(main.begin(), main.end());
    for (std::size_t n = 0; n < block.size(); n += (n < 5000 ? 1 : 7)) {
        ASSERT_FALSE(rt::readTemplate({block.data(), n}).value) << "prefix of " << n << " bytes";
    }
}

struct Corruption {
    const char* what;
    std::function<void(rt::Bytes&)> apply;
    const char* errorPart;  // a piece of the expected error text
};

TEST(MalformedBlock, CountsOffsetsAndReferencesThatDoNotFit) {
    const rt::Bytes good = rt::writeTemplate(test::smallTemplate());
    const std::size_t units = 3, offsets = 36 + 4 * units;
    const std::size_t label = recordBody(good, 2), box = recordBody(good, 1);
    // The label has no children: pointer block, tag, reserved, flags, tab order, event count.
    const std::size_t labelEvents = label + 58 + 8 + 1 + 4 + 4 + 4 + 4;  // the first binding
    const std::vector<Corruption> table = {
        {"window list not a multiple of 8", [](rt::Bytes& b) { writeU32(b, 0, 12); },
         "multiple of 8"},
        {"window list past the end", [](rt::Bytes& b) { writeU32(b, 0, 0xFFFFFFF8); },
         "past the block"},
        {"unit count beyond the table", [](rt::Bytes& b) { writeU32(b, 28, 0x20000000); },
         "exceeds"},
        {"unit table past the end", [](rt::Bytes& b) { writeU32(b, 32, 0xFFFFFFFF); },
         "past the block"},
        {"record offset past the area", [&](rt::Bytes& b) { writeU32(b, offsets + 4, 0xFFFFFFF0); },
         "outside"},
        {"record offset at the area's last bytes",
         [&](rt::Bytes& b) { writeU32(b, offsets + 4, readU32(b, 32) - 8 * units - 2); },
         "outside"},
        {"record length past the area", [&](rt::Bytes& b) { writeU32(b, box - 4, 0x7FFFFFFF); },
         "past the record area"},
        {"record length one byte over",
         [&](rt::Bytes& b) { writeU32(b, label - 4, readU32(b, label - 4) + 1); },
         "past the record area"},
        {"record one byte short", [&](rt::Bytes& b) { writeU32(b, label - 4, 70); }, "needs"},
        {"child count huge",
         [&](rt::Bytes& b) { writeU32(b, box + test::field::kChildCount, 0x40000000); },
         "child count"},
        {"event count huge", [&](rt::Bytes& b) { writeU32(b, labelEvents - 4, 0x20000000); },
         "event count"},
        {"handler offset below -1", [&](rt::Bytes& b) { writeU32(b, labelEvents + 4, 0xFFFFFFFE); },
         "handler offset"},
        {"mouse pointer block of 3 bytes", [&](rt::Bytes& b) { writeU32(b, label + 58, 3); },
         "mouse pointer"},
        {"child not in the window",
         [&](rt::Bytes& b) { writeU32(b, box + test::field::kChildren, 0x1600FFFF); }, "child"},
        {"child is the unit itself",
         [&](rt::Bytes& b) { writeU32(b, box + test::field::kChildren, readU32(b, 40)); }, "child"},
        {"parent not in the window",
         [&](rt::Bytes& b) { writeU32(b, label + test::field::kParent, 0x1600FFFF); }, "parent"},
        {"a parent's parent not in the window",
         [&](rt::Bytes& b) {
             writeU32(b, recordBody(b, 0) + test::field::kParent, readU32(b, 44));
             writeU32(b, box + test::field::kParent, 0x1600FFFF);
         },
         "parent"},
        {"parents in a cycle",
         [&](rt::Bytes& b) { writeU32(b, box + test::field::kParent, readU32(b, 44)); }, "cycle"},
        {"duplicate unit id", [](rt::Bytes& b) { writeU32(b, 44, readU32(b, 40)); }, "twice"},
        {"first unit not a window",
         [](rt::Bytes& b) { writeU32(b, recordBody(b, 0), rt::unit_type::kLabel); },
         "window's own unit"},
        {"label type data of another type",
         [&](rt::Bytes& b) { writeU32(b, label, rt::unit_type::kSliderBar); }, "type data"},
        {"trailing byte", [](rt::Bytes& b) { b.push_back(0); }, "unexpected"},
    };
    ASSERT_TRUE(readExactly(good).value);
    for (std::size_t i = 0; i < table.size(); ++i) {
        rt::Bytes bad = good;
        table[i].apply(bad);
        rt::TemplateReadResult r = readExactly(bad);
        EXPECT_FALSE(r.value) << "row " << i << ": " << table[i].what;
        EXPECT_NE(r.error.find(table[i].errorPart), std::string::npos)
            << "row " << i << ": " << table[i].what << ": " << r.error;
    }
}

TEST(MalformedBlock, TextsWithoutTheirNulOrWithANulInside) {
    rt::WindowTemplate t = test::smallTemplate();
    t.windows[0].reservedTexts[0] = "ab";
    rt::Bytes b = rt::writeTemplate(t);
    b[25] = 0;  // "ab" -> "a\0"
    EXPECT_NE(readExactly(b).error.find("holds a NUL"), std::string::npos);

    // A name whose NUL is missing runs to the end of its record.
    rt::Bytes names = rt::writeTemplate(test::smallTemplate());
    const std::size_t label = recordBody(names, 2);
    const std::size_t length = readU32(names, label - 4);
    for (std::size_t i = 24; i < length; ++i) names[label + i] = 'x';
    EXPECT_NE(readExactly(names).error.find("NUL"), std::string::npos);
}

// Any block that reads writes back to one that reads to the same records;
// single-byte changes anywhere must not crash the reader.
TEST(MalformedBlock, ByteChangesAnywhereNeverCrashAndWhatReadsRoundTrips) {
    const rt::Bytes good = rt::writeTemplate(test::busyTemplate());
    int accepted = 0;
    for (std::size_t i = 0; i < good.size(); ++i) {
        for (std::uint8_t v :
             {std::uint8_t{0x00}, std::uint8_t{0x01}, std::uint8_t{0x80}, std::uint8_t{0xFF}}) {
            rt::Bytes b = good;
            b[i] = v;
            rt::TemplateReadResult r = readExactly(b);
            if (!r.value) continue;
            ++accepted;
            rt::TemplateReadResult again = readExactly(rt::writeTemplate(*r.value));
            ASSERT_TRUE(again.value) << "byte " << i << " = " << int(v) << ": " << again.error;
            ASSERT_EQ(*again.value, *r.value) << "byte " << i;
        }
    }
    EXPECT_GT(accepted, 0);
}

}  // namespace

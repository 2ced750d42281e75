// The text rules inputs are read by: which blanks a field loses, and which
// percent-escapes decode.
#include "base/text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace base {
namespace {

TEST(Text, TrimTakesAsciiWhiteSpaceOffBothEnds) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {" \t\r\n\f\v", ""},
        {"\tkey = value \r", "key = value"},
        {"a b", "a b"},
        {"\xc2\xa0x\xe3\x80\x80", "\xc2\xa0x\xe3\x80\x80"},  // no-break and ideographic spaces stay
        {std::string("\0x\0", 3), std::string("\0x\0", 3)},
    };
    for (const auto& [text, trimmed] : cases) EXPECT_EQ(trim(text), trimmed) << '"' << text << '"';
}

TEST(Text, PercentEscapesDecodeOnlyWithTwoHexDigits) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"", ""},
        {"CCTV5+", "CCTV5+"},  // a plus stays a plus
        {"CCTV5%2B", "CCTV5+"},
        {"%e6%B9%96", "\xe6\xb9\x96"},
        {"%00", std::string(1, '\0')},
        {"%", std::nullopt},
        {"a%4", std::nullopt},
        {"%4G", std::nullopt},
        {"%%41", std::nullopt},
    };
    for (const auto& [text, decoded] : cases) EXPECT_EQ(percentDecoded(text), decoded) << text;
}

}  // namespace
}  // namespace base

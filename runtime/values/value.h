// The value kinds a program's code handles.
//
// Texts are GBK (code page 936) byte strings. A text ends at its first NUL,
// so a Text never holds one; the empty string is the absent text. Lengths and
// positions count bytes: a double-byte character counts 2.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rt {

using Text = std::string;
using Bytes = std::vector<std::uint8_t>;

// Days since 1899-12-30 00:00; the fraction is the time of day. Values outside
// [kMinDays, kMaxDays] are clamped before any component is taken.
struct DateTime {
    double days = 0.0;
    friend bool operator==(const DateTime&, const DateTime&) = default;
};

inline constexpr double kMinDays = -657434.0;  // 0100-01-01
inline constexpr double kMaxDays = 2958465.0;  // 9999-12-31

}  // namespace rt

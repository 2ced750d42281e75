// Turning values into texts and integers, and the integer-part and bitwise
// commands.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/values/any_value.h"

namespace rt {

Text toText(std::uint8_t v);         // "%u"
Text toText(std::int16_t v);         // "%d"
Text toText(std::int32_t v);         // "%d"
Text toText(std::int64_t v);         // decimal
Text toText(float v);                // "%.6g"
Text toText(double v);               // "%.13g"
Text toText(bool v);                 // "真" or "假"
Text toText(std::string_view text);  // a copy, up to a NUL
Text toText(const Text& text);
Text toText(const char* text);     // (keeps literals away from the bool overload)
Text toText(const Bytes& bytes);   // up to the first NUL byte, or all of them
Text toText(SubroutineAddress v);  // the address, "%u"
// "%d年%d月%d日", then "%d时%d分%d秒" when the second is not 0, else
// "%d时%d分" when the minute is not 0, else "%d时" when the hour is not 0.
Text toText(DateTime v);
Text toText(const Value& v);

// byte, short, int, bool and subroutine addresses keep their value; int64 its
// low 32 bits; float and double are truncated toward zero (NaN or out of range
// gives INT32_MIN, as the x86 conversion does); a text is read as a decimal
// integer (leading blanks and a sign allowed, saturating); anything else is 0.
std::int32_t toInteger(const Value& v);
std::int32_t textToInteger(std::string_view text);

// The largest integer not above v, except that a value within 1e-12 below the
// next integer up is taken as that integer (2.9999999999999 gives 3, -2.5
// gives -3). NaN or out of range gives INT32_MIN.
std::int32_t integerPart(double v);

template <class... Ints>
std::int32_t bitAnd(std::int32_t first, Ints... rest) {
    return (first & ... & static_cast<std::int32_t>(rest));
}

template <class... Ints>
std::int32_t bitOr(std::int32_t first, Ints... rest) {
    return (first | ... | static_cast<std::int32_t>(rest));
}

}  // namespace rt

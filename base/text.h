// Small text rules every layer reads its inputs by.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace base {

// `s` without ASCII white space (space, tab, CR, LF, FF, VT) at either end.
std::string_view trim(std::string_view s);

// Whether `s` begins with `lowerPrefix` (written in lower case), ASCII
// letters of `s` in any case.
bool startsWithNoCase(std::string_view s, std::string_view lowerPrefix);

// Percent-escapes decoded; "+" stays a plus. Nothing for a "%" without two
// hex digits after it.
std::optional<std::string> percentDecoded(std::string_view s);

}  // namespace base

// Conversions between UTF-8 and GBK, used at the edges only: for the guide's
// literals (kept readable as UTF-8 in the source), for showing texts in the
// window and in JSON, and for writing GBK pages.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "runtime/values/value.h"

namespace rt {

// UTF-8 literal to GBK. The literal must be encodable; a character GBK lacks is
// a programming error and aborts with a message naming the text.
Text gbk(std::string_view utf8);

// UTF-8 to GBK, or nothing when some character has no GBK form or the input is
// not valid UTF-8.
std::optional<Text> gbkStrict(std::string_view utf8);

// GBK to UTF-8 for display. Bytes that do not form a GBK character become
// U+FFFD, so any page a server sends can be shown.
std::string toUtf8(std::string_view gbkText);

}  // namespace rt

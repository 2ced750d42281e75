// The runtime's names for the GBK conversions of the encoding library, used at
// the edges only: for literals (kept readable as UTF-8 in the source), for
// showing texts in the window and in JSON, and for writing GBK pages.
#pragma once

#include <string>
#include <string_view>

#include "encoding/text_encoding.h"
#include "runtime/values/value.h"

namespace rt {

// UTF-8 literal to GBK; a character GBK lacks aborts (a programming error).
using encoding::gbk;

// UTF-8 to GBK, or nothing when some character has no GBK form or the input is
// not valid UTF-8.
using encoding::gbkStrict;

// GBK to UTF-8 for display. Bytes that do not form a GBK character become
// U+FFFD, so any page a server sends can be shown.
inline std::string toUtf8(std::string_view gbkText) {
    return encoding::gbkToUtf8(gbkText);
}

}  // namespace rt

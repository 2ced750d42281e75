// JSON output of GBK texts.
#pragma once

#include <string>
#include <string_view>

namespace app::probe {

// A JSON string literal (with its quotes) of a GBK text: converted to UTF-8,
// bytes that form no GBK character shown as U+FFFD, quotes, backslashes and
// control characters escaped.
std::string jsonString(std::string_view gbkText);

}  // namespace app::probe

// Lines of the server's line-oriented inputs, and blanks around their fields.
#pragma once

#include <string_view>

#include "base/text.h"

namespace epg {

using base::trim;

// The first line of `text` (without its line feed), taken off its front.
inline std::string_view takeLine(std::string_view& text) {
    std::string_view line = text.substr(0, text.find('\n'));
    text.remove_prefix(line.size() < text.size() ? line.size() + 1 : line.size());
    return line;
}

}  // namespace epg

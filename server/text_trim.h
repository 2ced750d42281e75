// Blanks around a field of the server's line-oriented inputs.
#pragma once

#include <string_view>

namespace epg {

// `s` without spaces, tabs and carriage returns at either end.
inline std::string_view trim(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace epg

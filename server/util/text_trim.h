// Lines of the server's line-oriented inputs, and blanks around their fields.
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

// The first line of `text` (without its line feed), taken off its front.
inline std::string_view takeLine(std::string_view& text) {
    std::string_view line = text.substr(0, text.find('\n'));
    text.remove_prefix(line.size() < text.size() ? line.size() + 1 : line.size());
    return line;
}

}  // namespace epg

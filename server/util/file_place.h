// Where in an input file a message points: "file:line: ".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace epg {

inline std::string where(std::string_view file, std::size_t line) {
    return std::string(file) + ':' + std::to_string(line) + ": ";
}

}  // namespace epg

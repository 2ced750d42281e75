// Hashing for maps keyed by std::string that are searched with a
// string_view, without a string made per lookup.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

namespace epg {

struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

}  // namespace epg

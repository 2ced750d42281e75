// What sort of programmes a channel carries, told from its name and group.
#pragma once

#include <string_view>

namespace epg {

enum class ChannelKind {
    News,
    Drama,
    Film,
    Sport,
    Children,
    Music,
    Opera,
    Shopping,
    Weather,
    Documentary,
    Education,
    Foreign,
    General,
};

// utf8Name as the catalogue lists it; group 0 .. 9 (7..9 hold the channels
// from outside the mainland).
ChannelKind channelKind(std::string_view utf8Name, int group);

}  // namespace epg

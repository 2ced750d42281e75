// The fixed knowledge of what the guide can show and the EPG server serves:
// ten channel groups, their channels, and each channel's path below the EPG
// server root. The lookup is positional: (group, row) alone finds a channel,
// never its name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace catalogue {

struct Row {
    std::string name;       // GBK, as shown in the channel list
    std::string_view path;  // e.g. "programys/TV_1/Channel_1/", always ending in "/"
};

struct Group {
    std::string title;  // GBK, as shown on the roll-up menu header
    std::vector<Row> rows;
};

// The ten groups in roll-up menu order (group 0 "央视频道" .. group 9 "境外影视").
const std::vector<Group>& groups();

// root + path of (group, row): the channel base URL. Empty for a group outside
// 0..9 or a row outside the group (-1, "no row selected", included).
std::string channelBaseUrl(const std::string& root, int group, int row);

}  // namespace catalogue

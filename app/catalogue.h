// The guide's fixed knowledge of what it can show: ten channel groups, their
// channels, and each channel's path below the EPG server root. The lookup is
// positional: (group, row) alone finds a channel, never its name.
#pragma once

#include <string_view>
#include <vector>

#include "runtime/values/value.h"

namespace app {

struct CatalogueRow {
    rt::Text name;          // GBK, as shown in the channel list
    std::string_view path;  // e.g. "programys/TV_1/Channel_1/", always ending in "/"
};

struct CatalogueGroup {
    rt::Text title;  // GBK, as shown on the roll-up menu header
    std::vector<CatalogueRow> rows;
};

// The ten groups in roll-up menu order (group 0 "央视频道" .. group 9 "境外影视").
const std::vector<CatalogueGroup>& catalogue();

// root + path of (group, row): the channel base URL. Empty for a group outside
// 0..9 or a row outside the group (-1, "no row selected", included).
rt::Text channelBaseUrl(const rt::Text& root, int group, int row);

}  // namespace app

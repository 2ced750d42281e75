#include "server/channels/named_channel.h"

#include <string>
#include <unordered_map>

#include "server/channels/channel_index.h"
#include "server/channels/channel_match.h"
#include "server/channels/channel_names.h"
#include "server/channels/other_channels.h"
#include "server/model/channels.h"
#include "server/util/text_hash.h"

namespace epg {
namespace named_channel {

// The catalogue rows of each key, in catalogue order (CCTV-1 is two rows).
using RowsByKey =
    std::unordered_map<std::string, std::vector<std::size_t>, TextHash, std::equal_to<>>;

const RowsByKey& rowsByKey() {
    static const RowsByKey rows = [] {
        RowsByKey built;
        const auto& keys = rowKeys();
        for (std::size_t row = 0; row < keys.size(); ++row)
            if (!keys[row].empty()) built[keys[row]].push_back(row);
        return built;
    }();
    return rows;
}

}  // namespace named_channel

std::vector<Programme> programmesNamed(const Listings& listings, std::string_view name,
                                       Seconds from, Seconds to) {
    if (auto row = channelByXmltvId(name)) return listings.starting(*row, from, to);
    const std::string key = ChannelNames::builtIn().key(name);
    if (key.empty()) return {};
    const auto& rows = named_channel::rowsByKey();
    if (auto it = rows.find(key); it != rows.end())
        for (std::size_t row : it->second)
            if (auto found = listings.starting(row, from, to); !found.empty()) return found;
    const ChannelIndex* index = listings.channels();
    if (!index) return {};
    return index->choose(index->byKey(key)).schedule.starting(from, to);
}

std::string iconNamed(const Listings& listings, std::string_view name) {
    if (auto row = channelByXmltvId(name)) return std::string(listings.icon(*row));
    const std::string key = ChannelNames::builtIn().key(name);
    if (key.empty()) return {};
    const auto& rows = named_channel::rowsByKey();
    if (auto it = rows.find(key); it != rows.end())
        for (std::size_t row : it->second)
            if (!listings.icon(row).empty()) return std::string(listings.icon(row));
    const std::string id = otherChannelId(key);
    for (const OtherChannel& other : listings.others())
        if (other.id == id) return other.icon;
    return {};
}

}  // namespace epg

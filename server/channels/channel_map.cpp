#include "server/channels/channel_map.h"

#include "server/model/channels.h"
#include "server/util/file_place.h"
#include "server/util/file_read.h"
#include "server/util/text_trim.h"

namespace epg {
namespace {}  // namespace

MapResult parseChannelMap(std::string_view text, std::string_view fileName) {
    ChannelMap map;
    std::vector<bool> taken(channelCount(), false);
    std::size_t lineNo = 0;
    while (!text.empty()) {
        ++lineNo;
        std::string_view line = takeLine(text);
        if (auto hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
        line = trim(line);
        if (line.empty()) continue;
        auto tab = line.find('\t');
        if (tab == std::string_view::npos)
            return {std::nullopt, where(fileName, lineNo) +
                                      "expected a catalogue path, a tab and an XMLTV channel id"};
        std::string path(trim(line.substr(0, tab)));
        std::string id(trim(line.substr(tab + 1)));
        if (!path.empty() && path.back() != '/') path += '/';
        auto channel = channelByPath(path);
        if (!channel)
            return {std::nullopt,
                    where(fileName, lineNo) + "no catalogue channel has the path \"" + path + "\""};
        if (id.empty())
            return {std::nullopt, where(fileName, lineNo) + "the XMLTV channel id is missing"};
        if (taken[*channel])
            return {std::nullopt, where(fileName, lineNo) + "\"" + path + "\" is mapped twice"};
        taken[*channel] = true;
        map[id].push_back(*channel);
    }
    return {std::move(map), {}};
}

MapResult readChannelMap(const std::string& fileName) {
    FileBytes f = readWholeFile(fileName, kMaxMapBytes);
    if (!f.bytes) return {std::nullopt, f.error};
    return parseChannelMap(*f.bytes, fileName);
}

MapResult loadChannelMap(const std::optional<std::string>& mapFile) {
    if (!mapFile) return {ChannelMap{}, {}};
    return readChannelMap(*mapFile);
}

}  // namespace epg

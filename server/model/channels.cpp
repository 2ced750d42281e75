#include "server/model/channels.h"

#include <unordered_map>
#include <vector>

#include "catalogue/catalogue.h"
#include "encoding/text_encoding.h"

namespace epg {
namespace {

struct Entry {
    const catalogue::Row* row;
    int group;
};

struct Table {
    std::vector<Entry> entries;
    std::unordered_map<std::string_view, std::size_t> byPath;
    std::vector<std::string> xmltvIds;
    std::unordered_map<std::string_view, std::size_t> byXmltvId;
};

// "programys/TV_1/Channel_1/" as "programys.TV-1.Channel-1": segments of
// letters, digits and "-" joined by dots. Catalogue paths hold no "-" or
// ".", so no two rows get one id.
std::string dottedId(std::string_view path) {
    std::string id;
    for (char c : path) id += c == '/' ? '.' : c == '_' ? '-' : c;
    while (!id.empty() && id.back() == '.') id.pop_back();
    return id;
}

const Table& table() {
    static const Table t = [] {
        Table built;
        const auto& groups = catalogue::groups();
        for (std::size_t g = 0; g < groups.size(); ++g)
            for (const auto& row : groups[g].rows) {
                built.byPath.emplace(row.path, built.entries.size());
                built.entries.push_back({&row, static_cast<int>(g)});
                built.xmltvIds.push_back(dottedId(row.path));
            }
        for (std::size_t c = 0; c < built.xmltvIds.size(); ++c)
            built.byXmltvId.emplace(built.xmltvIds[c], c);
        return built;
    }();
    return t;
}

}  // namespace

std::size_t channelCount() {
    return table().entries.size();
}
std::string_view channelPath(std::size_t c) {
    return table().entries.at(c).row->path;
}
const std::string& channelName(std::size_t c) {
    return table().entries.at(c).row->name;
}
std::string channelNameUtf8(std::size_t c) {
    return encoding::gbkToUtf8(channelName(c));
}
int channelGroup(std::size_t c) {
    return table().entries.at(c).group;
}

std::optional<std::size_t> channelByPath(std::string_view path) {
    const auto& m = table().byPath;
    auto it = m.find(path);
    if (it == m.end()) return std::nullopt;
    return it->second;
}

const std::string& channelXmltvId(std::size_t c) {
    return table().xmltvIds.at(c);
}

std::optional<std::size_t> channelByXmltvId(std::string_view id) {
    const auto& m = table().byXmltvId;
    auto it = m.find(id);
    if (it == m.end()) return std::nullopt;
    return it->second;
}

}  // namespace epg

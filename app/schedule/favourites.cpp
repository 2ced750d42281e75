#include "app/schedule/favourites.h"

#include <algorithm>

#include "app/schedule/catalogue_place.h"
#include "runtime/values/gbk.h"

namespace app::schedule {

bool Favourites::toggle(std::string_view path) {
    const auto it = std::find(paths_.begin(), paths_.end(), path);
    if (it != paths_.end()) {
        paths_.erase(it);
        return false;
    }
    if (!findInCatalogue(path)) return false;
    paths_.emplace_back(path);
    return true;
}

bool Favourites::contains(std::string_view path) const {
    return std::find(paths_.begin(), paths_.end(), path) != paths_.end();
}

std::string Favourites::toText() const {
    std::string text;
    for (const std::string& path : paths_) {
        if (!text.empty()) text += ' ';
        text += path;
    }
    return text;
}

Favourites Favourites::fromText(std::string_view text) {
    Favourites out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find_first_of(" \t\r\n", at), text.size());
        const std::string_view path = text.substr(at, end - at);
        if (!path.empty() && !out.contains(path)) out.toggle(path);
        at = end + 1;
    }
    return out;
}

catalogue::Group favouritesGroup(const Favourites& favourites) {
    catalogue::Group group{rt::gbk("我的收藏"), {}};
    for (const std::string& path : favourites.paths())
        if (const auto place = findInCatalogue(path)) group.rows.push_back(*place->channel);
    return group;
}

}  // namespace app::schedule

// The viewer's favourite channels: catalogue paths in the order they were
// added, each once. They make the last group of the roll-up menu.
//
// Text form, for the settings file: the paths separated by blanks,
//   favourites=programys/TV_1/Channel_1/ programys/TV_2/Channel_42/
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"

namespace app::schedule {

class Favourites {
  public:
    // Adds `path` at the end, or removes it: whether it is a favourite now.
    // A path the catalogue does not list is never added.
    bool toggle(std::string_view path);
    bool contains(std::string_view path) const;
    const std::vector<std::string>& paths() const { return paths_; }
    bool empty() const { return paths_.empty(); }

    std::string toText() const;
    // Paths the catalogue no longer lists, and repeats, are left out.
    static Favourites fromText(std::string_view text);

  private:
    std::vector<std::string> paths_;
};

// The menu group of the favourites: title "我的收藏" (GBK), a row per
// favourite with its catalogue name and path.
catalogue::Group favouritesGroup(const Favourites& favourites);

}  // namespace app::schedule

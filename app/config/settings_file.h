// The guide's settings file, for a desktop user to edit: an INI file,
// $XDG_CONFIG_HOME/tvguide/tvguide.conf (by default
// ~/.config/tvguide/tvguide.conf):
//
//   ; where the day pages come from, and the zone they are written in
//   epg_root=http://tvbox.lan:8610/
//   page_tz=Asia/Shanghai
//
// Keys count outside any section and under [General], as Qt's settings read
// them; a line beginning with ";" or "#" is a comment; blanks around keys and
// values go; a value in double quotes is taken as written inside them (\" and
// \\ stand for " and \). Only the first 1 MiB is read: a settings file is a
// few lines, and a huge one must not cost memory.
#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

inline constexpr std::size_t kMaxSettingsBytes = 1u << 20;

struct SettingsFile {
    std::filesystem::path path;
    std::map<std::string, std::string> values;  // key -> value; empty values are left out
    // What the user should hear about the file (too large, not a regular
    // file, unreadable); a missing file is no problem.
    std::vector<std::string> problems;

    std::optional<std::string> value(const std::string& key) const;
};

// $XDG_CONFIG_HOME/tvguide/tvguide.conf when that is an absolute path, else
// $HOME/.config/tvguide/tvguide.conf; nothing when neither can be found.
std::optional<std::filesystem::path> settingsFilePath();

SettingsFile readSettingsFile(const std::filesystem::path& path);

// The keys of the text of a settings file (the rules above).
std::map<std::string, std::string> parseSettings(std::string_view text);

}  // namespace app

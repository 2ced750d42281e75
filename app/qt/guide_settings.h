// The guide's settings file, for a desktop user to edit: an INI file read
// through Qt's settings, $XDG_CONFIG_HOME/tvguide/tvguide.conf (by default
// ~/.config/tvguide/tvguide.conf):
//
//   epg_root=http://tvbox.lan:8610/
//
// A missing or unreadable file, or one without the key, gives nothing.
#pragma once

#include <optional>
#include <string>

namespace app {

std::string settingsFilePath();
std::optional<std::string> settingsEpgRoot();

}  // namespace app

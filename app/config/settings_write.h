// Keys the guide itself changes in the settings file (favourites, reminders),
// written back so that the viewer's own lines, comments and order stay.
//
//   std::string error = app::writeSettings(path, {{"favourites", text}});
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace app {

using SettingValues = std::vector<std::pair<std::string, std::string>>;

// `text` with each key set to its value: the line that the reader takes
// for it (outside any section or under [General]) is rewritten and its
// repeats dropped; a key not there yet goes before the first other section.
// A value with blanks at either end or a leading quote is written quoted;
// an empty one leaves the key unset.
std::string withSettings(std::string_view text, const SettingValues& values);

// The file with these keys set, written whole or not at all (through a
// temporary file beside it, synced, renamed over it); its folder is made
// when missing. A symbolic link is written through to its target. The file
// keeps its mode (a new one is 0600); a read-only one, one the guide could
// not read whole, and a result larger than the guide reads back
// (kMaxSettingsBytes) are left alone. The reason, empty when written.
std::string writeSettings(const std::filesystem::path& path, const SettingValues& values);

}  // namespace app

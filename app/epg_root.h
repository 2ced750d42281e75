// Where the guide finds its EPG server.
#pragma once

#include <optional>
#include <string>

#include "runtime/values/value.h"

namespace app {

// The built-in root, scheme and host up to and including the "/" after it.
inline constexpr const char* kBuiltInEpgRoot = "http://127.0.0.1:8610/";

// The first root given and not empty of: the command line's --epg-root,
// TVGUIDE_EPG_ROOT, the settings file's root, the built-in root; a missing
// final "/" is added. Read once by the caller and kept.
rt::Text chooseEpgRoot(const std::optional<std::string>& commandLine,
                       const std::optional<std::string>& settingsFile = std::nullopt);

}  // namespace app

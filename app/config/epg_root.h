// Where the guide finds its EPG server.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "runtime/values/value.h"

namespace app {

// The built-in root, scheme and host up to and including the "/" after it.
inline constexpr const char* kBuiltInEpgRoot = "http://127.0.0.1:8610/";

enum class RootSource { CommandLine, Environment, SettingsFile, BuiltIn };

struct EpgRootChoice {
    rt::Text root;      // as given, with a final "/" added when it had none
    std::string given;  // as given
    RootSource source = RootSource::BuiltIn;
};

// The first root given and not empty of: the command line's --epg-root,
// TVGUIDE_EPG_ROOT, the settings file's root, the built-in root. Read once
// by the caller and kept.
EpgRootChoice chooseEpgRoot(const std::optional<std::string>& commandLine,
                            const std::optional<std::string>& settingsFile = std::nullopt);

// Whether `url` is an http or https URL with a host, the scheme written out
// (a URL library would take "127.0.0.1:8610" for http on its own). Nothing
// else is ever fetched, so any other root could only fail every download.
bool isHttpUrlWithHost(std::string_view url);

}  // namespace app

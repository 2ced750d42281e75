// The command line of tvguide:
//   tvguide [--help] [--epg-root URL] [--page-tz ZONE] [--xmltv SOURCE]...
//           [--cache-dir DIR] [Qt's own options, such as -platform NAME]
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace app {

struct GuideOptions {
    std::optional<std::string> epgRoot;     // as given, never empty
    std::optional<std::string> pageZone;    // as given, never empty
    std::optional<std::string> cacheDir;    // as given, never empty
    std::vector<std::string> xmltvSources;  // for the built-in server, in the order given
    bool help = false;                      // --help: print the usage and start nothing
    // Arguments that are not the guide's, in order, for Qt to take its own
    // options from; whatever Qt leaves of them is refused.
    std::vector<std::string> toolkitArguments;
};

struct GuideUsageError {
    std::string message;
};

std::variant<GuideOptions, GuideUsageError> parseGuideArguments(
    const std::vector<std::string>& args);

std::string guideUsage();

}  // namespace app

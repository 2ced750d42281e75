// The command line of tvguide:
//   tvguide [--help] [--epg-root URL] [--page-tz ZONE] [--xmltv SOURCE]...
//           [--cache-dir DIR] [Qt's own options, such as -platform NAME]
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "app/config/command_line.h"

namespace app {

struct GuideOptions : SharedOptions {
    std::vector<std::string> xmltvSources;  // for the built-in server, in the order given
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

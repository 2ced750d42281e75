// What the guide runs with, from its command line, the environment and the
// settings file: the EPG root, the zone of the pages and the listings of the
// built-in server (the settings file's xmltv= holds sources separated by
// blanks; the command line's --xmltv replaces them all). tvguide and
// tvguide-probe resolve them alike (the probe reads no settings file).
//
//   auto setup = app::resolveGuideSetup({options.epgRoot, options.pageZone, &settings});
//   if (auto* refused = std::get_if<app::SetupRefused>(&setup)) { say(refused->message); return 2;
//   }
//
// A value that cannot be used is refused with a message that names it and
// where it came from; nothing is started then.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/config/epg_root.h"
#include "app/config/settings_file.h"
#include "app/schedule/page_zone.h"

namespace app {

struct SetupSources {
    std::optional<std::string> epgRoot;      // --epg-root
    std::optional<std::string> pageZone;     // --page-tz
    const SettingsFile* settings = nullptr;  // null: no settings file is read
    std::vector<std::string> xmltvSources;   // --xmltv, in order
};

struct GuideSetup {
    EpgRootChoice epgRoot;
    base::Zone pageZone;
    // The built-in server's listings (none: its samples) and where they were
    // named, for messages: "--xmltv" or "xmltv in PATH".
    std::vector<std::string> xmltvSources;
    std::string xmltvFrom;
    std::vector<std::string> notes;  // for stderr: what was read differently from what was asked
};

struct SetupRefused {
    std::string message;  // without the program's name
};

std::variant<GuideSetup, SetupRefused> resolveGuideSetup(const SetupSources& sources);

}  // namespace app

#include "app/config/guide_setup.h"

#include <sstream>

#include "base/shown_url.h"

namespace app {

namespace {

std::string settingsSource(const std::string& key, const SettingsFile* settings) {
    return key + " in " + (settings ? settings->path.string() : std::string("the settings file"));
}

std::string rootSource(RootSource source, const SettingsFile* settings) {
    switch (source) {
        case RootSource::CommandLine: return "--epg-root";
        case RootSource::Environment: return "TVGUIDE_EPG_ROOT";
        case RootSource::SettingsFile: return settingsSource("epg_root", settings);
        case RootSource::BuiltIn: break;
    }
    return "the built-in default";
}

}  // namespace

std::variant<GuideSetup, SetupRefused> resolveGuideSetup(const SetupSources& sources) {
    const SettingsFile* settings = sources.settings;
    const EpgRootChoice root =
        chooseEpgRoot(sources.epgRoot, settings ? settings->value("epg_root") : std::nullopt);
    if (!isHttpUrlWithHost(root.given))
        return SetupRefused{"the EPG root \"" + base::shownUrl(root.given) + "\" from " +
                            rootSource(root.source, settings) +
                            " is not an http or https URL with a host"};

    std::vector<std::string> notes;
    std::optional<std::string> zoneName = sources.pageZone;
    std::string zoneSource = "--page-tz";
    if (!zoneName && settings) {
        zoneName = settings->value("page_tz");
        zoneSource = settingsSource("page_tz", settings);
    }
    std::optional<base::Zone> zone;
    if (zoneName) {
        zone = base::Zone::named(*zoneName);
        if (!zone)
            return SetupRefused{"unknown time zone \"" + *zoneName + "\" from " + zoneSource};
    } else {
        zone = base::Zone::named(kDefaultPageZone);
        if (!zone) {
            notes.push_back(std::string("the time-zone database has no ") + kDefaultPageZone +
                            "; the programme on air follows this computer's clock");
            zone = base::Zone::local();
        }
    }
    GuideSetup setup{root, *zone, {}, {}, std::move(notes)};
    if (!sources.xmltvSources.empty()) {
        setup.xmltvSources = sources.xmltvSources;
        setup.xmltvFrom = "--xmltv";
    } else if (auto listed = settings ? settings->value("xmltv") : std::nullopt) {
        std::istringstream words(*listed);
        for (std::string w; words >> w;) setup.xmltvSources.push_back(w);
        setup.xmltvFrom = settingsSource("xmltv", settings);
    }
    return setup;
}

}  // namespace app

#include "app/config/guide_options.h"

#include <CLI/CLI.hpp>

namespace app {
namespace {

void describe(CLI::App& app, GuideOptions& options) {
    beginUsage(app, "The TV guide's window.");
    app.footer("Qt's own options (-platform NAME, -style NAME, ...) are passed on to Qt.");
    // Qt's options are not known here: they are kept for Qt to read.
    app.allow_extras();
    addRootAndZone(app, options, true);
    app.add_option("--xmltv", options.xmltvSources,
                   "the built-in server reads its listings from this XMLTV\n"
                   "file or http(s) URL (repeatable, the first given wins\n"
                   "a tie; SOURCE#tz=ZONE as tvguide-epgd takes it);\n"
                   "default: the settings file's xmltv=, else samples")
        ->type_name("SOURCE")
        ->check([](const std::string& source) {
            return source.empty() ? std::string("--xmltv needs a file or URL") : std::string();
        })
        ->allow_extra_args(false)  // one source each time: no stray word is taken for one
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    addCacheDir(app, options, "$XDG_CACHE_HOME/tvguide, ~/.cache/tvguide");
}

}  // namespace

std::variant<GuideOptions, GuideUsageError> parseGuideArguments(
    const std::vector<std::string>& args) {
    GuideOptions options;
    CLI::App app("", "tvguide");
    describe(app, options);
    if (auto error = parseArguments(app, args, options.help)) return GuideUsageError{*error};
    if (!options.help) options.toolkitArguments = app.remaining();
    return options;
}

std::string guideUsage() {
    GuideOptions unused;
    CLI::App app("", "tvguide");
    describe(app, unused);
    return app.help();
}

}  // namespace app

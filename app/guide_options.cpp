#include "app/guide_options.h"

#include <CLI/CLI.hpp>

namespace app {
namespace {

void describe(CLI::App& app, GuideOptions& options) {
    app.description("The TV guide's window.");
    app.footer("Qt's own options (-platform NAME, -style NAME, ...) are passed on to Qt.");
    app.option_defaults()->group("options");
    app.set_help_flag("-h,--help", "show this text");
    app.get_formatter()->column_width(28);
    app.get_formatter()->label("Usage", "usage");
    app.get_formatter()->label("OPTIONS", "options");
    // Qt's options are not known here: they are kept for Qt to read.
    app.allow_extras();

    app.add_option_function<std::string>(
           "--epg-root",
           [&options](const std::string& url) {
               if (url.empty()) throw CLI::ValidationError("--epg-root needs a URL");
               options.epgRoot = url;
           },
           "the EPG server's root URL (default: TVGUIDE_EPG_ROOT,\nelse the settings file's, else "
           "the built-in root)")
        ->type_name("URL")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_option_function<std::string>(
           "--page-tz",
           [&options](const std::string& zone) {
               if (zone.empty()) throw CLI::ValidationError("--page-tz needs a time zone");
               options.pageZone = zone;
           },
           "the time zone the EPG pages are written in (default:\nthe settings file's, else "
           "Asia/Shanghai)")
        ->type_name("ZONE")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
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
    app.add_option_function<std::string>(
           "--cache-dir",
           [&options](const std::string& dir) {
               if (dir.empty()) throw CLI::ValidationError("--cache-dir needs a directory");
               options.cacheDir = dir;
           },
           "keep the offline copies of the day pages in DIR\n"
           "(default: $XDG_CACHE_HOME/tvguide, ~/.cache/tvguide)")
        ->type_name("DIR")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

}  // namespace

std::variant<GuideOptions, GuideUsageError> parseGuideArguments(
    const std::vector<std::string>& args) {
    GuideOptions options;
    CLI::App app("", "tvguide");
    describe(app, options);
    try {
        // CLI11 takes the arguments last first.
        app.parse(std::vector<std::string>(args.rbegin(), args.rend()));
    } catch (const CLI::CallForHelp&) {
        options.help = true;
        return options;
    } catch (const CLI::ParseError& e) {
        return GuideUsageError{e.what()};
    }
    options.toolkitArguments = app.remaining();
    return options;
}

std::string guideUsage() {
    GuideOptions unused;
    CLI::App app("", "tvguide");
    describe(app, unused);
    return app.help();
}

}  // namespace app

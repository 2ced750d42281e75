#include "app/config/command_line.h"

#include <CLI/CLI.hpp>

namespace app {

void beginUsage(CLI::App& cli, const std::string& description) {
    cli.description(description);
    cli.option_defaults()->group("options");
    cli.set_help_flag("-h,--help", "show this text");
    cli.get_formatter()->column_width(28);
    cli.get_formatter()->label("Usage", "usage");
    cli.get_formatter()->label("OPTIONS", "options");
}

void addText(CLI::App& cli, const std::string& name, const std::string& typeName,
             const std::string& needs, std::optional<std::string>& into, const std::string& help) {
    cli.add_option_function<std::string>(
           name,
           [name, needs, &into](const std::string& value) {
               if (value.empty()) throw CLI::ValidationError(name + " needs " + needs);
               into = value;
           },
           help)
        ->type_name(typeName)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

void addRootAndZone(CLI::App& cli, SharedOptions& options, bool readsSettingsFile) {
    const std::string settings = readsSettingsFile ? "the settings file's, else " : "";
    addText(cli, "--epg-root", "URL", "a URL", options.epgRoot,
            "the EPG server's root URL (default: TVGUIDE_EPG_ROOT,\nelse " + settings +
                "the built-in root)");
    addText(cli, "--page-tz", "ZONE", "a time zone", options.pageZone,
            "the time zone the EPG pages are written in (default:\n" + settings + "Asia/Shanghai)");
}

void addCacheDir(CLI::App& cli, SharedOptions& options, const std::string& whereByDefault) {
    addText(cli, "--cache-dir", "DIR", "a directory", options.cacheDir,
            "keep the offline copies of the day pages in DIR\n(default: " + whereByDefault + ")");
}

std::optional<std::string> parseArguments(CLI::App& cli, const std::vector<std::string>& args,
                                          bool& help) {
    try {
        // CLI11 takes the arguments last first.
        cli.parse(std::vector<std::string>(args.rbegin(), args.rend()));
    } catch (const CLI::CallForHelp&) {
        help = true;
    } catch (const CLI::ParseError& e) {
        return e.what();
    }
    return std::nullopt;
}

}  // namespace app

// What tvguide and tvguide-probe take alike on their command lines, and the
// look of their usage; each program adds its own options between.
//
//   CLI::App cli("", "tvguide");
//   app::beginUsage(cli, "The TV guide's window.");
//   app::addRootAndZone(cli, options, true);
//   auto error = app::parseArguments(cli, args, options.help);
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace app {

struct SharedOptions {
    std::optional<std::string> epgRoot;   // as given, never empty
    std::optional<std::string> pageZone;  // as given, never empty
    std::optional<std::string> cacheDir;  // as given, never empty
    bool help = false;                    // --help: print the usage and start nothing
};

void beginUsage(CLI::App& cli, const std::string& description);

// --epg-root URL and --page-tz ZONE; their defaults name the settings file
// where the program reads one.
void addRootAndZone(CLI::App& cli, SharedOptions& options, bool readsSettingsFile);

// --cache-dir DIR; `whereByDefault` ends its line of the usage.
void addCacheDir(CLI::App& cli, SharedOptions& options, const std::string& whereByDefault);

// An option whose value may not be empty ("--settings needs a file"), the
// last one given counting.
void addText(CLI::App& cli, const std::string& name, const std::string& typeName,
             const std::string& needs, std::optional<std::string>& into, const std::string& help);

// The message of a command line that cannot be used, or nothing; `help` is
// set when it asks for the usage.
std::optional<std::string> parseArguments(CLI::App& cli, const std::vector<std::string>& args,
                                          bool& help);

}  // namespace app

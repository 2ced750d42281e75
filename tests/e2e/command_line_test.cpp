// The three programs' command lines as a user meets them: --help prints the
// usage on stdout and exits 0; a bad option or value exits 2 with the reason
// and the usage on stderr, and nothing on stdout.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "probe_runner.h"

namespace {

// The programs built here, by name.
std::map<std::string, std::string> programs() {
    std::map<std::string, std::string> paths{{"tvguide-probe", TVGUIDE_PROBE_PATH},
                                             {"tvguide-epgd", TVGUIDE_EPGD_PATH}};
#ifdef TVGUIDE_PATH
    paths["tvguide"] = TVGUIDE_PATH;
#endif
    return paths;
}

TEST(CommandLine, HelpPrintsTheUsageOnStdoutAndExitsZero) {
    // Without any display: asking for help must not start the window system.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("QT_QPA_PLATFORM");
    const std::map<std::string, std::string> anOption{{"tvguide-probe", "--epg-root URL"},
                                                      {"tvguide-epgd", "--listen HOST:PORT"},
                                                      {"tvguide", "--epg-root URL"}};
    for (const auto& [name, path] : programs())
        for (const char* flag : {"--help", "-h"}) {
            const ProgramRun run = runProgram(path, {flag});
            EXPECT_EQ(run.exitCode, 0) << name << " " << flag << ": " << run.err;
            EXPECT_NE(run.out.find("usage: " + name + " [options]"), std::string::npos) << run.out;
            EXPECT_NE(run.out.find(anOption.at(name)), std::string::npos) << run.out;
            EXPECT_EQ(run.err, "") << name;
        }
}

TEST(CommandLine, BadOptionsExitTwoWithTheReasonAndTheUsage) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);  // tvguide lets Qt see what is not its own
    struct Case {
        std::string program;
        std::vector<std::string> args;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"tvguide-probe", {"--bogus"}, "--bogus"},
        {"tvguide-probe", {"--epg-root"}, "--epg-root"},
        {"tvguide-probe", {"--epg-root", ""}, "--epg-root needs a URL"},
        {"tvguide-probe", {"--now", "2008-10-06"}, "bad --now: 2008-10-06"},
        {"tvguide-probe", {"close", "+click-label:8"}, "bad action: +click-label:8"},
        {"tvguide-epgd", {"--bogus"}, "--bogus"},
        {"tvguide-epgd", {"extra"}, "extra"},
        {"tvguide-epgd", {"--listen", "nowhere"}, "--listen wants HOST:PORT, not \"nowhere\""},
        {"tvguide-epgd", {"--now", "2026-12-09"}, "--now wants YYYY-MM-DDTHH:MM:SS"},
        {"tvguide-epgd", {"--threads", "65"}, "--threads wants a number from 1 to 64"},
        {"tvguide-epgd", {"--export", ""}, "--export needs a value"},
        {"tvguide-epgd", {"--map", "m.txt"}, "--map needs at least one --xmltv"},
        {"tvguide", {"--bogus"}, "--bogus"},
        {"tvguide", {"--epg-root"}, "--epg-root"},
        {"tvguide", {"--epg-root", ""}, "--epg-root needs a URL"},
        {"tvguide", {"-platform", "offscreen", "stray"}, "not expected: stray"},
    };
    const auto paths = programs();
    for (const Case& c : cases) {
        if (!paths.contains(c.program)) continue;  // tvguide is not built without Qt
        const ProgramRun run = runProgram(paths.at(c.program), c.args);
        const std::string what = c.program + " " + c.args.front();
        EXPECT_EQ(run.exitCode, 2) << what;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << what << ": " << run.err;
        EXPECT_NE(run.err.find("usage: " + c.program + " [options]"), std::string::npos) << what;
        EXPECT_EQ(run.out, "") << what;
    }
}

}  // namespace

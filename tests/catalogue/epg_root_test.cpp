// Where the guide finds its EPG server, and the guide's command line that
// can name it.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/config/epg_root.h"
#include "app/config/guide_options.h"
#include "app/config/guide_setup.h"
#include "app/config/settings_file.h"

namespace {

TEST(EpgRoot, CommandLineThenEnvironmentThenSettingsFileThenBuiltIn) {
    struct Case {
        std::optional<std::string> commandLine;
        const char* environment;  // nullptr: unset
        std::optional<std::string> settingsFile;
        std::string root;
    };
    const std::vector<Case> cases = {
        {std::nullopt, nullptr, std::nullopt, "http://127.0.0.1:8610/"},
        {std::nullopt, "", std::nullopt, "http://127.0.0.1:8610/"},
        {std::nullopt, "", "", "http://127.0.0.1:8610/"},
        {std::nullopt, "http://epg.lan:8080/", std::nullopt, "http://epg.lan:8080/"},
        // Catalogue paths are appended directly, so a root without "/" gets one.
        {std::nullopt, "http://epg.lan:8080", std::nullopt, "http://epg.lan:8080/"},
        {"http://cli.lan", "http://epg.lan:8080/", "http://file.lan/", "http://cli.lan/"},
        {"http://cli.lan/", nullptr, std::nullopt, "http://cli.lan/"},
        {"", "http://epg.lan/", std::nullopt, "http://epg.lan/"},
        {std::nullopt, "http://epg.lan/", "http://file.lan/", "http://epg.lan/"},
        {std::nullopt, nullptr, "http://file.lan", "http://file.lan/"},
        {"", "", "http://file.lan/", "http://file.lan/"},
    };
    for (const Case& c : cases) {
        if (c.environment)
            setenv("TVGUIDE_EPG_ROOT", c.environment, 1);
        else
            unsetenv("TVGUIDE_EPG_ROOT");
        EXPECT_EQ(app::chooseEpgRoot(c.commandLine, c.settingsFile).root, c.root)
            << c.commandLine.value_or("(none)") << " / "
            << (c.environment ? c.environment : "(unset)") << " / "
            << c.settingsFile.value_or("(none)");
    }
    unsetenv("TVGUIDE_EPG_ROOT");
}

TEST(GuideCommandLine, OwnOptionsAreTakenAndTheRestLeftForQt) {
    struct Case {
        std::vector<std::string> args;
        std::optional<std::string> epgRoot;
        std::vector<std::string> forQt;
        bool help = false;
        std::optional<std::string> cacheDir = std::nullopt;
    };
    const std::vector<Case> cases = {
        {{}, std::nullopt, {}},
        {{"--epg-root", "http://a/"}, "http://a/", {}},
        {{"--epg-root=http://a/", "--epg-root", "http://b"}, "http://b", {}},
        {{"-platform", "offscreen", "--epg-root", "http://a/", "-reverse"},
         "http://a/",
         {"-platform", "offscreen", "-reverse"}},
        {{"--bogus"}, std::nullopt, {"--bogus"}},  // refused once Qt does not take it either
        {{"--help"}, std::nullopt, {}, true},
        {{"-style", "fusion", "-h"}, std::nullopt, {}, true},
        {{"--cache-dir", "/tmp/c", "-reverse"}, std::nullopt, {"-reverse"}, false, "/tmp/c"},
        // One source per --xmltv: what follows it is not a second one.
        {{"--xmltv", "a.xml", "stray"}, std::nullopt, {"stray"}},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto parsed = app::parseGuideArguments(cases[i].args);
        ASSERT_TRUE(std::holds_alternative<app::GuideOptions>(parsed)) << "case " << i;
        const auto& o = std::get<app::GuideOptions>(parsed);
        EXPECT_EQ(o.epgRoot, cases[i].epgRoot) << "case " << i;
        EXPECT_EQ(o.help, cases[i].help) << "case " << i;
        EXPECT_EQ(o.cacheDir, cases[i].cacheDir) << "case " << i;
        if (!o.help) {
            EXPECT_EQ(o.toolkitArguments, cases[i].forQt) << "case " << i;
        }
    }
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--epg-root"}, std::vector<std::string>{"--epg-root", ""},
          std::vector<std::string>{"--cache-dir"}, std::vector<std::string>{"--cache-dir", ""}}) {
        const auto parsed = app::parseGuideArguments(bad);
        ASSERT_TRUE(std::holds_alternative<app::GuideUsageError>(parsed)) << bad[0];
        EXPECT_NE(std::get<app::GuideUsageError>(parsed).message.find(bad[0]), std::string::npos);
    }
}

// The built-in server's listings: every --xmltv in order, else the settings
// file's xmltv= split on blanks, else none (its samples).
TEST(GuideCommandLine, XmltvSourcesComeFromTheCommandLineElseTheSettingsFile) {
    struct Case {
        std::vector<std::string> args;
        const char* settings;  // xmltv= of the settings file; nullptr: no file
        std::vector<std::string> sources;
        std::string from;
    };
    const std::vector<Case> cases = {
        {{}, nullptr, {}, ""},
        {{}, "", {}, ""},
        {{"--xmltv", "a.xml", "-reverse", "--xmltv=http://b/x.xml#tz=UTC"},
         "c.xml",
         {"a.xml", "http://b/x.xml#tz=UTC"},
         "--xmltv"},
        {{}, "  c.xml\thttp://d/e.xml.gz ", {"c.xml", "http://d/e.xml.gz"}, "xmltv in /t.conf"},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto parsed = app::parseGuideArguments(cases[i].args);
        ASSERT_TRUE(std::holds_alternative<app::GuideOptions>(parsed)) << "case " << i;
        const auto& o = std::get<app::GuideOptions>(parsed);
        app::SettingsFile file{"/t.conf", {}, {}};
        if (cases[i].settings)
            file.values = app::parseSettings(std::string("xmltv=\"") + cases[i].settings + "\"");
        const auto setup = app::resolveGuideSetup(
            {std::nullopt, std::nullopt, cases[i].settings ? &file : nullptr, o.xmltvSources});
        ASSERT_TRUE(std::holds_alternative<app::GuideSetup>(setup)) << "case " << i;
        EXPECT_EQ(std::get<app::GuideSetup>(setup).xmltvSources, cases[i].sources) << "case " << i;
        if (!cases[i].sources.empty()) {
            EXPECT_EQ(std::get<app::GuideSetup>(setup).xmltvFrom, cases[i].from) << "case " << i;
        }
    }
    const auto empty = app::parseGuideArguments({"--xmltv", ""});
    ASSERT_TRUE(std::holds_alternative<app::GuideUsageError>(empty));
    EXPECT_NE(std::get<app::GuideUsageError>(empty).message.find("--xmltv"), std::string::npos);
}

}  // namespace

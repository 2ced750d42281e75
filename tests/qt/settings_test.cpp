// The settings file a desktop user edits, as the guide reads it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "app/qt/guide_settings.h"

namespace fs = std::filesystem;

namespace {

TEST(SettingsFile, TheEpgRootUnderTheXdgConfigDirectory) {
    const fs::path config =
        fs::temp_directory_path() / ("tvguide-settings-" + std::to_string(::getpid()));
    fs::remove_all(config);
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string savedValue = saved ? saved : "";
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    EXPECT_EQ(app::settingsFilePath(), (config / "tvguide" / "tvguide.conf").string());
    EXPECT_EQ(app::settingsEpgRoot(), std::nullopt);  // no file

    struct Case {
        const char* file;
        std::optional<std::string> root;
    };
    const Case cases[] = {
        {"epg_root=http://tvbox.lan:8610/\n", "http://tvbox.lan:8610/"},
        {"[General]\nepg_root = http://tvbox.lan:8610/ \n", "http://tvbox.lan:8610/"},
        {"; mine\nepg_root=\"http://a.lan/x,y\"\n", "http://a.lan/x,y"},
        {"epg_root=http://a.lan/x,y\n", "http://a.lan/x,y"},
        {"epg_root=\n", std::nullopt},
        {"other=1\n", std::nullopt},
        {"[guide]\nepg_root=http://elsewhere/\n", std::nullopt},
        {"\x01\x02 not an ini file", std::nullopt},
    };
    fs::create_directories(config / "tvguide");
    for (const Case& c : cases) {
        std::ofstream(config / "tvguide" / "tvguide.conf", std::ios::trunc) << c.file;
        EXPECT_EQ(app::settingsEpgRoot(), c.root) << c.file;
    }
    saved ? ::setenv("XDG_CONFIG_HOME", savedValue.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(config);
}

}  // namespace

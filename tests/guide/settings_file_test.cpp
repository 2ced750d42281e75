// The settings file a desktop user edits, as the guide reads it.
#include "app/config/settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

using Values = std::map<std::string, std::string>;

TEST(SettingsFile, KeysAsAUserWritesThem) {
    struct Case {
        const char* text;
        Values values;
    };
    const Case cases[] = {
        {"epg_root=http://tvbox.lan:8610/\n", {{"epg_root", "http://tvbox.lan:8610/"}}},
        {"[General]\r\nepg_root = http://tvbox.lan:8610/ \r\npage_tz=Asia/Tokyo",
         {{"epg_root", "http://tvbox.lan:8610/"}, {"page_tz", "Asia/Tokyo"}}},
        {"\xEF\xBB\xBF; mine\n# also mine\nepg_root=\"http://a.lan/x,y\" ; old\n",
         {{"epg_root", "http://a.lan/x,y"}}},
        {"epg_root=\"a \\\"b\\\" \\\\c\"\n", {{"epg_root", "a \"b\" \\c"}}},
        {"epg_root=http://a.lan/x,y\n", {{"epg_root", "http://a.lan/x,y"}}},
        {"epg_root=http://a/\nepg_root=\n", {}},  // the last word, and empty is none
        {"[guide]\nepg_root=http://elsewhere/\n[General]\npage_tz=UTC\n", {{"page_tz", "UTC"}}},
        {"=x\nno equals sign\n[General\nk=v\n", {}},  // an unclosed section is no [General]
        {"\x01\x02 not an ini file", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(app::parseSettings(c.text), c.values) << c.text;
}

class SettingsFileOnDisk : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tvguide-settings-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(SettingsFileOnDisk, OnlyTheFirstMebibyteOfARegularFileIsRead) {
    const fs::path file = dir_ / "tvguide.conf";
    // A key, a mebibyte of comment lines, and a key past the limit.
    {
        std::ofstream out(file, std::ios::binary);
        out << "page_tz=Asia/Tokyo\n";
        const std::string comment = "; " + std::string(1000, 'x') + "\n";
        for (std::size_t n = 0; n * comment.size() < app::kMaxSettingsBytes; ++n) out << comment;
        out << "epg_root=http://late.lan/\n";
    }
    app::SettingsFile read = app::readSettingsFile(file);
    EXPECT_EQ(read.values, (Values{{"page_tz", "Asia/Tokyo"}}));
    ASSERT_EQ(read.problems.size(), 1u);
    EXPECT_NE(read.problems[0].find("larger than 1 MiB"), std::string::npos);

    // Missing: nothing to say. A directory or a FIFO: said, and never waited on.
    read = app::readSettingsFile(dir_ / "none.conf");
    EXPECT_TRUE(read.values.empty());
    EXPECT_TRUE(read.problems.empty());
    ASSERT_EQ(::mkfifo((dir_ / "fifo.conf").c_str(), 0600), 0);
    for (const fs::path& odd : {dir_, dir_ / "fifo.conf"}) {
        read = app::readSettingsFile(odd);
        EXPECT_TRUE(read.values.empty()) << odd;
        ASSERT_EQ(read.problems.size(), 1u) << odd;
        EXPECT_NE(read.problems[0].find("not a regular file"), std::string::npos) << odd;
    }
}

TEST(SettingsFilePath, XdgConfigHomeThenHome) {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    const std::string savedXdg = xdg ? xdg : "", savedHome = home ? home : "";
    struct Case {
        const char* xdg;
        const char* home;
        std::optional<fs::path> path;
    };
    const Case cases[] = {
        {"/x/config", "/home/u", fs::path("/x/config/tvguide/tvguide.conf")},
        {"relative", "/home/u", fs::path("/home/u/.config/tvguide/tvguide.conf")},
        {nullptr, "/home/u", fs::path("/home/u/.config/tvguide/tvguide.conf")},
        {nullptr, nullptr, std::nullopt},
    };
    for (const Case& c : cases) {
        c.xdg ? ::setenv("XDG_CONFIG_HOME", c.xdg, 1) : ::unsetenv("XDG_CONFIG_HOME");
        c.home ? ::setenv("HOME", c.home, 1) : ::unsetenv("HOME");
        EXPECT_EQ(app::settingsFilePath(), c.path) << (c.xdg ? c.xdg : "(unset)");
    }
    xdg ? ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
    home ? ::setenv("HOME", savedHome.c_str(), 1) : ::unsetenv("HOME");
}

}  // namespace

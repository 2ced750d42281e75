// The offline copies on disk: what comes back, what is refused, what is pruned.
#include "app/schedule/page_cache.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "runtime/values/date_time.h"

namespace fs = std::filesystem;

namespace {

rt::DateTime at(int day, int hour, int minute = 0) {
    return *rt::fromCivil({2008, 10, day, hour, minute, 0});
}

rt::Bytes bytes(const std::string& s) {
    return rt::Bytes(s.begin(), s.end());
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const fs::path& p, const std::string& data) {
    std::ofstream(p, std::ios::binary | std::ios::trunc) << data;
}

class PageCacheTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tvguide-cache-test-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

const std::string kUrl = "http://epg.lan/programys/TV_1/Channel_1/W1.htm";

// Copies are found again only under the names they were written with.
TEST_F(PageCacheTest, NamesCopiesAsEarlierVersionsDid) {
    app::PageCache cache(dir_);
    EXPECT_EQ(cache.pathFor(kUrl), dir_ / "page-b74729f6dbc22828.cache");
}

TEST_F(PageCacheTest, ACopyComesBackWithItsTimeAndReplacesTheOlderOne) {
    app::PageCache cache(dir_ / "nested" / "tvguide");
    ASSERT_TRUE(cache.usable()) << cache.error();
    EXPECT_FALSE(cache.recall(kUrl));
    std::string page(70'000, 'x');
    page[5] = '\0';  // bodies are bytes, NULs included
    ASSERT_TRUE(cache.keep(kUrl, bytes(page), at(6, 9, 30)));
    ASSERT_TRUE(cache.keep(kUrl + "#2", bytes("other"), at(6, 9, 31)));
    auto copy = cache.recall(kUrl);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->body, bytes(page));
    EXPECT_EQ(copy->fetched, at(6, 9, 30));

    ASSERT_TRUE(cache.keep(kUrl, bytes(""), at(7, 10)));
    copy = cache.recall(kUrl);
    ASSERT_TRUE(copy);
    EXPECT_TRUE(copy->body.empty());
    EXPECT_EQ(copy->fetched, at(7, 10));
    // Written by rename: no temporary is left behind.
    std::size_t files = 0;
    for (const auto& e : fs::directory_iterator(dir_ / "nested" / "tvguide")) {
        EXPECT_EQ(e.path().extension(), ".cache") << e.path();
        ++files;
    }
    EXPECT_EQ(files, 2u);
}

TEST_F(PageCacheTest, ADamagedCopyIsNoCopyAndGoesWhenFound) {
    app::PageCache cache(dir_);
    ASSERT_TRUE(cache.keep(kUrl, bytes("<html>the page</html>"), at(6, 9)));
    const fs::path file = cache.pathFor(kUrl);
    const std::string good = readFile(file);
    const std::size_t body = good.size() - 21;
    struct Damage {
        const char* what;
        std::string data;
    };
    std::string flipped = good;
    flipped[body + 3] ^= 0x20;
    std::string otherUrl = good;
    otherUrl.replace(otherUrl.find("W1.htm"), 6, "W2.htm");
    std::string badTime = good;
    badTime.replace(badTime.find("2008-10-06"), 10, "2008-13-06");
    const Damage damages[] = {
        {"empty", ""},
        {"cut in the body", good.substr(0, good.size() - 1)},
        {"cut in the head", good.substr(0, 20)},
        {"longer", good + "x"},
        {"a body byte changed", flipped},
        {"another URL", otherUrl},
        {"a time that is none", badTime},
        {"another format", "tvguide-page 2" + good.substr(14)},
        {"junk", std::string(5000, '\xff')},
    };
    for (const Damage& d : damages) {
        writeFile(file, d.data);
        EXPECT_FALSE(cache.recall(kUrl)) << d.what;
        // Another URL's copy under the same hash is whole, just not this one.
        EXPECT_EQ(fs::exists(file), std::string(d.what) == "another URL") << d.what;
    }
    writeFile(file, good);
    EXPECT_TRUE(cache.recall(kUrl));
}

TEST_F(PageCacheTest, PruningKeepsTwoWeeksUpTo50MBAndTouchesNoOtherFile) {
    app::PageCacheLimits limits;
    limits.maxBytes = 10'000;
    app::PageCache cache(dir_, limits);
    const std::string page(3'000, 'p');
    auto url = [](int n) { return "http://epg.lan/W" + std::to_string(n) + ".htm"; };
    // Fetched on 1..6 October at noon; pruned on 20 October at 11:00.
    for (int day = 1; day <= 6; ++day) ASSERT_TRUE(cache.keep(url(day), bytes(page), at(day, 12)));
    writeFile(cache.pathFor(url(9)), "damaged");
    writeFile(dir_ / "notes.txt", "mine");
    writeFile(dir_ / "page-zz.cache", "not a name of ours");
    writeFile(dir_ / ".page-0123456789abcdef-AAAAAA.tmp", "left by a crash");
    writeFile(dir_ / ".page-fedcba9876543210-BBBBBB.tmp", "being written");
    // Written while the clock was wrong: two days ahead goes, a few hours stay.
    ASSERT_TRUE(cache.keep(url(30), bytes("ahead"), at(22, 12)));
    ASSERT_TRUE(cache.keep(url(31), bytes("ahead"), at(20, 20)));
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(2);
    fs::last_write_time(dir_ / ".page-0123456789abcdef-AAAAAA.tmp", old);

    cache.prune(at(20, 11));
    // 1..5 October are more than 14 days old.
    for (int day = 1; day <= 6; ++day)
        EXPECT_EQ(cache.recall(url(day)).has_value(), day == 6) << day;
    EXPECT_FALSE(fs::exists(cache.pathFor(url(9))));
    EXPECT_FALSE(cache.recall(url(30)));
    EXPECT_TRUE(cache.recall(url(31)));
    fs::remove(cache.pathFor(url(31)));
    EXPECT_TRUE(fs::exists(dir_ / "notes.txt"));
    EXPECT_TRUE(fs::exists(dir_ / "page-zz.cache"));
    EXPECT_FALSE(fs::exists(dir_ / ".page-0123456789abcdef-AAAAAA.tmp"));
    EXPECT_TRUE(fs::exists(dir_ / ".page-fedcba9876543210-BBBBBB.tmp"));

    for (int day = 10; day <= 14; ++day) ASSERT_TRUE(cache.keep(url(day), bytes(page), at(day, 8)));
    cache.prune(at(20, 11));
    // Of the six, the newest three fit 10,000 bytes (a copy is its page and a
    // head of under 100 bytes).
    for (int day = 10; day <= 14; ++day)
        EXPECT_EQ(cache.recall(url(day)).has_value(), day >= 12) << day;
    EXPECT_FALSE(cache.recall(url(6)));
}

TEST_F(PageCacheTest, ADirectoryThatCannotBeMadeKeepsNothing) {
    writeFile(dir_, "a file where the directory should be");
    app::PageCache cache(dir_ / "tvguide");
    EXPECT_FALSE(cache.usable());
    EXPECT_NE(cache.error().find(dir_.string()), std::string::npos) << cache.error();
    EXPECT_FALSE(cache.keep(kUrl, bytes("x"), at(6, 9)));
    EXPECT_FALSE(cache.recall(kUrl));
    cache.prune(at(6, 9));
    fs::remove(dir_);
}

// procfs takes no files, not even from root, whom permission bits let by.
TEST(PageCacheDirectory, ADirectoryThatCannotBeWrittenInIsSaidOnce) {
    std::vector<std::string> said;
    app::PageCache cache("/proc/self", {}, [&](const std::string& why) { said.push_back(why); });
    ASSERT_TRUE(cache.usable());
    EXPECT_FALSE(cache.keep(kUrl, bytes("x"), at(6, 9)));
    EXPECT_FALSE(cache.keep(kUrl, bytes("y"), at(6, 10)));
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("cannot write in /proc/self"), std::string::npos) << said[0];
    EXPECT_FALSE(cache.recall(kUrl));
}

TEST(PageCacheDirectory, XdgCacheHomeThenHome) {
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    const std::string savedXdg = xdg ? xdg : "", savedHome = home ? home : "";
    struct Case {
        const char* xdg;
        const char* home;
        std::optional<fs::path> dir;
    };
    const Case cases[] = {
        {"/x/cache", "/home/u", fs::path("/x/cache/tvguide")},
        {"relative", "/home/u", fs::path("/home/u/.cache/tvguide")},  // not absolute: ignored
        {nullptr, "/home/u", fs::path("/home/u/.cache/tvguide")},
        {"", "/home/u", fs::path("/home/u/.cache/tvguide")},
        {nullptr, nullptr, std::nullopt},
    };
    for (const Case& c : cases) {
        c.xdg ? ::setenv("XDG_CACHE_HOME", c.xdg, 1) : ::unsetenv("XDG_CACHE_HOME");
        c.home ? ::setenv("HOME", c.home, 1) : ::unsetenv("HOME");
        EXPECT_EQ(app::defaultCacheDirectory(), c.dir) << (c.xdg ? c.xdg : "(unset)");
    }
    xdg ? ::setenv("XDG_CACHE_HOME", savedXdg.c_str(), 1) : ::unsetenv("XDG_CACHE_HOME");
    home ? ::setenv("HOME", savedHome.c_str(), 1) : ::unsetenv("HOME");
}

}  // namespace

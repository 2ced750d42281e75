// Where households' playlists come from over time: a file read again when it
// is edited, a URL fetched as listings are and its last good copy read back
// without network, and whatever fails keeping what was read before.
#include "server/sources/playlist_sources.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "test_http_server.h"

namespace epg {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string playlistOf(int entries) {
    std::string text = "#EXTM3U\n";
    for (int i = 1; i <= entries; ++i)
        text += "#EXTINF:-1 tvg-id=\"" + std::to_string(i) + "\",Channel " + std::to_string(i) +
                "\nhttp://streams.example/" + std::to_string(i) + "\n";
    return text;
}

std::size_t entriesOf(const LoadedPlaylist& p) {
    return p.playlist ? p.playlist->entries.size() : 0;
}

class PlaylistSourcesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("epgd_playlists_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::unique_ptr<PlaylistSources> sources(std::vector<std::string> names) {
        PlaylistSourcesConfig c;
        c.sources = std::move(names);
        c.stateDir = dir_ / "state";
        c.limits.cap = kMaxPlaylistBytes;
        c.fileCheck = 20ms;
        return std::make_unique<PlaylistSources>(std::move(c), [this](const std::string& line) {
            std::lock_guard lock(mutex_);
            log_ += line + "\n";
            changed_.notify_all();
        });
    }
    PlaylistSources::Publish publisher() {
        return [this](std::vector<LoadedPlaylist> playlists) {
            std::lock_guard lock(mutex_);
            published_.push_back(std::move(playlists));
            changed_.notify_all();
        };
    }
    // Waits (a generous while: the machine may be busy) for what `done` says.
    template <typename Done>
    bool waitFor(Done done) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 20s, done);
    }
    std::string log() {
        std::lock_guard lock(mutex_);
        return log_;
    }
    // Written whole, then renamed into place, as an editor saves: the reader
    // never sees half a file.
    fs::path write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / (name + ".new"), std::ios::binary) << text;
        fs::rename(dir_ / (name + ".new"), dir_ / name);
        return dir_ / name;
    }
    std::size_t lastEntries() {
        std::lock_guard lock(mutex_);
        return published_.empty() ? 0 : entriesOf(published_.back()[0]);
    }

    fs::path dir_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string log_;
    std::vector<std::vector<LoadedPlaylist>> published_;
};

TEST_F(PlaylistSourcesTest, AFileIsReadAgainWhenEditedAndABadEditChangesNothing) {
    const fs::path file = write("family.m3u", playlistOf(1));
    auto s = sources({file.string()});
    ASSERT_EQ(s->startLocal(), "");
    ASSERT_EQ(s->current().size(), 1u);
    EXPECT_EQ(s->current()[0].name, "family");
    EXPECT_EQ(entriesOf(s->current()[0]), 1u);
    s->start(publisher());

    write("family.m3u", playlistOf(3));
    ASSERT_TRUE(waitFor([&] { return !published_.empty(); })) << log();
    EXPECT_EQ(lastEntries(), 3u);

    write("family.m3u", "<html><body>oops</body></html>\n");
    ASSERT_TRUE(
        waitFor([&] { return log_.find("keeping what it gave before") != std::string::npos; }));
    EXPECT_NE(log().find("line 1: an HTML or XML page, not a playlist"), std::string::npos)
        << log();
    EXPECT_EQ(entriesOf(s->current()[0]), 3u);

    // A reload reads it again even unchanged.
    write("family.m3u", playlistOf(2));
    ASSERT_TRUE(waitFor([&] { return entriesOf(published_.back()[0]) == 2; }));
    std::size_t published;
    {
        std::lock_guard lock(mutex_);
        published = published_.size();
    }
    s->reload();
    ASSERT_TRUE(waitFor([&] { return published_.size() > published; }));
    s->stop();
}

TEST_F(PlaylistSourcesTest, AFileThatCannotBeReadStopsTheStartNamingIt) {
    write("page.m3u", "<!DOCTYPE html>\n");
    write("empty.m3u", "#EXTM3U\n");
    const struct {
        std::string file;
        const char* error;
    } cases[] = {
        {(dir_ / "missing.m3u").string(), "missing.m3u"},
        {(dir_ / "page.m3u").string(), "page.m3u: line 1: an HTML or XML page, not a playlist"},
        {(dir_ / "empty.m3u").string(), "empty.m3u: no stream in it"},
        {dir_.string(), "is a directory, not a regular file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        auto s = sources({write("good.m3u", playlistOf(1)).string(), c.file});
        const std::string error = s->startLocal();
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

TEST_F(PlaylistSourcesTest, AUrlIsFetchedKeptAndItsCopyServedWithoutNetwork) {
    testsupport::TestHttpServer server;
    const std::string etag = "\"v1\"";
    bool up = true;
    std::mutex serverMutex;
    server.fallback([&](const testsupport::Request& r) {
        std::lock_guard lock(serverMutex);
        if (!up) return testsupport::Response::ok("down").withStatus(500, "Internal Server Error");
        if (r.header("If-None-Match") == etag)
            return testsupport::Response::ok("").withStatus(304, "Not Modified");
        return testsupport::Response::ok(playlistOf(4), "audio/x-mpegurl").withHeader("ETag", etag);
    });
    const std::string url = server.url("/iptv/list.m3u?token=s3cret");
    {
        auto s = sources({url});
        ASSERT_EQ(s->startLocal(), "");
        EXPECT_FALSE(s->current()[0].playlist);  // no copy yet
        s->fetchAll();
        ASSERT_EQ(entriesOf(s->current()[0]), 4u) << log();
        EXPECT_EQ(s->current()[0].name, "list");
        EXPECT_EQ(s->current()[0].source.find("s3cret"), std::string::npos);
    }
    {
        std::lock_guard lock(serverMutex);
        up = false;
    }
    {
        // A restart without the network serves the copy, and keeps it.
        auto s = sources({url});
        ASSERT_EQ(s->startLocal(), "");
        EXPECT_EQ(entriesOf(s->current()[0]), 4u);
        EXPECT_NE(log().find("serving its last good copy"), std::string::npos) << log();
        s->fetchAll();
        EXPECT_EQ(entriesOf(s->current()[0]), 4u);
        EXPECT_NE(log().find("cannot fetch (HTTP/1.1 500"), std::string::npos) << log();
    }
    {
        std::lock_guard lock(serverMutex);
        up = true;
    }
    server.clearRequests();
    auto s = sources({url});
    ASSERT_EQ(s->startLocal(), "");
    s->fetchAll();  // asks with the copy's validators
    ASSERT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(server.requests()[0].header("If-None-Match"), etag);
    s->start(publisher());  // fetches at once, then on the period
    s->reload();            // unconditionally
    ASSERT_TRUE(waitFor([&] {
        for (const auto& r : server.requests())
            if (!r.header("If-None-Match")) return true;
        return false;
    }));
    s->stop();
    EXPECT_EQ(entriesOf(s->current()[0]), 4u);
}

TEST(PlaylistNamesTest, NamesComeFromTheFileOrUrlAndStayApart) {
    EXPECT_EQ(playlistNames({"/srv/tv/family.m3u", "https://iptv.example/a/list.m3u8?key=x",
                             "b/family.m3u", "家庭.m3u", "https://iptv.example/", "tv.list.m3u.gz",
                             "weird name!.m3u"}),
              (std::vector<std::string>{"family", "list", "family-2", "家庭", "playlist", "tv-list",
                                        "weird-name"}));
}

}  // namespace
}  // namespace epg

// Reading sources: gzip told by its first bytes and inflated in any chunking,
// every way a body can be broken or too big, and files that are not regular
// files refused without blocking.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "gzip_text.h"
#include "server/channels/channel_map.h"
#include "server/sources/source_fetch.h"
#include "server/sources/source_option.h"
#include "server/util/body_decoder.h"
#include "server/util/file_read.h"
#include "server/xmltv/source_reader.h"
#include "test_http_server.h"

namespace epg {
namespace {

namespace fs = std::filesystem;

struct Decoded {
    bool ok;
    std::string text, error;
};

Decoded decode(std::string_view input, std::uint64_t cap, std::size_t chunk) {
    std::string text;
    BodyDecoder d(cap, true, [&text](std::string_view t) {
        text.append(t);
        return true;
    });
    for (std::size_t at = 0; at < input.size(); at += chunk)
        if (!d.feed(input.substr(at, chunk))) return {false, {}, d.error()};
    if (!d.finish()) return {false, {}, d.error()};
    return {true, text, {}};
}

TEST(BodyDecoderTest, PlainAndGzipInAnyChunkingAndEveryWayToFail) {
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "<programme n=\"" + std::to_string(i) + "\"/>\n";
    const std::string gz = gzipText(text);
    const std::string half = text.substr(0, text.size() / 2);
    struct Case {
        const char* what;
        std::string input;
        std::uint64_t cap;
        const char* result;  // the text expected, or a part of the error
        bool ok;
    } cases[] = {
        {"plain", text, 1 << 20, nullptr, true},
        {"gzip", gz, 1 << 20, nullptr, true},
        {"two gzip members", gzipText(half) + gzipText(text.substr(half.size())), 1 << 20, nullptr,
         true},
        {"one byte", "<", 10, "<", true},
        {"nothing", "", 10, "", true},
        {"plain at the cap", std::string(1000, 'x'), 1000, nullptr, true},
        {"plain over the cap", std::string(1001, 'x'), 1000, "larger than 1000 bytes", false},
        {"gzip over the cap", gzipText(text + text + text), 1 << 20,
         "larger than 1 MiB when decompressed", false},
        {"a gzip bomb: small in, big out", gzipText(std::string(5 << 20, ' ')), 1 << 20,
         "of gzip unpack to more than 1 MiB", false},
        {"truncated gzip", gz.substr(0, gz.size() - 100), 1 << 20, "truncated gzip", false},
        {"gzip without its trailer", gz.substr(0, gz.size() - 4), 1 << 20, "truncated gzip", false},
        {"corrupt gzip", gz.substr(0, 20) + std::string(200, '\xff') + gz.substr(220), 1 << 20,
         "broken gzip data", false},
        {"garbage after gzip", gz + "trailing", 1 << 20, "data after the end", false},
    };
    for (const Case& c : cases) {
        for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{65536}}) {
            if (chunk == 1 && c.input.size() > 200000) continue;
            Decoded d = decode(c.input, c.cap, chunk);
            EXPECT_EQ(d.ok, c.ok) << c.what << " in chunks of " << chunk << ": " << d.error;
            if (c.ok && c.result)
                EXPECT_EQ(d.text, c.result) << c.what;
            else if (c.ok)
                EXPECT_TRUE(d.text == text || d.text == c.input) << c.what;
            else
                EXPECT_NE(d.error.find(c.result), std::string::npos) << c.what << ": " << d.error;
        }
    }
}

class SourceFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("epgd_files_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(SourceFileTest, GzipByContentNotByName) {
    const std::string text = "<tv>listings</tv>\n";
    std::ofstream(dir_ / "listings.xml", std::ios::binary) << gzipText(text);  // wrong suffix
    std::ofstream(dir_ / "plain.xml.gz", std::ios::binary) << text;
    for (const char* name : {"listings.xml", "plain.xml.gz"}) {
        FileBytes f = readSourceFile((dir_ / name).string(), {});
        ASSERT_TRUE(f.bytes) << f.error;
        EXPECT_EQ(*f.bytes, text) << name;
    }
    // The map is read as it is.
    FileBytes raw = readWholeFile((dir_ / "listings.xml").string());
    ASSERT_TRUE(raw.bytes);
    EXPECT_EQ(*raw.bytes, gzipText(text));
}

// Each refused at once: a FIFO with no writer would block a plain open, and
// /dev/zero never ends.
TEST_F(SourceFileTest, OnlyRegularFilesWithinTheCapAreRead) {
    ASSERT_EQ(mkfifo((dir_ / "fifo").c_str(), 0600), 0);
    // Sparse: a size over the cap costs no disk and must not be read.
    { std::ofstream(dir_ / "huge.xml") << "<tv>"; }
    fs::resize_file(dir_ / "huge.xml", (2ull << 30));
    struct Case {
        std::string file;
        const char* why;
    } cases[] = {
        {(dir_ / "fifo").string(), "is a FIFO, not a regular file"},
        {dir_.string(), "is a directory, not a regular file"},
        {"/dev/zero", "is a character device, not a regular file"},
        {(dir_ / "missing.xml").string(), "cannot open: No such file"},
        {(dir_ / "huge.xml").string(), "2 GiB, larger than 1 GiB, the most a source may hold"},
    };
    for (const Case& c : cases) {
        FileBytes f = readSourceFile(c.file, {});
        EXPECT_FALSE(f.bytes) << c.file;
        EXPECT_EQ(f.error.rfind(c.file + ": ", 0), 0u) << f.error;
        EXPECT_NE(f.error.find(c.why), std::string::npos) << f.error;
    }
    MapResult m = loadChannelMap(std::string("/dev/zero"));
    EXPECT_FALSE(m.map);
    EXPECT_NE(m.error.find("character device"), std::string::npos) << m.error;

    // The map's own cap is far smaller.
    fs::resize_file(dir_ / "huge.xml", kMaxMapBytes + 1);
    m = loadChannelMap((dir_ / "huge.xml").string());
    EXPECT_FALSE(m.map);
    EXPECT_NE(m.error.find("larger than 16 MiB"), std::string::npos) << m.error;
}

// A transfer's bounds: redirects followed up to ten, a stalled body and one
// that drips given up saying how much came, only a 200 taken as listings
// (and a 304 only when asked with validators), a cap on what arrives however
// it is encoded.
TEST(FetchTest, TransfersAreBounded) {
    using testsupport::Response;
    using namespace std::chrono_literals;
    testsupport::TestHttpServer server;
    const std::string text = "<tv>" + std::string(100000, ' ') + "</tv>";
    server.route("/e.xml", Response::ok(gzipText(text)));
    server.route("/moved", Response::redirect(server.url("/e.xml"), 301));
    server.route("/loop", Response::redirect(server.url("/loop")));
    server.route("/stalls", Response::ok(text).stallAfter(5, 30s));
    server.route("/drips", Response::ok(text).trickling(50ms));
    server.route("/short", Response::ok(text).droppingAfter(5000));
    server.route("/big", Response::generated(3 << 20, "<tv>"));
    server.route(
        "/encoded-bomb",
        Response::ok(gzipText(std::string(3 << 20, ' '))).withHeader("Content-Encoding", "gzip"));
    server.route("/current", Response::ok("").withStatus(304, "Not Modified"));
    // A zstd frame may ask for a window of 128 MiB in a few bytes.
    server.route("/zstd", Response::ok(std::string("\x28\xb5\x2f\xfd", 4) + std::string(64, 'x'))
                              .withHeader("Content-Encoding", "zstd"));
    server.route("/forged", Response::ok("").withStatus(500, "Error\r\x1b[2Jtvguide-epgd: forged"));
    struct Case {
        const char* path;
        const char* error;  // nullptr: the text arrives
    } cases[] = {
        {"/e.xml", nullptr},
        {"/moved", nullptr},
        {"/loop", "Maximum (10) redirects followed"},
        {"/stalls", "nothing received for 1 s, with 5 bytes of the body received"},
        {"/drips", "timed out after 2 s (--fetch-timeout), with "},
        {"/short", "transfer closed with"},
        {"/big", "larger than 2 MiB"},
        {"/encoded-bomb", "sent as Content-Encoding: gzip unpack to more than 2 MiB"},
        {"/current", "answered 304 Not Modified to a request without validators"},
        {"/missing", "HTTP/1.1 404 Not Found"},
        {"/zstd", "sent as Content-Encoding: zstd, which I do not take (gzip, deflate only)"},
        {"/forged", "HTTP/1.1 500 Error??[2Jtvguide-epgd: forged"},
    };
    for (const Case& c : cases) {
        FetchRequest r;
        r.url = server.url(c.path);
        r.limits.stallTimeout = 1s;
        r.limits.totalTimeout = 2s;
        r.limits.cap = 2 << 20;
        std::string raw, body;
        r.onRawBytes = [&raw](std::string_view b) { raw.append(b); };
        r.onText = [&body](std::string_view t) {
            body.append(t);
            return true;
        };
        FetchResult f = fetchSource(r);
        if (!c.error) {
            ASSERT_EQ(f.kind, FetchResult::Kind::Fetched) << c.path << ": " << f.error;
            EXPECT_EQ(body, text) << c.path;
            EXPECT_EQ(raw, gzipText(text)) << c.path;  // as sent, for the copy
        } else {
            EXPECT_EQ(f.kind, FetchResult::Kind::Failed) << c.path;
            EXPECT_NE(f.error.find(c.error), std::string::npos) << c.path << ": " << f.error;
        }
    }
}

}  // namespace
}  // namespace epg

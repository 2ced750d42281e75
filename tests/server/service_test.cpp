// The server as one object: the days before today that it once served stay
// served across restarts when a later feed no longer has them, within the
// days it keeps.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "server/service.h"
#include "server_test_util.h"

namespace epg {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string feed(const std::vector<std::pair<int, const char*>>& days) {
    std::string xml =
        "<tv><channel id=\"c\"><display-name>CCTV-1</display-name></channel>"
        "<channel id=\"o\"><display-name>CCTV-17</display-name></channel>";
    for (const auto& [day, title] : days)
        for (const char* channel : {"c", "o"}) {
            char start[40];
            std::snprintf(start, sizeof start, "202612%02d200000 +0800", day);
            xml += std::string("<programme channel=\"") + channel + "\" start=\"" + start +
                   "\"><title>" + title + "</title></programme>";
        }
    return xml + "</tv>";
}

TEST(ServiceTest, DaysOnceServedAreKeptAcrossRestartsWithinTheDaysKept) {
    const fs::path dir = fs::temp_directory_path() / ("epgd_service_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path source = dir / "feed.xml";
    auto serve = [&](const std::vector<std::pair<int, const char*>>& days, int today) {
        std::ofstream(source, std::ios::trunc) << feed(days);
        ServiceConfig c;
        c.xmltvSources = {source.string()};
        c.stateDir = dir / "state";
        c.zone = beijing();
        c.clock = fixedClock(fromLocal({2026, 12, today}, 21 * 60, beijing()));
        c.keepDays = 3;
        c.first = FirstSnapshot::Now;
        Service::Made made = Service::make(std::move(c), Service::Run::Serve);
        EXPECT_TRUE(made.service) << made.error;
        made.service->start();
        return std::move(made.service);
    };
    auto epgXml = [](const Service& s, const char* waitFor) {
        std::string xml;
        for (int i = 0; i < 200; ++i) {
            xml = *handleRequest(s.site(), {"GET", "/epg.xml"}).body;
            if (!waitFor || xml.find(waitFor) != std::string::npos) break;
            std::this_thread::sleep_for(20ms);
        }
        return xml;
    };
    {
        auto s = serve({{4, "Four days ago"}, {6, "Two days ago"}, {8, "Today"}}, 8);
        std::string xml = epgXml(*s, nullptr);
        EXPECT_NE(xml.find("Two days ago"), std::string::npos);
        EXPECT_EQ(xml.find("Four days ago"), std::string::npos);  // beyond the days kept
        for (int i = 0; i < 200 && !fs::exists(dir / "state/past-days.xml.gz"); ++i)
            std::this_thread::sleep_for(20ms);
        ASSERT_TRUE(fs::exists(dir / "state/past-days.xml.gz"));
        EXPECT_EQ(fs::status(dir / "state/past-days.xml.gz").permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);
    }
    {
        // The feed has moved on a day and dropped the days gone.
        auto s = serve({{9, "Tomorrow"}}, 9);
        std::string xml = epgXml(*s, "Two days ago");
        EXPECT_NE(xml.find("Two days ago"), std::string::npos);
        EXPECT_NE(xml.find("Tomorrow"), std::string::npos);
        // Both channels, the catalogue's and the other, each once.
        EXPECT_EQ(xml.find("<channel id=\"CCTV17.epg\""), xml.rfind("<channel id=\"CCTV17.epg\""));
        EXPECT_NE(xml.find("<channel id=\"CCTV17.epg\""), std::string::npos);
        std::size_t twoDaysAgo = 0;
        for (auto at = xml.find("Two days ago"); at != std::string::npos;
             at = xml.find("Two days ago", at + 1))
            ++twoDaysAgo;
        EXPECT_GE(twoDaysAgo, 2u);  // CCTV-1's rows and CCTV-17
    }
    {
        // Days beyond those kept go.
        auto s = serve({{12, "Later"}}, 12);
        std::string xml = epgXml(*s, "Later");
        EXPECT_EQ(xml.find("Two days ago"), std::string::npos);
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace epg

#include <gtest/gtest.h>

#include "guide_server.h"
#include "probe_runner.h"

namespace {

using testsupport::Response;
using Rows = std::vector<std::vector<std::string>>;

constexpr const char* kDone = "当前状态: 下载完毕!";
constexpr const char* kFailed = "当前状态: 下载失败!";

// Serves `monday` as the first channel's Monday page and shows it by starting
// on a Monday; the status must be `status`.
Rows mondayRows(Response monday, const char* status = kDone) {
    GuideServer epg;
    epg.server.route("/programys/TV_1/Channel_1/W1.htm", std::move(monday));
    const ProbeRun run = runProbe({"--epg-root", epg.root(), "--now", onDay(1)});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const auto j = run.json();
    EXPECT_EQ(j.at("status").at(0).get<std::string>(), status);
    Rows rows;
    for (const auto& r : j.at("program_list").at("rows"))
        rows.push_back(r.get<std::vector<std::string>>());
    return rows;
}

TEST(SchedulePage, WorkedExample) {
    const std::string page =
        "<div align='center'><div id='e1' ><b>07:00</b></div><div id='e2' ><a href='x.htm'>" +
        G("新闻联播") + "</a> " + G("剧情") + "</div></div>";
    EXPECT_EQ(mondayRows(Response::ok(page)), (Rows{{" 07:00", "新闻联播 "}}));
}

TEST(SchedulePage, TrickyRows) {
    const std::string page =
        scheduleRow("<span><b>06:00</b></span>",
                    "<font color=red><b>" + G("早间新闻") + "</b></font>") +
        scheduleRow("&nbsp;19:30", "a < b") + scheduleRow("21:00", "x < y <i>z</i>") +
        scheduleRow("22:00", "line one\r\nline two") + "<div align='center'><div id='e2' >" +
        G("没有时间") + "</div></div>" + "<div align='center'><div id='e1' >23:00</div></div>" +
        "<div ALIGN='center'><div id='e1' >23:30</div><div id='e2' >upper</div></div>" +
        "<div align='center'><div id='E1' >23:45</div><div id='e2' >" + G("剧情") +
        "only</div></div>";
    EXPECT_EQ(mondayRows(Response::ok(page)), (Rows{{" 06:00", "早间新闻"},
                                                    {" &nbsp;19:30", "a < b"},
                                                    {" 21:00", "x z"},
                                                    {" 22:00", "line one\r\nline two"},
                                                    {" ", "没有时间"},
                                                    {" 23:00", ""},
                                                    {" ", ""}}));
}

TEST(SchedulePage, AZeroByteEndsNoList) {
    std::string page = scheduleRow("08:00", "before");
    page += std::string(1, '\0') + scheduleRow("09:00", "after");
    EXPECT_EQ(mondayRows(Response::ok(page)), (Rows{{" 08:00", "before"}, {" 09:00", "after"}}));
}

TEST(SchedulePage, ServerResponsesThatAreNotPlainSuccesses) {
    const std::string two = scheduleRow("08:00", "one") + scheduleRow("09:00", "two");
    // An error status with a body: the body is parsed like any page, and the
    // status says the download failed.
    EXPECT_EQ(mondayRows(Response::ok(two).withStatus(404, "Not Found"), kFailed),
              (Rows{{" 08:00", "one"}, {" 09:00", "two"}}));
    EXPECT_TRUE(
        mondayRows(Response::ok("<html>Not Found</html>").withStatus(404, "Not Found"), kFailed)
            .empty());
    // No Content-Length: the body ends with the connection.
    EXPECT_EQ(mondayRows(Response::ok(two).withFraming(Response::Framing::CloseDelimited)),
              (Rows{{" 08:00", "one"}, {" 09:00", "two"}}));
    // Dropped in the middle of the second row: the first row still shows.
    EXPECT_EQ(mondayRows(Response::ok(two).droppingAfter(two.size() - 30), kFailed),
              (Rows{{" 08:00", "one"}}));
}

}  // namespace

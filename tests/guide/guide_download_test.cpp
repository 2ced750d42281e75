// What the guide shows after each way a download can end, its offline copies,
// and the mark of the programme on air as the clock runs.
#include <gtest/gtest.h>

#include <map>

#include "app/window/guide.h"
#include "app/window/main_window.h"
#include "day_page.h"
#include "gbk_literal.h"
#include "runtime/backend/headless/headless_backend.h"
#include "runtime/values/date_time.h"

namespace {

using namespace std::chrono_literals;
using rt::FetchOutcome;

using daypage::kRoot;
using daypage::row;

// The guide on the headless backend; its clock starts at `start` and runs
// with the backend's fake clock.
struct Guide {
    explicit Guide(rt::DateTime startTime) : start(startTime) {
        app::GuideServices s;
        s.fetch = [this](const rt::Text& url) {
            requests.push_back(url);
            rt::FetchResult r;
            r.body.assign(body.begin(), body.end());
            r.outcome = outcome;
            return r;
        };
        s.now = [this] {
            const auto elapsed =
                std::chrono::duration_cast<std::chrono::seconds>(backend.now().time_since_epoch());
            return rt::DateTime{this->start.days + static_cast<double>(elapsed.count()) / 86400};
        };
        s.delay = [](rt::Runtime&, int) {};
        s.keepCopy = [this](const rt::Text& url, const rt::Bytes& page) {
            copies[url] = app::KeptPage{page, copyTime};
        };
        s.recallCopy = [this](const rt::Text& url) -> std::optional<app::KeptPage> {
            const auto it = copies.find(url);
            if (it == copies.end()) return std::nullopt;
            return it->second;
        };
        guide.emplace(kRoot, s);
        runtime.emplace(app::ui::mainWindowTemplateBlock(), guide->handlers(), backend);
    }
    void open() { runtime->loadStartWindow(app::ui::kMainWindowId); }
    void press(int day) { runtime->userMousePress(app::ui::dayLabel(day), 2, 2); }

    std::string status() const {
        return U(runtime->control(app::ui::kStatusBar)->as<rt::StatusBar>()->parts[0].text);
    }
    const rt::ListView& list() const {
        return *runtime->control(app::ui::kProgramList)->as<rt::ListView>();
    }
    std::vector<std::string> titles() const {
        std::vector<std::string> out;
        for (int i = 0; i < static_cast<int>(list().rows().size()); ++i)
            out.push_back(U(list().cellText(i, 1)));
        return out;
    }

    rt::DateTime start;
    std::string body;
    FetchOutcome outcome = FetchOutcome::Complete;
    rt::DateTime copyTime;
    std::map<rt::Text, app::KeptPage> copies;
    std::vector<rt::Text> requests;
    rt::HeadlessBackend backend;
    std::optional<app::Guide> guide;
    std::optional<rt::Runtime> runtime;
};

rt::DateTime monday(int hour, int minute, int second = 0) {
    return *rt::fromCivil({2008, 10, 6, hour, minute, second});
}

TEST(GuideDownload, TheStatusTellsAFailedDownloadApartAndShowsWhatCame) {
    struct Case {
        FetchOutcome outcome;
        const char* status;
    };
    const Case cases[] = {
        {FetchOutcome::Complete, "当前状态: 下载完毕!"},
        {FetchOutcome::HttpError, "当前状态: 下载失败!"},
        {FetchOutcome::NotFetched, "当前状态: 下载失败!"},
        {FetchOutcome::TimedOut, "当前状态: 下载失败!"},
        {FetchOutcome::DeadlinePassed, "当前状态: 下载失败!"},
        {FetchOutcome::CutShort, "当前状态: 下载失败!"},
        {FetchOutcome::TooLarge, "当前状态: 下载失败!"},
    };
    for (const Case& c : cases) {
        Guide g(monday(9, 30));
        g.body = row("08:00", G("早间新闻")) + row("09:00", "cut sh");
        g.outcome = c.outcome;
        g.open();
        EXPECT_EQ(g.status(), c.status) << static_cast<int>(c.outcome);
        // The list shows whatever body came, as before.
        EXPECT_EQ(g.titles(), (std::vector<std::string>{"早间新闻", "cut sh"}));
        // Only a whole 2xx page becomes a copy (Sunday's and Monday's here).
        EXPECT_EQ(g.copies.size(), c.outcome == FetchOutcome::Complete ? 2u : 0u);
    }
}

TEST(GuideDownload, AFailedDownloadShowsTheOfflineCopyAndItsTime) {
    Guide g(monday(9, 30));
    g.body = row("08:00", G("早上存的"));
    g.copyTime = *rt::fromCivil({2008, 10, 6, 7, 5, 0});
    g.open();
    ASSERT_EQ(g.copies.size(), 2u);  // Sunday's and Monday's pages, at start-up
    ASSERT_EQ(g.requests.size(), 2u);
    g.body = "<html>Not Found</html>";
    g.outcome = FetchOutcome::HttpError;
    g.press(1);
    EXPECT_EQ(g.status(), "当前状态: 离线, 显示 10月6日 07:05 下载的节目表");
    EXPECT_EQ(g.titles(), (std::vector<std::string>{"早上存的"}));
    g.press(3);  // no copy of Wednesday: what came, and the failure
    EXPECT_EQ(g.status(), "当前状态: 下载失败!");
    EXPECT_TRUE(g.titles().empty());
    EXPECT_EQ(g.copies.size(), 2u);
    EXPECT_EQ(U(app::downloadStatus(app::PageOrigin::OfflineCopy,
                                    *rt::fromCivil({2008, 12, 31, 23, 9, 0}))),
              "当前状态: 离线, 显示 12月31日 23:09 下载的节目表");
}

TEST(GuideOnAir, TheMarkFollowsTheClockAndLeavesAtMidnight) {
    Guide g(monday(19, 58, 30));
    g.body = row("06:00", "a") + row("20:00", "b") + row("23:59", "c") + row("00:30", "d");
    g.open();
    const auto nowRow = [&] { return g.list().markedRow(); };
    EXPECT_EQ(nowRow(), 0);
    EXPECT_EQ(g.list().shownRow(), 0);  // brought into view as the list filled
    struct Step {
        std::chrono::seconds advance;
        int row;
    };
    // The checks fall at 19:59:00, 20:00:00, ... of the guide's clock.
    const Step steps[] = {{29s, 0},  {1s, 0},   {59s, 0}, {1s, 1}, {238min, 1},  // 23:58:00
                          {1min, 2}, {1min, -1}};  // 23:59, and midnight
    for (const Step& s : steps) {
        g.backend.advance(s.advance);
        g.runtime->processPendingMessages();
        EXPECT_EQ(nowRow(), s.row) << "after " << s.advance.count() << " s";
    }
    // Past midnight Monday's page is not today's; on Tuesday's nothing has
    // begun before 06:00 (its 00:30 is the night after).
    g.press(1);
    EXPECT_EQ(nowRow(), -1);
    g.press(2);
    EXPECT_EQ(nowRow(), -1);
    g.backend.advance(30min);
    g.runtime->processPendingMessages();
    EXPECT_EQ(nowRow(), -1);
    g.backend.advance(330min);
    g.runtime->processPendingMessages();
    EXPECT_EQ(nowRow(), 0);
}

}  // namespace

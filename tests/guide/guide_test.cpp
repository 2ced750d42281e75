// The guide's handlers on the headless backend, with the network replaced by a
// table of pages and the pause by a recorder.
#include "app/window/guide.h"

#include <gtest/gtest.h>

#include <map>

#include "app/window/main_window.h"
#include "day_page.h"
#include "gbk_literal.h"
#include "runtime/backend/headless/headless_backend.h"
#include "runtime/values/date_time.h"
#include "runtime/window/template/template_codec.h"

namespace {

using daypage::kRoot;

std::string page(const std::string& name) {
    return "<div align='center'><div id='e1' >08:00</div><div id='e2' >" + name + "</div></div>";
}

struct Harness {
    explicit Harness(int weekday /* 1 Monday .. 7 Sunday */) {
        now = *rt::fromCivil({2008, 10, 5 + weekday, 9, 30, 0});
        app::GuideServices s;
        s.fetch = [this](const rt::Text& url) {
            requests.push_back(url);
            pages.push_back(page(url.substr(url.rfind('/') + 1)));
            rt::FetchResult r;
            r.body.assign(pages.back().begin(), pages.back().end());
            r.outcome = rt::FetchOutcome::Complete;
            r.status = 200;
            return r;
        };
        s.now = [this] { return now; };
        s.delay = [this](rt::Runtime& r, int ms) {
            pauses.push_back(ms);
            const auto* status = r.control(app::ui::kStatusBar)->as<rt::StatusBar>();
            statusDuringPause.push_back(status->parts[0].text);
            rowsDuringPause.push_back(programRows(r).size());
            if (duringPause) {
                auto action = std::move(duringPause);
                duringPause = nullptr;
                action(r);
            }
        };
        guide.emplace(kRoot, s);
        auto table = guide->handlers();
        auto& opened = table[static_cast<size_t>(app::ui::HandlerId::GroupOpened)];
        opened = [this, inner = opened](rt::Runtime& r, rt::EventArgs a) {
            groupEvents.push_back(a.empty() ? -99 : a[0]);
            return inner(r, a);
        };
        runtime.emplace(app::ui::mainWindowTemplateBlock(), table, backend);
        runtime->setExitRoutine([this] { guide->release(); });
        runtime->loadStartWindow(app::ui::kMainWindowId);
    }

    static std::vector<std::string> programRows(const rt::Runtime& r) {
        std::vector<std::string> out;
        const auto* lv = r.control(app::ui::kProgramList)->as<rt::ListView>();
        for (int i = 0; i < static_cast<int>(lv->rows().size()); ++i)
            out.push_back(lv->cellText(i, 1));
        return out;
    }
    std::vector<std::string> programRows() const { return programRows(*runtime); }
    const rt::ListView& list(rt::ControlRef ref) const {
        return *runtime->control(ref)->as<rt::ListView>();
    }

    rt::DateTime now;
    std::vector<rt::Text> requests;
    std::vector<std::string> pages;
    std::vector<int> pauses;
    std::vector<rt::Text> statusDuringPause;
    std::vector<size_t> rowsDuringPause;
    std::vector<std::int32_t> groupEvents;
    std::function<void(rt::Runtime&)> duringPause;
    rt::HeadlessBackend backend;
    std::optional<app::Guide> guide;
    std::optional<rt::Runtime> runtime;
};

TEST(DayNumber, ComparesTheWeekdayExactly) {
    const char* names[] = {"星期一", "星期二", "星期三", "星期四", "星期五", "星期六"};
    for (int k = 0; k < 6; ++k) EXPECT_EQ(app::dayNumberOf(G(names[k])), k + 1);
    EXPECT_EQ(app::dayNumberOf(G("星期日")), 7);
    EXPECT_EQ(app::dayNumberOf(""), 7);
    EXPECT_EQ(app::dayNumberOf(G("星期一 ")), 7);
}

TEST(GuideStartUp, BuildsTheMenuWithoutRefillingTheCopies) {
    Harness h(3);
    EXPECT_EQ(h.groupEvents, std::vector<std::int32_t>(10, 0));
    // The copies keep the rows copied from the channel list until first opened.
    for (const rt::TypedControlRef& copy : h.guide->values().groupLists) {
        ASSERT_NE(copy.ref.unit, 0u);
        EXPECT_EQ(h.list(copy.ref).rows().size(), 28u);
        EXPECT_EQ(h.list(copy.ref).currentRow(), -1);
    }
    EXPECT_EQ(U(h.guide->values().startupWeekday), "星期三");
    EXPECT_EQ(h.guide->values().channelBaseUrl, std::string(kRoot) + "programys/TV_1/Channel_1/");
    // Each parse shows the busy status over an empty list while it pauses.
    EXPECT_EQ(h.pauses, (std::vector<int>{500, 500}));
    EXPECT_EQ(U(h.statusDuringPause[1]), "当前状态: 正在下载节目列表");
    EXPECT_EQ(h.rowsDuringPause, (std::vector<size_t>{0, 0}));
    EXPECT_EQ(h.programRows(), (std::vector<std::string>{"W3.htm"}));
}

TEST(GuideSelection, ACurrentRowEventWithoutASelectedRowEmptiesTheChannel) {
    Harness h(1);
    h.runtime->userClickGroupHeader(app::ui::kGroupMenu, 1);
    const rt::ControlRef list = h.guide->values().groupLists[0].ref;
    h.runtime->raiseEvent(list, rt::event::kCurrentRowChanged);
    EXPECT_EQ(h.guide->values().channelBaseUrl, "");
    EXPECT_EQ(h.requests.back(), "W1.htm");
    EXPECT_EQ(U(h.list(app::ui::kProgramList).columns()[1].title), " 节目预告");
    EXPECT_EQ(h.runtime->focus(), std::optional<rt::ControlRef>(list));
}

TEST(GuideNestedLoads, AClickQueuedBeforeTheDownloadRunsInThePumpAndWins) {
    Harness h(1);
    h.backend.postMousePress(app::ui::dayLabel(6), 2, 2);
    h.runtime->userMousePress(app::ui::dayLabel(2), 2, 2);
    ASSERT_EQ(h.requests.size(), 4u);
    EXPECT_EQ(h.requests[2], std::string(kRoot) + "programys/TV_1/Channel_1/W2.htm");
    EXPECT_EQ(h.requests[3], std::string(kRoot) + "programys/TV_1/Channel_1/W6.htm");
    EXPECT_EQ(h.programRows(), (std::vector<std::string>{"W6.htm"}));
    EXPECT_EQ(h.guide->values().pageText, h.pages.back());
    // The outer load stopped after its pump: only the nested one paused.
    EXPECT_EQ(h.pauses.size(), 3u);
}

TEST(GuideNestedLoads, ALoadInsideThePauseIsNotAppendedTwice) {
    Harness h(1);
    h.duringPause = [](rt::Runtime& r) { r.userMousePress(app::ui::dayLabel(4), 2, 2); };
    h.runtime->userMousePress(app::ui::dayLabel(2), 2, 2);
    EXPECT_EQ(h.programRows(), (std::vector<std::string>{"W4.htm"}));
    const auto* slider = h.runtime->control(app::ui::kDaySlider)->as<rt::SliderBar>();
    EXPECT_EQ(slider->position(), 4);
    EXPECT_EQ(U(h.runtime->control(app::ui::kStatusBar)->as<rt::StatusBar>()->parts[0].text),
              "当前状态: 下载完毕!");
}

TEST(GuideLifecycle, ClosingRunsTheExitRoutineOnce) {
    Harness h(5);
    EXPECT_FALSE(h.guide->values().pageText.empty());
    h.backend.postClose(app::ui::kMainWindowId);
    EXPECT_TRUE(h.runtime->runMessageLoop().has_value());
    EXPECT_TRUE(h.guide->values().pageText.empty());
    EXPECT_TRUE(h.guide->values().channelBaseUrl.empty());
    EXPECT_TRUE(h.guide->values().startupWeekday.empty());
}

}  // namespace

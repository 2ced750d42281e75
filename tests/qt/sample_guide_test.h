// The guide and its schedule views around the real window (offscreen), on
// the sample listings served in-process, at Wednesday 2026-12-09 20:15 in
// Beijing: the set-up of the window tests of the schedule's views.
#pragma once

#include <gtest/gtest.h>
#include <QObject>

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>

#include "../e2e/sample_epg.h"
#include "app/program.h"
#include "app/qt/schedule_views.h"
#include "qt_test_app.h"
#include "runtime/backend/qt/qt_backend.h"
#include "runtime/values/date_time.h"

namespace qttest {

class SampleGuideTest : public ::testing::Test {
  protected:
    static constexpr epg::Seconds kNowUnix = 1796818500;

    // Once the window shows today's list.
    void SetUp() override {
        ASSERT_EQ(epg_.error(), "");
        ::setenv("TZ", "Asia/Shanghai", 1);
        app::ProgramOptions options;
        options.epgRoot = epg_.root();
        options.now = [] { return *rt::fromCivil({2026, 12, 9, 20, 15, 0}); };
        options.post = [this](std::function<void()> task) {
            QMetaObject::invokeMethod(&gui_, std::move(task), Qt::QueuedConnection);
        };
        program_ = std::make_unique<app::GuideProgram>(backend_, options);
        program_->loadStartWindow();
        views_.emplace(backend_, *program_);
        ASSERT_TRUE(waitUntil([&] { return !program_->guide().shownDay().programmes.empty(); }));
    }
    void TearDown() override {
        views_.reset();
        program_.reset();
        ::unsetenv("TZ");
    }

    SampleEpg epg_{kNowUnix};
    rt::QtBackend backend_;
    QObject gui_;
    std::unique_ptr<app::GuideProgram> program_;
    std::optional<app::qtui::ScheduleViews> views_;
};

}  // namespace qttest

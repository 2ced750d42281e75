// Each fatal runtime error: the exact report on stderr, exit code -1 (255),
// and neither the exit routine nor any further event.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <new>

#include "runtime/values/allocation_failure.h"
#include "runtime/window/fatal_report.h"
#include "runtime/window/template/template_codec.h"
#include "small_window.h"
#include "tests/support/sanitizers.h"

using namespace small;
using ::testing::ExitedWithCode;

namespace {

TEST(FatalReport, ExactText) {
    EXPECT_EQ(U(rt::formatFatalReport(std::nullopt, G("载入启动窗口失败"))),
              "运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n");
    EXPECT_EQ(U(rt::formatFatalReport(6, G("调用DLL命令后发现堆栈错误"))),
              "运行时出错!\r\n\r\n错误代码：6\r\n\r\n错误信息：调用DLL命令后发现堆栈错误\r\n");
    EXPECT_EQ(U(rt::formatFatalReport(-3, {})), "运行时出错!\r\n\r\n错误代码：-3\r\n\r\n");
    EXPECT_EQ(U(rt::formatFatalReport(std::nullopt, {})), "运行时出错!\r\n\r\n");
}

using FatalDeath = ::testing::Test;

TEST(FatalDeath, UnreadableTemplateBlock) {
    EXPECT_EXIT(([&] {
                    rt::HeadlessBackend b;
                    const std::uint8_t junk[] = {8, 0, 0, 0, 1, 2};
                    rt::Runtime r(std::span<const std::uint8_t>(junk), {}, b);
                }()),
                ExitedWithCode(255), "^运行时出错!\r\n\r\n错误信息：载入窗口模板数据段出错!\r\n$");
}

TEST(FatalDeath, UnknownStartWindow) {
    EXPECT_EXIT(([&] {
                    Harness h;
                    h.rt().loadStartWindow(0x52010002);
                }()),
                ExitedWithCode(255), "错误信息：载入启动窗口失败");
}

TEST(FatalDeath, PropertyOfAnUnknownWindow) {
    EXPECT_EXIT(([&] {
                    Harness h;
                    h.load();
                    h.rt().readProperty(rt::ControlRef{0x52010002, kLabel}, 0);
                }()),
                ExitedWithCode(255), "错误信息：未载入欲访问窗口组件所在的窗口");
}

TEST(FatalDeath, TypePropertyBeforeLoading) {
    EXPECT_EXIT(([&] {
                    Harness h;
                    h.rt().readProperty(Harness::ref(kSlider), 19);
                }()),
                ExitedWithCode(255), "错误信息：指定窗口尚未载入");
    EXPECT_EXIT(([&] {
                    Harness h;
                    h.rt().writeProperty(Harness::ref(kLabel), 16, std::int32_t{255});
                }()),
                ExitedWithCode(255), "错误信息：指定窗口尚未载入");
}

TEST(FatalDeath, EventFromAnUnknownWindowOrUnit) {
    EXPECT_EXIT(([&] {
                    Harness h;
                    h.load();
                    h.rt().raiseEvent(rt::ControlRef{0x52010002, kLabel}, -1);
                }()),
                ExitedWithCode(255), "错误信息：未找到引发事件的窗口\r\n$");
    EXPECT_EXIT(([&] {
                    Harness h;
                    h.load();
                    h.rt().raiseEvent(Harness::ref(0x16FFFFFF), -1);
                }()),
                ExitedWithCode(255), "错误信息：未找到引发事件的窗口组件\r\n$");
}

TEST(FatalDeath, EventFromAUnitThatIsNoWindow) {
    rt::WindowTemplate t = smallTemplate();
    t.windows[0].units.push_back(unit(0x16000099, 0x40001, 0, {}, {{0, hLabelPress}}));
    EXPECT_EXIT(([&] {
                    Harness h(t);
                    h.load();
                    h.rt().raiseEvent(Harness::ref(0x16000099), 0);
                }()),
                ExitedWithCode(255), "错误信息：引发事件的窗口组件无效");
}

TEST(FatalDeath, SetFocusOnAMissingOrUncreatedControl) {
    EXPECT_EXIT(([&] {
                    Harness h;
                    h.load();
                    h.rt().setFocus(Harness::ref(0x16FFFFFF));
                }()),
                ExitedWithCode(255), "错误信息：指定窗口或窗口组件不存在或尚未载入");
    EXPECT_EXIT(([&] {
                    Harness h;
                    h.rt().setFocus(Harness::ref(kLabel));
                }()),
                ExitedWithCode(255), "错误信息：指定窗口或窗口组件不存在或尚未载入");
}

// A backend that, while the report is shown, tries to deliver more input.
struct PumpingBackend : rt::HeadlessBackend {
    rt::Runtime* runtime = nullptr;
    void showFatalReport(const rt::Text& report) override {
        runtime->raiseEvent(Harness::ref(kLabel), -1);
        runtime->userMousePress(Harness::ref(kLabel), 1, 1);
        runtime->processPendingMessages();
        rt::HeadlessBackend::showFatalReport(report);
    }
};

TEST(FatalDeath, InsideAHandlerNoFurtherEventsAndNoExitRoutine) {
    EXPECT_EXIT(
        ([&] {
            PumpingBackend b;
            std::vector<rt::Handler> table(kHandlerCount);
            table[hLabelPress] = [](rt::Runtime& r, rt::EventArgs) -> std::optional<std::int32_t> {
                static bool once = false;
                if (once) std::_Exit(3);  // a second dispatch would end here
                once = true;
                r.fatal(1, rt::gbk("数组成员引用下标超出定义范围"));
            };
            rt::Runtime r(smallTemplate(), table, b);
            b.runtime = &r;
            r.setExitRoutine([] { std::_Exit(4); });
            r.loadStartWindow(kWin);
            b.postMousePress(Harness::ref(kLabel), 1, 1);
            b.postMousePress(Harness::ref(kLabel), 2, 2);
            r.runMessageLoop();
        }()),
        ExitedWithCode(255),
        "^运行时出错!\r\n\r\n错误代码：1\r\n\r\n错误信息：数组成员引用下标超出定义范围\r\n$");
}

// An allocation that fails anywhere under a handler ends in the runtime's
// report, with the size where it is known, never in an exception's abort.
using test_support::kAddressSanitizer;

void* volatile allocationSink = nullptr;  // keeps the failing allocation from being elided

TEST(FatalDeath, AnAllocationFailureInsideAHandler) {
    struct Case {
        std::function<void()> fail;
        const char* report;
    };
    const Case cases[] = {
        {[] { throw std::bad_alloc(); }, "分配 0 字节内存失败!"},
        {[] { throw rt::AllocationFailure(1234567); }, "分配 1234567 字节内存失败!"},
        {[] {  // a real one: no machine has 4 EiB
             allocationSink = ::operator new (std::size_t{1} << 62);
             ::operator delete(allocationSink);
         },
         "分配 0 字节内存失败!"},
    };
    for (const Case& c : cases) {
        // AddressSanitizer ends a process that asks for 4 EiB itself.
        if (kAddressSanitizer && &c == &cases[2]) continue;
        EXPECT_EXIT(([&] {
                        Harness h;
                        h.actions[hLabelPress] = [&](rt::Runtime&) { c.fail(); };
                        h.rt().setExitRoutine([] { std::_Exit(4); });
                        h.load();
                        h.backend.postMousePress(Harness::ref(kLabel), 1, 1);
                        h.rt().runMessageLoop();
                        std::_Exit(5);
                    }()),
                    ExitedWithCode(255),
                    std::string("^运行时出错!\r\n\r\n错误信息：") + c.report + "\r\n$");
    }
}

TEST(FatalDeath, AnAllocationFailureOutsideAnyRuntime) {
    EXPECT_EXIT(rt::exitOnAllocationFailure(42), ExitedWithCode(255),
                "^运行时出错!\r\n\r\n错误信息：分配 42 字节内存失败!\r\n$");
}

}  // namespace

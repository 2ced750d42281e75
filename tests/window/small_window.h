// A small hand-built window for the frame's tests: one of each control type
// the guide uses, bound to a handler table that logs every call.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "gbk_literal.h"
#include "runtime/backend/headless/headless_backend.h"
#include "runtime/window/runtime.h"
#include "runtime/window/template/type_data.h"

namespace small {

inline constexpr std::uint32_t kWin = 0x52010001;
inline constexpr std::uint32_t kOwn = 0x06010000;
inline constexpr std::uint32_t kFrame = 0x16000001;  // GroupBox holding list and bar
inline constexpr std::uint32_t kChannels =
    0x16000002;                                      // ListView, select-with-focus, events 0 and -1
inline constexpr std::uint32_t kMenu = 0x16000003;   // OutlookBar, event 1
inline constexpr std::uint32_t kLabel = 0x16000004;  // Label, event -1
inline constexpr std::uint32_t kSlider = 0x16000005;   // SliderBar 1..7
inline constexpr std::uint32_t kStatus = 0x16000006;   // StatusBar, 4 parts
inline constexpr std::uint32_t kViewer = 0x16000007;   // HtmlViewer
inline constexpr std::uint32_t kProgram = 0x16000008;  // ListView, no events

// Handler numbers in the template.
enum : std::int32_t {
    hCreated,
    hRowChanged,
    hListPress,
    hGroupOpened,
    hLabelPress,
    hListKey,
    kHandlerCount
};

inline rt::UnitRecord unit(std::uint32_t id, std::uint32_t type, std::uint32_t parent,
                           rt::Bytes data, std::vector<rt::EventBinding> events = {},
                           std::uint32_t flags = rt::unit_flag::kVisible) {
    rt::UnitRecord u;
    u.id = id;
    u.type = type;
    u.parent = parent;
    u.left = 10;
    u.top = 20;
    u.width = 200;
    u.height = 300;
    u.flags = flags;
    u.typeData = std::move(data);
    u.events = std::move(events);
    return u;
}

inline rt::WindowTemplate smallTemplate() {
    using namespace rt;
    std::vector<UnitRecord> units;
    WindowData win;
    win.title = G("小窗口");
    units.push_back(unit(kOwn, unit_type::kWindow, 0, encode(win), {{0, hCreated}}));
    units.push_back(unit(kFrame, unit_type::kGroupBox, 0, {}));

    ListViewData channels;
    channels.selectWithFocus = 1;
    channels.columns.push_back(ListColumn{0, -1, 0, 180, G("频道")});
    for (const char* name : {"一台", "二台", "三台"})
        channels.rows.push_back(ListRow{0, -1, 0, 0, 0, G(name)});
    auto list = unit(kChannels, unit_type::kListView, kFrame, encode(channels),
                     {{0, hRowChanged}, {-1, hListPress}, {-9, hListKey}},
                     unit_flag::kVisible | unit_flag::kTabStop);
    list.cursor = kCursorHand;
    list.tag = G("标记");
    units.push_back(list);
    units.push_back(
        unit(kMenu, unit_type::kOutlookBar, kFrame, encode(OutlookBarData{}), {{1, hGroupOpened}}));

    LabelData label;
    label.caption = G("星期一");
    label.textColour = 0x808000;
    units.push_back(unit(kLabel, unit_type::kLabel, 0, encode(label), {{-1, hLabelPress}}));

    SliderBarData slider;
    slider.minimum = 1;
    slider.maximum = 7;
    slider.position = 1;
    units.push_back(unit(kSlider, unit_type::kSliderBar, 0, encode(slider), {},
                         unit_flag::kVisible | unit_flag::kDisabled));

    StatusBarData status;
    status.parts = {{400, 0, -1, G("当前状态:"), {}},
                    {150, 0, -1, {}, {}},
                    {200, 0, -1, G("版本"), {}},
                    {50, 0, -1, {}, {}}};
    units.push_back(unit(kStatus, unit_type::kStatusBar, 0, encode(status)));

    HtmlViewerData viewer;
    viewer.startAddress = "http://127.0.0.1:8610/soft/down/a1.html";
    units.push_back(unit(kViewer, unit_type::kHtmlViewer, 0, encode(viewer)));

    ListViewData program;
    program.selectWithFocus = 1;
    program.columns.push_back(ListColumn{0, -1, 0, 70, G("播出时间")});
    program.columns.push_back(ListColumn{0, -1, 0, 437, G("节目预告")});
    units.push_back(unit(kProgram, unit_type::kListView, 0, encode(program)));

    for (const auto& u : units)
        if (u.parent == kFrame) units[1].children.push_back(u.id);

    WindowTemplate t;
    t.windows.push_back(WindowEntry{kWin, {}, {}, std::move(units)});
    return t;
}

struct Call {
    std::int32_t handler;
    rt::ControlRef source;
    std::vector<std::int32_t> args;
};

// Owns a headless backend and a runtime over the small window. Handlers log
// their calls; `returns` sets what a handler answers; `actions` run inside it.
struct Harness {
    rt::HeadlessBackend backend{rt::HeadlessBackend::Options{true, {}, true}};
    std::vector<Call> calls;
    std::map<std::int32_t, std::optional<std::int32_t>> returns;
    std::map<std::int32_t, std::function<void(rt::Runtime&)>> actions;
    std::unique_ptr<rt::Runtime> runtime;

    explicit Harness(rt::WindowTemplate t = smallTemplate()) {
        std::vector<rt::Handler> table;
        for (std::int32_t h = 0; h < kHandlerCount; ++h)
            table.push_back(
                [this, h](rt::Runtime& r, rt::EventArgs args) -> std::optional<std::int32_t> {
                    calls.push_back(Call{h, r.currentEventSource().value_or(rt::ControlRef{}),
                                         std::vector<std::int32_t>(args.begin(), args.end())});
                    if (auto a = actions.find(h); a != actions.end() && a->second) a->second(r);
                    auto v = returns.find(h);
                    return v == returns.end() ? std::nullopt : v->second;
                });
        runtime = std::make_unique<rt::Runtime>(std::move(t), std::move(table), backend);
    }
    rt::Runtime& rt() { return *runtime; }
    void load() { runtime->loadStartWindow(kWin); }
    std::size_t count(std::int32_t handler) const {
        std::size_t n = 0;
        for (const auto& c : calls) n += c.handler == handler;
        return n;
    }
    static rt::ControlRef ref(std::uint32_t unit) { return rt::ControlRef{kWin, unit}; }
    const rt::ListView& list(std::uint32_t unit) {
        return *runtime->control(ref(unit))->as<rt::ListView>();
    }
};

}  // namespace small

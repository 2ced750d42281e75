// Runtime: construction, window loading, the message loop and the fatal report.
#include "runtime/window/runtime.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "runtime/values/gbk.h"
#include "runtime/window/fatal_report.h"
#include "runtime/window/template/template_codec.h"
#include "runtime/window/template/type_data.h"

namespace rt {

Runtime::Runtime(std::span<const std::uint8_t> templateBlock, std::vector<Handler> handlers,
                 Backend& backend)
    : handlers_(std::move(handlers)), backend_(backend) {
    backend_.attach(*this);
    TemplateReadResult read = readTemplate(templateBlock);
    if (!read.value) fatal(std::nullopt, gbk(kTemplateLoadError));
    for (auto& entry : read.value->windows) {
        Window& w = windows_.emplace_back();
        w.id = entry.id;
        for (auto& rec : entry.units) w.units.push_back(Unit{std::move(rec), nullptr});
    }
}

Runtime::Runtime(WindowTemplate tpl, std::vector<Handler> handlers, Backend& backend)
    : Runtime(writeTemplate(tpl), std::move(handlers), backend) {}

Runtime::~Runtime() {
    backend_.detach();
}

Runtime::Window* Runtime::findWindow(std::uint32_t id) {
    for (auto& w : windows_)
        if (w.id == id) return &w;
    return nullptr;
}

const Runtime::Window* Runtime::findWindow(std::uint32_t id) const {
    return const_cast<Runtime*>(this)->findWindow(id);
}

Runtime::Unit* Runtime::findUnit(Window& w, std::uint32_t unitId) {
    if (w.units.empty()) return nullptr;
    if (unitId == 0) return &w.units.front();
    for (auto& u : w.units)
        if (u.record.id == unitId) return &u;
    return nullptr;
}

const Runtime::Unit* Runtime::findUnit(const Window& w, std::uint32_t unitId) {
    return findUnit(const_cast<Window&>(w), unitId);
}

Control* Runtime::live(ControlRef ref) {
    Window* w = findWindow(ref.window);
    if (!w || !w->loaded) return nullptr;
    Unit* u = findUnit(*w, ref.unit);
    return u ? u->live.get() : nullptr;
}

const Control* Runtime::control(ControlRef ref) const {
    return const_cast<Runtime*>(this)->live(ref);
}

std::vector<const Control*> Runtime::controls(std::uint32_t windowId) const {
    std::vector<const Control*> out;
    if (const Window* w = findWindow(windowId))
        for (const auto& u : w->units)
            if (u.live) out.push_back(u.live.get());
    return out;
}

const UnitRecord* Runtime::record(ControlRef ref) const {
    const Window* w = findWindow(ref.window);
    if (!w) return nullptr;
    const Unit* u = findUnit(*w, ref.unit);
    return u ? &u->record : nullptr;
}

bool Runtime::windowLoaded(std::uint32_t windowId) const {
    const Window* w = findWindow(windowId);
    return w && w->loaded;
}

std::unique_ptr<Control> Runtime::createControl(std::uint32_t windowId, const UnitRecord& rec) {
    auto c = std::make_unique<Control>();
    c->window = windowId;
    c->id = rec.id;
    c->type = rec.type;
    c->parent = rec.parent;
    c->left = rec.left;
    c->top = rec.top;
    c->width = rec.width;
    c->height = rec.height;
    c->visible = (rec.flags & unit_flag::kVisible) != 0;
    c->disabled = (rec.flags & unit_flag::kDisabled) != 0;
    c->tabStop = (rec.flags & unit_flag::kTabStop) != 0;
    c->cursor = rec.cursor;

    const ByteView data(rec.typeData);
    bool ok = true;
    auto take = [&](auto decoded, auto make) {
        if (decoded)
            c->model = make(std::move(*decoded));
        else
            ok = false;
    };
    auto same = [](auto d) { return d; };
    switch (rec.type) {
        case unit_type::kWindow: take(decodeWindowData(data), same); break;
        case unit_type::kGroupBox: take(decodeGroupBoxData(data), same); break;
        case unit_type::kLabel: take(decodeLabelData(data), same); break;
        case unit_type::kSliderBar:
            take(decodeSliderBarData(data), [](SliderBarData d) { return SliderBar(d); });
            break;
        case unit_type::kStatusBar:
            take(decodeStatusBarData(data),
                 [](StatusBarData d) { return StatusBar(std::move(d)); });
            break;
        case unit_type::kListView:
            take(decodeListViewData(data), [](ListViewData d) { return ListView(std::move(d)); });
            break;
        case unit_type::kOutlookBar:
            take(decodeOutlookBarData(data), [](OutlookBarData d) { return OutlookBar(d); });
            break;
        case unit_type::kHtmlViewer:
            // The viewer goes to its start address as soon as it exists.
            take(decodeHtmlViewerData(data), [](HtmlViewerData d) {
                return HtmlViewer{d, d.startAddress, {}, {}};
            });
            break;
        default: break;  // menu items and others carry no model
    }
    if (!ok) return nullptr;
    return c;
}

void Runtime::linkChildren(Window& w) {
    auto liveOf = [&](std::uint32_t id) -> Control* {
        Unit* u = findUnit(w, id);
        return u ? u->live.get() : nullptr;
    };
    Control* own = w.units.front().live.get();
    for (auto& u : w.units) {
        Control* c = u.live.get();
        if (!c) continue;
        for (std::uint32_t child : u.record.children)
            if (liveOf(child) && child != c->id) c->children.push_back(child);
    }
    // Units whose parent did not list them still belong to it (top-level
    // controls usually are listed nowhere).
    for (auto& u : w.units) {
        Control* c = u.live.get();
        if (!c || c == own) continue;
        Control* parent = c->parent == 0 ? own : liveOf(c->parent);
        if (!parent) {
            parent = own;
            c->parent = 0;
        }
        if (std::find(parent->children.begin(), parent->children.end(), c->id) ==
            parent->children.end())
            parent->children.push_back(c->id);
    }
}

void Runtime::loadStartWindow(std::uint32_t windowId) {
    Window* w = findWindow(windowId);
    if (!w || w->units.empty() || w->units.front().record.type != unit_type::kWindow)
        fatal(std::nullopt, gbk("载入启动窗口失败"));
    if (w->loaded) return;
    for (auto& u : w->units) {
        u.live = createControl(windowId, u.record);
        if (!u.live && u.record.type != unit_type::kMenuItem) {
            for (auto& v : w->units) v.live.reset();
            fatal(std::nullopt, gbk("载入启动窗口失败"));
        }
    }
    linkChildren(*w);
    w->loaded = true;
    for (auto& u : w->units)
        if (u.live) backend_.controlCreated(*u.live);
    raiseEvent(ControlRef{windowId, w->units.front().record.id}, event::kCreated);
}

void Runtime::destroyWindow(Window& w) {
    if (!w.loaded) return;
    w.loaded = false;
    if (focus_ && focus_->window == w.id) {
        focus_.reset();
        backend_.focusChanged(focus_);
    }
    for (auto& u : w.units)
        if (u.live) destroyed_.push_back(std::move(u.live));
    backend_.windowDestroyed(w.id);
}

void Runtime::userCloseWindow(std::uint32_t windowId) {
    Window* w = findWindow(windowId);
    if (!w || !w->loaded) return;
    destroyWindow(*w);
    const bool anyLoaded =
        std::any_of(windows_.begin(), windows_.end(), [](const Window& x) { return x.loaded; });
    if (!anyLoaded && loopEntered_) backend_.postQuit(0);
}

void Runtime::normalEnd() {
    for (auto& w : windows_) destroyWindow(w);
    if (!exitRoutineRan_) {
        exitRoutineRan_ = true;
        if (exitRoutine_) exitRoutine_();
    }
}

std::optional<int> Runtime::runMessageLoop() {
    loopEntered_ = true;
    const bool anyLoaded =
        std::any_of(windows_.begin(), windows_.end(), [](const Window& x) { return x.loaded; });
    int code = 0;
    if (anyLoaded) {
        std::optional<int> quit = backend_.runLoop();
        if (!quit) return std::nullopt;
        code = *quit;
    }
    normalEnd();
    return code;
}

void Runtime::processPendingMessages() {
    if (reportingFatal_) return;
    backend_.processPendingMessages();
}

bool Runtime::waitForWork(const std::function<bool()>& finished) {
    if (reportingFatal_) return false;
    return backend_.waitForWork(finished);
}

void Runtime::startTimer(std::chrono::milliseconds delay, std::function<void(Runtime&)> tick) {
    if (reportingFatal_) return;
    backend_.postTimer(backend_.now() + delay, std::move(tick));
}

void Runtime::fatal(std::optional<std::int32_t> number, const Text& message) {
    // A second error while the first is shown only ends the process sooner.
    if (!reportingFatal_) {
        reportingFatal_ = true;
        // Out of memory for the box, or even for the text: stderr still hears.
        try {
            const Text report = formatFatalReport(number, message);
            try {
                backend_.showFatalReport(report);
            } catch (...) {
                const std::string text = toUtf8(report);
                std::fwrite(text.data(), 1, text.size(), stderr);
            }
        } catch (...) {
            static const char kPlain[] = "运行时出错!\n";
            std::fwrite(kPlain, 1, sizeof kPlain - 1, stderr);
        }
    }
    std::fflush(nullptr);
    std::_Exit(-1);  // the exit routine deliberately does not run
}

}  // namespace rt

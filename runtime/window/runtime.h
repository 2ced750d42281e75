// rt::Runtime: the window frame a program is written against.
//
// How a program uses it:
//
//   rt::HeadlessBackend backend;                       // or the Qt backend
//   rt::Runtime rt(templateBlock, handlers, backend);  // the program's embedded block
//   rt.setExitRoutine([&] { releaseGlobals(); });
//   rt.loadStartWindow(startWindowId);                 // runs the created handler
//   rt.runMessageLoop();                               // until the window closes
//
// `handlers` is the program's handler table: the template binds (unit, event) to
// an index into it. A handler gets the runtime and the event's argument words
// and may return a value; returning 0 (false) from a common mouse or key event
// (-1..-12) suppresses the control's own processing of that input.
//
// Controls are named by ControlRef{window id, unit id}; unit 0 is the window's
// own unit. Properties are read and written by index (readProperty /
// writeProperty, typed values); commands are the methods below. Commands that
// change a list's focus or the roll-up menu's current group raise the event at
// once, inside the call. Errors the program cannot recover from end it through
// fatal(): the report is shown, then the process exits with -1 without the
// exit routine.
//
// Backends deliver user input through the user* methods; tests read the whole
// state through control(), controls() and record().
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "runtime/window/backend.h"
#include "runtime/window/control.h"
#include "runtime/window/property_index.h"
#include "runtime/window/property_value.h"
#include "runtime/window/template/window_template.h"
#include "runtime/window/unit_types.h"

namespace rt {

class Runtime;
using EventArgs = std::span<const std::int32_t>;
using Handler = std::function<std::optional<std::int32_t>(Runtime&, EventArgs)>;

struct EventOutcome {
    bool handled = false;               // a handler ran
    std::optional<std::int32_t> value;  // what it returned, if anything
};

class Runtime {
  public:
    // Reads the template block; one that cannot be read is the fatal report
    // "载入窗口模板数据段出错!".
    Runtime(std::span<const std::uint8_t> templateBlock, std::vector<Handler> handlers,
            Backend& backend);
    Runtime(WindowTemplate tpl, std::vector<Handler> handlers, Backend& backend);
    ~Runtime();
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    // --- life cycle
    void setExitRoutine(std::function<void()> routine) { exitRoutine_ = std::move(routine); }
    void loadStartWindow(std::uint32_t windowId);
    // Runs until the last window is closed, then destroys the windows and runs
    // the exit routine once; returns the quit code. nullopt when the backend's
    // queue ran dry first (headless), leaving everything as it is.
    std::optional<int> runMessageLoop();
    void processPendingMessages();
    // Backend::waitForWork: false when a window was closed meanwhile (or the
    // fatal report is under way), so the work should be given up.
    bool waitForWork(const std::function<bool()>& finished);
    // Runs `tick` once after `delay`, dispatched like a message (Backend::postTimer).
    void startTimer(std::chrono::milliseconds delay, std::function<void(Runtime&)> tick);
    [[noreturn]] void fatal(std::optional<std::int32_t> number, const Text& message);
    Backend& backend() { return backend_; }

    // --- properties by index: CommonProperty (0..7) for every unit, 8 and up
    // by type (LabelProperty, ListViewProperty ...; see property_index.h)
    PropertyValue readProperty(ControlRef ref, std::int32_t index, std::int32_t arrayIndex = -1);
    void writeProperty(ControlRef ref, std::int32_t index, const PropertyValue& value,
                       std::int32_t arrayIndex = -1);
    template <PropertyName P>
    PropertyValue readProperty(ControlRef ref, P property, std::int32_t arrayIndex = -1) {
        return readProperty(ref, propertyIndex(property), arrayIndex);
    }
    template <PropertyName P>
    void writeProperty(ControlRef ref, P property, const PropertyValue& value,
                       std::int32_t arrayIndex = -1) {
        writeProperty(ref, propertyIndex(property), value, arrayIndex);
    }

    // --- ListView commands
    std::int32_t listInsertRow(ControlRef list, const InsertRowArgs& args = {});
    void listDeleteAllRows(ControlRef list);
    Text listCellText(ControlRef list, std::int32_t row, std::optional<std::int32_t> column = {});
    bool listSetCellText(ControlRef list, std::int32_t row, std::optional<std::int32_t> column,
                         std::optional<Text> text);
    void listSelectRow(ControlRef list, std::int32_t row);
    void listSetColumnTitle(ControlRef list, std::int32_t column, std::optional<Text> title);
    // A display mark on a row (-1: none), and scrolling a row into view;
    // neither selects nor raises anything.
    void listSetMarkedRow(ControlRef list, std::int32_t row);
    void listShowRow(ControlRef list, std::int32_t row);
    // --- OutlookBar commands
    bool outlookAddGroup(ControlRef bar, const Text& title, ControlRef content,
                         std::optional<std::int32_t> position = {},
                         std::optional<std::int32_t> image = {});
    Text outlookGroupTitle(ControlRef bar, std::int32_t group);
    // Takes a group out of the menu; its content stays in the bar, hidden,
    // and may be added again. The current group is opened again (raising
    // its event) as when a group is added.
    bool outlookRemoveGroup(ControlRef bar, std::int32_t group);
    // --- StatusBar command
    void statusSetPartText(ControlRef bar, std::int32_t part, std::optional<Text> text);
    // --- any control
    bool copyControl(const TypedControlRef& source, TypedControlRef& destination);
    void setFocus(ControlRef ref);

    // --- events
    EventOutcome raiseEvent(ControlRef source, std::int32_t event, EventArgs args = {});
    std::optional<ControlRef> currentEventSource() const { return eventSource_; }

    // --- user input, delivered by a backend. Each raises the common event
    // first and lets the control process the input unless a handler said no.
    void userMousePress(ControlRef ref, std::int32_t x, std::int32_t y, std::int32_t keys = 0);
    void userMouseRelease(ControlRef ref, std::int32_t x, std::int32_t y, std::int32_t keys = 0);
    // The second press of a double click (the first came as a press); on a
    // list's row it activates the row (event 1), as Enter does.
    void userDoubleClick(ControlRef ref, std::int32_t x, std::int32_t y, std::int32_t keys = 0);
    void userClickRow(ControlRef list, std::int32_t row, std::int32_t keys = 0);
    void userClickGroupHeader(ControlRef bar, std::int32_t group);
    void userKey(ControlRef ref, std::int32_t keyCode, std::int32_t keys = 0);  // press + release
    std::int32_t userCharacter(ControlRef ref, std::int32_t character);         // 0 when suppressed
    void userCloseWindow(std::uint32_t windowId);

    // --- state, read-only
    const Control* control(ControlRef ref) const;
    std::vector<const Control*> controls(std::uint32_t windowId) const;  // record order
    const UnitRecord* record(ControlRef ref) const;
    bool windowLoaded(std::uint32_t windowId) const;
    std::optional<ControlRef> focus() const { return focus_; }
    // Where a mouse press lands on a row or a group header (client coordinates).
    static std::pair<std::int32_t, std::int32_t> rowPoint(const Control& list, std::int32_t row);
    static std::pair<std::int32_t, std::int32_t> headerPoint(const Control& bar,
                                                             std::int32_t group);

  private:
    struct Unit {
        UnitRecord record;
        std::unique_ptr<Control> live;
    };
    struct Window {
        std::uint32_t id = 0;
        std::deque<Unit> units;  // record order; deque keeps references stable
        bool loaded = false;
    };

    Window* findWindow(std::uint32_t id);
    const Window* findWindow(std::uint32_t id) const;
    static Unit* findUnit(Window& w, std::uint32_t unitId);
    static const Unit* findUnit(const Window& w, std::uint32_t unitId);
    Control* live(ControlRef ref);
    template <class M>
    M* liveModel(ControlRef ref) {
        Control* c = live(ref);
        return c ? c->as<M>() : nullptr;
    }
    void changed(Control& c, Change what) { backend_.controlChanged(c, what); }

    std::unique_ptr<Control> createControl(std::uint32_t windowId, const UnitRecord& rec);
    void linkChildren(Window& w);
    void destroyWindow(Window& w);
    void normalEnd();
    void openGroup(ControlRef bar, std::int32_t group);
    void moveFocus(std::optional<ControlRef> to);
    void pressProcessing(ControlRef ref, Control& c, std::int32_t x, std::int32_t y);
    static bool suppressed(const EventOutcome& o) { return o.value && *o.value == 0; }

    std::vector<Handler> handlers_;
    Backend& backend_;
    std::deque<Window> windows_;
    std::vector<std::unique_ptr<Control>> destroyed_;  // kept so no pointer dangles mid-handler
    std::function<void()> exitRoutine_;
    bool exitRoutineRan_ = false;
    bool loopEntered_ = false;
    bool reportingFatal_ = false;
    std::optional<ControlRef> eventSource_;
    std::optional<ControlRef> focus_;
};

}  // namespace rt

// rt::Backend on Qt 6 Widgets: the runtime's windows as real widgets.
//
//   QApplication app(argc, argv);
//   rt::QtBackend backend;
//   rt::Runtime runtime(templateBlock, handlers, backend);
//   runtime.loadStartWindow(startWindowId);       // creates and shows the window
//   return runtime.runMessageLoop().value_or(0);  // until the window is closed
//
// The runtime's models hold all state. A control change made by the program
// is copied into its widget with the widget's signals blocked; user input
// (mouse, keys, closing the window) is turned into the runtime's user* calls,
// which raise the events and change the models; the widgets then show the
// result. So a change made by the program never comes back as input.
//
// Needs a QApplication, and is used on its thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include <QPointer>
#include <QWidget>

#include "runtime/window/backend.h"

class QAbstractEventDispatcher;
class QEventLoop;

namespace rt {

namespace qt {
class ControlWidget;
class InputCounter;
class InputHold;
}  // namespace qt

class QtBackend : public Backend {
  public:
    QtBackend();
    ~QtBackend() override;
    QtBackend(const QtBackend&) = delete;
    QtBackend& operator=(const QtBackend&) = delete;

    // The widget that shows a control (unit 0: the window), or null.
    QWidget* widget(ControlRef ref) const;
    QWidget* window(std::uint32_t windowId) const { return widget(ControlRef{windowId, 0}); }

    // The skin's system colours (index -> 0x00BBGGRR, COLOR_* numbering)
    // become the palette of every window, now and later.
    void setSystemColours(const std::map<int, std::uint32_t>& colours);
    // Follows a source of system colours that may change at any time (a skin
    // attached inside a handler): whenever messages are processed and before
    // a window is first shown, a new generation is applied.
    void watchSystemColours(std::function<std::uint64_t()> generation,
                            std::function<std::map<int, std::uint32_t>()> colours);

    // How long a page viewer waits before it fetches its page again, for the
    // interval the page asked for (tests make it shorter).
    std::chrono::milliseconds pageReloadDelay(std::chrono::seconds asked) const;
    void setPageReloadDelay(std::function<std::chrono::milliseconds(std::chrono::seconds)> delay) {
        reloadDelay_ = std::move(delay);
    }

    // For the widgets: the runtime that takes input, or null when none is
    // attached or a fatal report is being shown.
    Runtime* inputTarget() const;
    const Control* control(ControlRef ref) const;
    // True while the backend itself changes widgets: focus moves Qt makes
    // then (a hidden focused widget passes it on) are no user input.
    bool syncing() const { return syncDepth_ > 0; }

    // Backend
    void attach(Runtime& runtime) override;
    void detach() override;
    void controlCreated(const Control& control) override;
    void controlChanged(const Control& control, Change what) override;
    void focusChanged(std::optional<ControlRef> focus) override;
    void windowDestroyed(std::uint32_t windowId) override;
    void postQuit(int exitCode) override;
    void processPendingMessages() override;
    std::optional<int> runLoop() override;
    Clock::time_point now() override { return Clock::now(); }
    bool waitForMessage(Clock::time_point deadline) override;
    bool waitForWork(const std::function<bool()>& finished) override;
    void wake() override;
    void postTimer(Clock::time_point due, std::function<void(Runtime&)> tick) override;
    void showFatalReport(const Text& report) override;

  private:
    using Key = std::pair<std::uint32_t, std::uint32_t>;  // (window id, unit id)
    static Key keyOf(ControlRef ref) { return {ref.window, ref.unit}; }
    qt::ControlWidget* entry(ControlRef ref) const;
    void placeInParent(const Control& c);
    void restackChildren(const Control& parent);
    void pollSystemColours();
    void deleteClosedWindows();

    Runtime* runtime_ = nullptr;
    std::map<Key, QPointer<QWidget>> widgets_;
    std::map<Key, qt::ControlWidget*> controls_;  // same widgets, as controls
    std::vector<QPointer<QWidget>> closed_;       // destroyed windows, hidden until the loop ends
    std::map<std::uint32_t, std::uint32_t> windowUnit_;  // window id -> its own unit id
    std::map<int, std::uint32_t> systemColours_;
    std::function<std::uint64_t()> colourGeneration_;
    std::function<std::map<int, std::uint32_t>()> colourSource_;
    std::optional<std::uint64_t> appliedGeneration_;
    std::function<std::chrono::milliseconds(std::chrono::seconds)> reloadDelay_;
    std::unique_ptr<qt::InputCounter> inputs_;
    std::unique_ptr<qt::InputHold> held_;   // after inputs_: its filter runs first
    QAbstractEventDispatcher* dispatcher_;  // the GUI thread's, woken from others
    std::uint64_t windowsDestroyed_ = 0;
    std::unique_ptr<QObject> timers_;  // pending timers die with the backend
    QEventLoop* loop_ = nullptr;
    std::optional<int> quitCode_;  // the quit message, while it is queued
    bool reportingFatal_ = false;
    int syncDepth_ = 0;
};

}  // namespace rt

#include "runtime/backend/qt/qt_backend.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <thread>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTimer>

#include "runtime/backend/qt/qt_application.h"
#include "runtime/backend/qt/qt_html_viewer.h"
#include "runtime/backend/qt/qt_input_counter.h"
#include "runtime/backend/qt/qt_input_hold.h"
#include "runtime/backend/qt/qt_list_view.h"
#include "runtime/backend/qt/qt_outlook_bar.h"
#include "runtime/backend/qt/qt_simple_widgets.h"
#include "runtime/backend/qt/qt_style.h"
#include "runtime/backend/qt/qt_text.h"
#include "runtime/values/gbk.h"
#include "runtime/window/runtime.h"

namespace rt {

using qt::ControlWidget;

namespace {
struct SyncScope {
    explicit SyncScope(int& depth) : depth_(depth) { ++depth_; }
    ~SyncScope() { --depth_; }
    SyncScope(const SyncScope&) = delete;
    SyncScope& operator=(const SyncScope&) = delete;
    int& depth_;
};
}  // namespace

QtBackend::QtBackend()
    : inputs_(std::make_unique<qt::InputCounter>()),
      held_(std::make_unique<qt::InputHold>()),
      dispatcher_(QAbstractEventDispatcher::instance()),
      timers_(std::make_unique<QObject>()) {
    // Closing the last window ends the program through the runtime's quit
    // message, not by Qt on its own.
    QGuiApplication::setQuitOnLastWindowClosed(false);
}

QtBackend::~QtBackend() {
    // No widget may outlive the backend its input and painting go through.
    for (auto& [key, w] : widgets_)
        if (w && !w->parentWidget()) delete w.data();
    deleteClosedWindows();
}

void QtBackend::deleteClosedWindows() {
    for (auto& w : closed_) delete w.data();
    closed_.clear();
}

// A failed allocation in Qt's own dispatch becomes this runtime's report.
void QtBackend::attach(Runtime& runtime) {
    runtime_ = &runtime;
    if (QtApplication* app = QtApplication::instance()) app->setRuntime(&runtime);
}

void QtBackend::detach() {
    if (QtApplication* app = QtApplication::instance()) app->setRuntime(nullptr);
    runtime_ = nullptr;
}

std::chrono::milliseconds QtBackend::pageReloadDelay(std::chrono::seconds asked) const {
    if (reloadDelay_) return reloadDelay_(asked);
    return asked;
}

Runtime* QtBackend::inputTarget() const {
    return reportingFatal_ ? nullptr : runtime_;
}

const Control* QtBackend::control(ControlRef ref) const {
    return runtime_ ? runtime_->control(ref) : nullptr;
}

ControlWidget* QtBackend::entry(ControlRef ref) const {
    auto it = windowUnit_.find(ref.window);
    if (it != windowUnit_.end() && ref.unit == it->second) ref.unit = 0;
    auto w = widgets_.find(keyOf(ref));
    if (w == widgets_.end() || !w->second) return nullptr;
    return controls_.at(w->first);
}

QWidget* QtBackend::widget(ControlRef ref) const {
    ControlWidget* c = entry(ref);
    return c ? c->asWidget() : nullptr;
}

void QtBackend::controlCreated(const Control& c) {
    const bool isWindow = c.type == unit_type::kWindow;
    const ControlRef ref{c.window, isWindow ? 0u : c.id};
    if (isWindow) windowUnit_[c.window] = c.id;
    if (entry(ref)) return;
    const SyncScope scope(syncDepth_);

    // Until its parent exists (record order may name a child first) a control
    // waits inside the window's client area.
    QWidget* area = nullptr;
    if (ControlWidget* win = entry(ControlRef{c.window, 0})) area = win->childArea();

    ControlWidget* made = nullptr;
    switch (c.type) {
        case unit_type::kWindow: made = new qt::WindowWidget(*this, ref, c); break;
        case unit_type::kGroupBox: made = new qt::GroupBoxWidget(*this, ref, area); break;
        case unit_type::kLabel: made = new qt::LabelWidget(*this, ref, area); break;
        case unit_type::kSliderBar: made = new qt::SliderWidget(*this, ref, area); break;
        case unit_type::kStatusBar: made = new qt::StatusBarWidget(*this, ref, area); break;
        case unit_type::kListView: made = new qt::ListViewWidget(*this, ref, area); break;
        case unit_type::kOutlookBar: made = new qt::OutlookBarWidget(*this, ref, area); break;
        case unit_type::kHtmlViewer: made = new qt::HtmlViewerWidget(*this, ref, area); break;
        default: return;  // menu items and unknown units have nothing to show
    }
    QWidget* w = made->asWidget();
    widgets_[keyOf(ref)] = w;
    controls_[keyOf(ref)] = made;
    if (!systemColours_.empty() && isWindow)
        w->setPalette(qt::paletteWithSystemColours(w->palette(), systemColours_));

    if (c.cursor == kCursorHand) {
        w->setCursor(Qt::PointingHandCursor);
        if (auto* list = dynamic_cast<QAbstractScrollArea*>(w))
            list->viewport()->setCursor(Qt::PointingHandCursor);
    }
    w->setFocusPolicy(c.tabStop && c.type != unit_type::kOutlookBar ? Qt::StrongFocus
                                                                    : Qt::NoFocus);
    placeInParent(c);
    made->sync(c, Change::Other);
    made->applyGeometry(c);
    w->setEnabled(!c.disabled);
    // Children created earlier than their parent move in now.
    for (std::uint32_t child : c.children)
        if (const Control* k = control(ControlRef{c.window, child})) placeInParent(*k);
    restackChildren(c);

    if (isWindow) {
        // Shown once the message queue first runs, when its controls exist.
        QPointer<QWidget> win = w;
        QTimer::singleShot(0, w, [this, win] {
            pollSystemColours();
            if (win && !win->isVisible()) win->show();
        });
    } else {
        w->setVisible(c.visible);
    }
}

void QtBackend::placeInParent(const Control& c) {
    if (c.type == unit_type::kWindow) return;
    ControlWidget* self = entry(ControlRef{c.window, c.id});
    ControlWidget* parent = entry(ControlRef{c.window, c.parent});
    if (!self || !parent) return;
    QWidget* area = parent->childArea();
    QWidget* w = self->asWidget();
    if (w->parentWidget() != area) {
        const bool visible = c.visible;
        w->setParent(area);  // hides the widget
        self->applyGeometry(c);
        w->setVisible(visible);
    }
}

void QtBackend::restackChildren(const Control& parent) {
    // The first child is the top of the z-order: raise from the last one up.
    for (auto it = parent.children.rbegin(); it != parent.children.rend(); ++it)
        if (QWidget* w = widget(ControlRef{parent.window, *it})) w->raise();
}

void QtBackend::controlChanged(const Control& c, Change what) {
    ControlWidget* self = entry(ControlRef{c.window, c.type == unit_type::kWindow ? 0u : c.id});
    if (!self) return;
    QWidget* w = self->asWidget();
    const SyncScope scope(syncDepth_);
    const QSignalBlocker quiet(w);
    // A control handed to a roll-up menu changes its parent with any change.
    placeInParent(c);
    switch (what) {
        case Change::Geometry: self->applyGeometry(c); break;
        case Change::Visible:
            if (c.type != unit_type::kWindow) w->setVisible(c.visible);
            break;
        case Change::Disabled: w->setEnabled(!c.disabled); break;
        case Change::Children:
        case Change::Groups:
            for (std::uint32_t child : c.children)
                if (const Control* k = control(ControlRef{c.window, child})) placeInParent(*k);
            restackChildren(c);
            break;
        default: break;
    }
    self->sync(c, what);
}

void QtBackend::focusChanged(std::optional<ControlRef> focus) {
    const SyncScope scope(syncDepth_);
    if (focus) {
        if (QWidget* w = widget(*focus); w && w->focusPolicy() != Qt::NoFocus)
            w->setFocus(Qt::OtherFocusReason);
    } else if (QWidget* f = QApplication::focusWidget()) {
        f->clearFocus();
    }
}

void QtBackend::windowDestroyed(std::uint32_t windowId) {
    ++windowsDestroyed_;
    // The widgets may be in the middle of handling the input that closed the
    // window, with a nested message pump below them that would run a
    // deleteLater; they are hidden now and deleted when the loop has ended.
    const SyncScope scope(syncDepth_);
    for (auto it = widgets_.begin(); it != widgets_.end();) {
        if (it->first.first != windowId) {
            ++it;
            continue;
        }
        if (QWidget* w = it->second; w && !w->parentWidget()) {
            w->hide();
            closed_.emplace_back(w);
        }
        controls_.erase(it->first);
        it = widgets_.erase(it);
    }
    windowUnit_.erase(windowId);
}

void QtBackend::setSystemColours(const std::map<int, std::uint32_t>& colours) {
    for (const auto& [index, colour] : colours) systemColours_[index] = colour & 0xFFFFFFu;
    for (auto& [key, w] : widgets_)
        if (w && !w->parentWidget())
            w->setPalette(qt::paletteWithSystemColours(w->palette(), systemColours_));
}

void QtBackend::watchSystemColours(std::function<std::uint64_t()> generation,
                                   std::function<std::map<int, std::uint32_t>()> colours) {
    colourGeneration_ = std::move(generation);
    colourSource_ = std::move(colours);
    appliedGeneration_.reset();
    pollSystemColours();
}

void QtBackend::pollSystemColours() {
    if (!colourGeneration_ || !colourSource_) return;
    const std::uint64_t g = colourGeneration_();
    if (appliedGeneration_ == g) return;
    appliedGeneration_ = g;
    setSystemColours(colourSource_());
}

// --- message queue

void QtBackend::postQuit(int exitCode) {
    quitCode_ = exitCode;
    if (loop_) loop_->exit(exitCode);
}

void QtBackend::processPendingMessages() {
    if (quitCode_) return;  // the quit message stays queued for the loop
    pollSystemColours();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

std::optional<int> QtBackend::runLoop() {
    if (!quitCode_) {
        pollSystemColours();
        QEventLoop loop;
        loop_ = &loop;
        loop.exec();
        loop_ = nullptr;
    }
    const int code = quitCode_.value_or(0);
    quitCode_.reset();
    deleteClosedWindows();
    return code;
}

bool QtBackend::waitForMessage(Clock::time_point deadline) {
    if (quitCode_) {
        // Nothing is dispatched past the quit message; just let the time pass.
        if (deadline != Clock::time_point::max()) std::this_thread::sleep_until(deadline);
        return false;
    }
    pollSystemColours();
    const std::uint64_t seen = inputs_->count();
    // Input already queued ends the wait at once (dispatched here).
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    for (;;) {
        if (inputs_->count() != seen || quitCode_) return true;
        const auto now = Clock::now();
        if (now >= deadline) return false;
        if (deadline != Clock::time_point::max()) {
            const auto ms = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
            wake.start(static_cast<int>(std::min<long long>(ms, INT_MAX)));
        }
        // Paints, timers and input are dispatched here while the wait lasts.
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

namespace {
// The busy pointer over every window of the application while a wait lasts.
struct BusyPointer {
    BusyPointer() { QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor)); }
    ~BusyPointer() { QGuiApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};
}  // namespace

bool QtBackend::waitForWork(const std::function<bool()>& finished) {
    if (quitCode_) return false;
    const std::uint64_t destroyedBefore = windowsDestroyed_;
    const BusyPointer busy;
    struct Holding {
        qt::InputHold& hold;
        bool done = false;
        ~Holding() { hold.end(!done); }
    } holding{*held_};
    held_->begin();
    for (;;) {
        if (finished()) {
            holding.done = true;
            return true;
        }
        if (windowsDestroyed_ != destroyedBefore || quitCode_) return false;
        pollSystemColours();
        // Paints, moves, timers and a close are dispatched here; input is held.
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

void QtBackend::wake() {
    if (dispatcher_) dispatcher_->wakeUp();
}

// --- timers and the fatal report

void QtBackend::postTimer(Clock::time_point due, std::function<void(Runtime&)> tick) {
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now());
    QTimer::singleShot(std::max(wait, std::chrono::milliseconds(0)), timers_.get(),
                       [this, tick = std::move(tick)] {
                           if (runtime_ && !reportingFatal_ && !quitCode_) tick(*runtime_);
                       });
}

void QtBackend::showFatalReport(const Text& report) {
    reportingFatal_ = true;  // no input reaches the runtime from here on
    const QString text = qt::toQString(report).remove(QLatin1Char('\r'));
    if (QGuiApplication::platformName() == QLatin1String("offscreen") ||
        !QApplication::instance()) {
        // Nobody could close a box on an invisible screen.
        const QByteArray utf8 = text.toUtf8();
        std::fwrite(utf8.constData(), 1, static_cast<std::size_t>(utf8.size()), stderr);
        std::fflush(stderr);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("错误"), text, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

}  // namespace rt

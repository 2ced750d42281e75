// What every widget showing a control shares: the control it shows, the way
// back to the runtime for input, and the copy of the model into the widget.
#pragma once

#include <cstdint>

#include <Qt>

#include "runtime/window/control.h"
#include "runtime/window/unit_types.h"

class QWidget;

namespace rt {
class QtBackend;
class Runtime;
}  // namespace rt

namespace rt::qt {

class ControlWidget {
  public:
    ControlWidget(QtBackend& backend, ControlRef ref) : backend_(backend), ref_(ref) {}
    virtual ~ControlWidget() = default;

    virtual QWidget* asWidget() = 0;
    // Shows the model's current state of the changed aspect. Type-specific
    // aspects only; geometry, visibility and enabling are done by the backend.
    virtual void sync(const Control& c, Change what) = 0;
    // Where the control's children lie (a group box's inside, the window's
    // client area); the widget itself by default.
    virtual QWidget* childArea() { return asWidget(); }
    // Puts the widget at the control's geometry (a docked status bar and the
    // top-level window place themselves their own way).
    virtual void applyGeometry(const Control& c);

    ControlRef ref() const { return ref_; }

  protected:
    Runtime* runtime() const;  // null when input must be dropped
    const Control* controlModel() const;
    // A focus the user moved (tab, click) is reported to the runtime; one the
    // program set is not.
    void noteFocusIn(Qt::FocusReason reason);

    QtBackend& backend_;
    ControlRef ref_;
};

// Windows' key-state bits (1 Ctrl, 2 Shift, 4 Alt) of Qt modifiers.
std::int32_t keyStateOf(Qt::KeyboardModifiers m);
// The virtual-key code of a Qt key, 0 for keys without one.
std::int32_t virtualKeyOf(int qtKey);

}  // namespace rt::qt

#include "runtime/backend/qt/qt_control_widget.h"

#include <QWidget>

#include "runtime/backend/qt/qt_backend.h"
#include "runtime/window/runtime.h"

namespace rt::qt {

void ControlWidget::applyGeometry(const Control& c) {
    asWidget()->setGeometry(c.left, c.top, c.width, c.height);
}

Runtime* ControlWidget::runtime() const {
    return backend_.inputTarget();
}

const Control* ControlWidget::controlModel() const {
    return backend_.control(ref_);
}

void ControlWidget::noteFocusIn(Qt::FocusReason reason) {
    if (backend_.syncing()) return;
    if (reason != Qt::MouseFocusReason && reason != Qt::TabFocusReason &&
        reason != Qt::BacktabFocusReason)
        return;
    Runtime* rt = runtime();
    if (rt && rt->focus() != ref_ && rt->control(ref_)) rt->setFocus(ref_);
}

std::int32_t keyStateOf(Qt::KeyboardModifiers m) {
    std::int32_t k = 0;
    if (m & Qt::ControlModifier) k |= key_state::kCtrl;
    if (m & Qt::ShiftModifier) k |= key_state::kShift;
    if (m & Qt::AltModifier) k |= key_state::kAlt;
    return k;
}

std::int32_t virtualKeyOf(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return 0x41 + (key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return 0x30 + (key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 0x70 + (key - Qt::Key_F1);
    switch (key) {
        case Qt::Key_Backspace: return 0x08;
        case Qt::Key_Tab: return 0x09;
        case Qt::Key_Return:
        case Qt::Key_Enter: return 0x0D;
        case Qt::Key_Shift: return 0x10;
        case Qt::Key_Control: return 0x11;
        case Qt::Key_Alt: return 0x12;
        case Qt::Key_Escape: return 0x1B;
        case Qt::Key_Space: return 0x20;
        case Qt::Key_PageUp: return 0x21;
        case Qt::Key_PageDown: return 0x22;
        case Qt::Key_End: return 0x23;
        case Qt::Key_Home: return 0x24;
        case Qt::Key_Left: return 0x25;
        case Qt::Key_Up: return 0x26;
        case Qt::Key_Right: return 0x27;
        case Qt::Key_Down: return 0x28;
        case Qt::Key_Insert: return 0x2D;
        case Qt::Key_Delete: return 0x2E;
        default: return 0;
    }
}

}  // namespace rt::qt

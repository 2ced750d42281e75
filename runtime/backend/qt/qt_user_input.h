// What counts as the user's input: every event of the mouse, keyboard,
// touch screen, tablet and touch-pad gestures, pointer moves included. A
// message wait wakes on any of them, as a wait for all input does; a wait
// for another thread's work holds all of them, since letting one kind
// through would let it overtake input held before it (a move before the
// press it followed).
#pragma once

#include <QEvent>

namespace rt::qt {

inline bool isUserInput(const QEvent& e) {
    switch (e.type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::NativeGesture: return true;
        default: return false;
    }
}

}  // namespace rt::qt

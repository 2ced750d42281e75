#include "runtime/backend/qt/qt_input_counter.h"

#include <QCoreApplication>
#include <QEvent>

namespace rt::qt {

InputCounter::InputCounter() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

InputCounter::~InputCounter() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

bool InputCounter::isInput(const QEvent& e) {
    switch (e.type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::Close:
        case QEvent::TouchBegin:
        case QEvent::TouchEnd: return true;
        default: return false;
    }
}

bool InputCounter::eventFilter(QObject*, QEvent* e) {
    // One event may reach the filter once per receiver it passes through
    // (the native window, then the widget), which only over-counts.
    if (isInput(*e)) ++count_;
    return false;
}

}  // namespace rt::qt

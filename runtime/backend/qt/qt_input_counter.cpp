#include "runtime/backend/qt/qt_input_counter.h"

#include <QCoreApplication>
#include <QEvent>

#include "runtime/backend/qt/qt_user_input.h"

namespace rt::qt {

InputCounter::InputCounter() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

InputCounter::~InputCounter() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

bool InputCounter::eventFilter(QObject*, QEvent* e) {
    // One event may reach the filter once per receiver it passes through
    // (the native window, then the widget), which only over-counts. A close
    // is no input, but the wait must see the window go at once.
    if (isUserInput(*e) || e->type() == QEvent::Close) ++count_;
    return false;
}

}  // namespace rt::qt

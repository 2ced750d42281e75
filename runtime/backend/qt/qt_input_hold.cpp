#include "runtime/backend/qt/qt_input_hold.h"

#include <QCoreApplication>
#include <QEvent>

#include "runtime/backend/qt/qt_user_input.h"

namespace rt::qt {

InputHold::InputHold() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

InputHold::~InputHold() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

void InputHold::begin() {
    ++holding_;
}

void InputHold::end(bool dropHeld) {
    if (--holding_ > 0) return;
    if (dropHeld)
        held_.clear();
    else if (!held_.empty())
        scheduleDelivery();
}

bool InputHold::eventFilter(QObject* watched, QEvent* e) {
    if (e == redelivering_ || (holding_ == 0 && held_.empty()) || !watched->isWindowType() ||
        !isUserInput(*e))
        return false;
    held_.push_back(Held{watched, std::unique_ptr<QEvent>(e->clone())});
    if (holding_ == 0) scheduleDelivery();
    return true;
}

void InputHold::scheduleDelivery() {
    if (deliveryQueued_) return;
    deliveryQueued_ = true;
    QMetaObject::invokeMethod(
        this, [this] { deliver(); }, Qt::QueuedConnection);
}

// One event at a time, each run to its end before the next: a handler that
// waits again holds the rest, and its own pump hands them on, as a blocked
// thread's queue would.
void InputHold::deliver() {
    deliveryQueued_ = false;
    while (holding_ == 0 && !held_.empty()) {
        Held next = std::move(held_.front());
        held_.pop_front();
        if (!next.receiver) continue;
        struct Passing {
            QEvent*& slot;
            QEvent* outer;
            ~Passing() { slot = outer; }
        } passing{redelivering_, redelivering_};
        redelivering_ = next.event.get();
        // notify, not sendEvent: the event stays spontaneous, as the window
        // system's own (focus follows a click only for those).
        QCoreApplication::instance()->notify(next.receiver, next.event.get());
    }
}

}  // namespace rt::qt

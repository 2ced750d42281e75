// Holds the user's input while the GUI thread waits for another thread's
// work, and hands it on afterwards in the order it came, as if the thread had
// been blocked with the input queued behind it.
//
// Input is taken where the window system delivers it, at the top-level
// QWindow, before Qt has done anything with it (no focus moved, no button
// pressed), and is handed on to the same window as the same spontaneous
// event. A window's close, paints, moves and resizes are never held. Once the
// wait is over, input that arrives while older input is still waiting queues
// behind it, so the order holds across the hand-over.
#pragma once

#include <deque>
#include <memory>

#include <QObject>
#include <QPointer>

class QEvent;

namespace rt::qt {

class InputHold : public QObject {
  public:
    InputHold();  // filters the whole application
    ~InputHold() override;

    // Input is held from begin() to the matching end(). end(false) hands the
    // held input on through the event queue; end(true) drops it (the window
    // it was meant for has closed).
    void begin();
    void end(bool dropHeld);
    std::size_t heldCount() const { return held_.size(); }

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    struct Held {
        QPointer<QObject> receiver;
        std::unique_ptr<QEvent> event;
    };
    void scheduleDelivery();
    void deliver();

    int holding_ = 0;
    std::deque<Held> held_;
    QEvent* redelivering_ = nullptr;  // passes the filter once
    bool deliveryQueued_ = false;
};

}  // namespace rt::qt

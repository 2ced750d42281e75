// Notes every user input event the application delivers, and every window's
// close, so a wait can end as soon as either arrives (the way a message wait
// wakes on queued input and on a message sent to the window).
#pragma once

#include <cstdint>

#include <QObject>

namespace rt::qt {

class InputCounter : public QObject {
  public:
    InputCounter();  // filters the whole application
    ~InputCounter() override;
    std::uint64_t count() const { return count_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    std::uint64_t count_ = 0;
};

}  // namespace rt::qt

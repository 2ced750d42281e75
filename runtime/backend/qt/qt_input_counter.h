// Notes every user input event the application delivers, so a wait can end
// as soon as input arrives (the way a message wait wakes on queued input).
#pragma once

#include <cstdint>

#include <QObject>

namespace rt::qt {

class InputCounter : public QObject {
  public:
    InputCounter();  // filters the whole application
    ~InputCounter() override;
    std::uint64_t count() const { return count_; }
    static bool isInput(const QEvent& e);

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    std::uint64_t count_ = 0;
};

}  // namespace rt::qt

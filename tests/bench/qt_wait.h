// The Qt benchmarks' wait: the window's event loop runs while a condition
// is awaited, as the guide's own waits let it run.
#pragma once

#include <QApplication>
#include <QThread>
#include <chrono>
#include <functional>

namespace bench {

// Runs Qt's events until `done` holds; false once `seconds` have passed.
inline bool waitUntil(const std::function<bool()>& done, int seconds = 60) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    return true;
}

}  // namespace bench

#include "qt_test_app.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QTest>

#include "runtime/backend/qt/qt_application.h"

namespace qttest {

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        QTest::qWait(10);
    }
    return true;
}

}  // namespace qttest

// The application exists before any fixture (a backend needs it) and goes
// before the statics Qt keeps.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    rt::QtApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

#include "qt_test_app.h"

#include <QApplication>
#include <QTest>

namespace qttest {

void ensureApplication() {
    if (QApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tvguide_qt_test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        QTest::qWait(10);
    }
    return true;
}

}  // namespace qttest

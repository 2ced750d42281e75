#include "runtime/backend/qt/qt_application.h"

#include <new>

#include "runtime/values/allocation_failure.h"
#include "runtime/window/fatal_report.h"
#include "runtime/window/runtime.h"

namespace rt {

QtApplication::QtApplication(int& argc, char** argv) : QApplication(argc, argv) {}

QtApplication* QtApplication::instance() {
    return dynamic_cast<QtApplication*>(QCoreApplication::instance());
}

bool QtApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::bad_alloc& failure) {
        const std::size_t bytes = failedAllocationSize(failure);
        if (runtime_) runtime_->fatal(std::nullopt, allocationFailureMessage(bytes));
        exitOnAllocationFailure(bytes);
    }
}

}  // namespace rt

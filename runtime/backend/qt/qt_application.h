// The application object of a program on the Qt backend.
//
// Qt does not carry exceptions through its event loop. An allocation that
// fails in Qt's own dispatch (a paint, a timer, a queued call such as the
// page viewer's result; the runtime's handlers report their own) ends the
// program here: with the fatal report of the runtime attached to a QtBackend
// (the box, on a display) once there is one, else with the report on stderr.
#pragma once

#include <QApplication>

namespace rt {

class Runtime;

class QtApplication : public QApplication {
  public:
    QtApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // The runtime whose fatal report a failed allocation becomes; null:
    // stderr. A QtBackend sets it as a runtime attaches and clears it as it
    // detaches.
    void setRuntime(Runtime* runtime) { runtime_ = runtime; }
    static QtApplication* instance();  // null when the application is another kind

  private:
    Runtime* runtime_ = nullptr;
};

}  // namespace rt

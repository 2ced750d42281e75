// The QApplication every Qt test runs in (offscreen unless a platform is
// chosen), and a wait that keeps the event loop turning.
#pragma once

#include <chrono>
#include <functional>

namespace qttest {

// Creates the application on first use; it lives until the program ends.
void ensureApplication();

// Processes events until `done` holds or `limit` has passed; returns `done()`.
bool waitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::milliseconds(5000));

}  // namespace qttest

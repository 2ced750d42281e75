// The Qt tests run inside one QApplication made by their main (offscreen
// unless a platform is chosen), and wait with the event loop turning.
#pragma once

#include <chrono>
#include <functional>

namespace qttest {

// Processes events until `done` holds or `limit` has passed; returns `done()`.
bool waitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::milliseconds(5000));

}  // namespace qttest

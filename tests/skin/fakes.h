// Test doubles for the skin layer: a fake clock with a scripted message
// source, and a fatal reporter that throws so a test can see the report.
#pragma once

#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>

#include "skin/declarations.h"
#include "skin/fatal_reporter.h"
#include "skin/host_environment.h"
#include "skin/image_error.h"

namespace skin {
// Failure messages name the reason rather than its number.
inline void PrintTo(ImageError e, std::ostream* os) {
    *os << describe(e);
}
}  // namespace skin

namespace skin_test {

using namespace std::chrono_literals;

class FakeEnvironment : public skin::HostEnvironment {
  public:
    Clock::time_point now() override { return now_; }
    bool waitForMessage(Clock::time_point deadline) override {
        ++waits;
        if (queued > 0) return true;
        if (!script.empty() && script.front() <= deadline) {
            now_ = std::max(now_, script.front());
            script.pop_front();
            ++queued;
            return true;
        }
        if (deadline != Clock::time_point::max()) now_ = std::max(now_, deadline);
        return false;
    }
    // A message that arrives `after` from the start.
    void messageAt(Clock::duration after) { script.push_back(start + after); }
    Clock::duration elapsed() const { return now_ - start; }

    const Clock::time_point start = Clock::time_point() + 1000h;
    Clock::time_point now_ = start;
    std::deque<Clock::time_point> script;
    int queued = 0;  // messages waiting to be dispatched
    int waits = 0;
};

struct FatalError : std::runtime_error {
    FatalError(int n, std::string m)
        : std::runtime_error("fatal " + std::to_string(n)), number(n), message(std::move(m)) {}
    int number;
    std::string message;  // GBK
};

class ThrowingReporter : public skin::FatalReporter {
  public:
    void fatal(int number, const rt::Text& message) override { throw FatalError(number, message); }
};

// The 32-bit value at a guest address, which need not be aligned.
inline std::uint32_t guestWord(skin::GuestAddress a) {
    std::uint32_t v;
    std::memcpy(&v, reinterpret_cast<const void*>(std::uintptr_t(a)), 4);
    return v;
}

// A guest space with the library layer and the program's declarations.
struct Layer {
    explicit Layer(std::vector<skin::Declaration> table = skin::programDeclarations(),
                   skin::LibraryDirectories dirs = {}) {
        space = skin::GuestSpace::create();
        if (!space) throw std::runtime_error("no guest space");
        libraries = skin::SystemLibraries::create(*space, env);
        if (!libraries) throw std::runtime_error("no library layer");
        declarations = std::make_unique<skin::Declarations>(*libraries, reporter, std::move(table),
                                                            std::move(dirs));
    }
    // Copies `bytes` into fresh guest memory.
    skin::GuestAddress put(const void* bytes, std::size_t n) {
        skin::GuestAddress a = space->allocate(0, std::uint32_t(n ? n : 1));
        std::memcpy(space->pointer(a, n), bytes, n);
        return a;
    }
    FakeEnvironment env;
    ThrowingReporter reporter;
    std::unique_ptr<skin::GuestSpace> space;
    std::unique_ptr<skin::SystemLibraries> libraries;
    std::unique_ptr<skin::Declarations> declarations;
};

}  // namespace skin_test

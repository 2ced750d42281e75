// Adapters from the runtime frame to the skin layer's two interfaces, for the
// program's entry routine:
//   skin::BackendEnvironment env(backend);
//   skin::RuntimeFatalReporter reporter(runtime);
//   auto skin = skin::SkinSystem::create(env, reporter);
#pragma once

#include "runtime/window/backend.h"
#include "runtime/window/runtime.h"
#include "skin/fatal_reporter.h"
#include "skin/host_environment.h"

namespace skin {

class BackendEnvironment : public HostEnvironment {
  public:
    explicit BackendEnvironment(rt::Backend& backend) : backend_(backend) {}
    Clock::time_point now() override { return backend_.now(); }
    bool waitForMessage(Clock::time_point deadline) override {
        return backend_.waitForMessage(deadline);
    }

  private:
    rt::Backend& backend_;
};

class RuntimeFatalReporter : public FatalReporter {
  public:
    explicit RuntimeFatalReporter(rt::Runtime& runtime) : runtime_(runtime) {}
    void fatal(int number, const rt::Text& message) override {
        runtime_.fatal(number ? std::optional<std::int32_t>(number) : std::nullopt, message);
    }

  private:
    rt::Runtime& runtime_;
};

}  // namespace skin

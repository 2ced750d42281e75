// libFuzzer target for MemoryLibrary::loadFromMemory: any bytes as a library
// image. A load must fail cleanly or map an image whose exports, entry point
// and unload are then exercised; nothing may be read or written outside the
// image and its region (AddressSanitizer watches the host side, the guest
// space's hooks the guest side). Guest code is cut short by a low
// instruction limit.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>

#include "skin/declarations.h"
#include "skin/memory_library.h"

namespace {

struct QuietEnvironment : skin::HostEnvironment {
    Clock::time_point now() override { return t; }
    bool waitForMessage(Clock::time_point deadline) override {
        if (deadline != Clock::time_point::max()) t = deadline;
        return false;
    }
    Clock::time_point t{};
};

struct AbortingReporter : skin::FatalReporter {
    void fatal(int, const rt::Text&) override {
        __builtin_trap();
    }  // the loader's calls are always well-formed
};

struct World {
    World() {
        space = skin::GuestSpace::create();
        if (!space) throw std::runtime_error("no guest space");
        space->setInstructionLimit(20000);
        libraries = skin::SystemLibraries::create(*space, env);
        declarations = std::make_unique<skin::Declarations>(*libraries, reporter);
    }
    QuietEnvironment env;
    AbortingReporter reporter;
    std::unique_ptr<skin::GuestSpace> space;
    std::unique_ptr<skin::SystemLibraries> libraries;
    std::unique_ptr<skin::Declarations> declarations;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static World world;
    skin::MemoryLibrary library(*world.declarations);
    if (library.loadFromMemory(std::span<const std::uint8_t>(data, size))) {
        library.getProcedure("SkinH_AttachRes");
        library.getProcedure("1");
        library.getEntryPoint();
        // Guest code may have damaged its own headers; then the region stays
        // and is released here by hand so the fuzzer does not run out of it.
        if (!library.unload()) world.space->release(library.getHandle());
    }
    return 0;
}

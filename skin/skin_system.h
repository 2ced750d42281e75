// Everything the guide needs for its skin, in one object that the entry
// routine creates before any window exists: the guest space, the system-library
// layer, the declared functions and the program's MemoryLibrary, plus the
// embedded skin library image and skin file.
//
//   auto skin = skin::SkinSystem::create(backendEnvironment, fatalReporter,
//                                        skin::notAttachedOnStderr());
//   skin->mapEmbeddedLibrary();                // entry routine, result ignored
//   skin->attachEmbeddedSkin(app.keptSkin);    // first step of the created handler
//   skin->colours().changed();                 // what the skin set, by index
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "skin/attach_skin.h"
#include "skin/declarations.h"
#include "skin/fatal_reporter.h"
#include "skin/guest_space.h"
#include "skin/host_environment.h"
#include "skin/memory_library.h"
#include "skin/system_colours.h"
#include "skin/system_libraries.h"

namespace skin {

// The embedded bytes (host memory).
std::span<const std::uint8_t> embeddedSkinLibrary();
std::span<const std::uint8_t> embeddedSkinFile();

struct SkinFigures {
    std::chrono::nanoseconds mapTime{0}, attachTime{0};
    std::uint64_t mapInstructions = 0, attachInstructions = 0;  // guest instructions run
};

// Told why the window goes without its skin: the emulator could not start or
// the skin library was refused. Called at most once per run of the program.
using NotAttachedReport = std::function<void(const std::string& why)>;
// Writes "<program name>: skin not attached: <why>" on stderr.
NotAttachedReport notAttachedOnStderr();

using GuestSpaceFactory = std::function<std::unique_ptr<GuestSpace>(std::string& failure)>;

class SkinSystem {
  public:
    // Null when the guest space cannot be set up (no emulator, an
    // address-space limit, no low memory); `notAttached` is told why and the
    // program runs without its skin. Both references must outlive it.
    // `makeSpace` replaces GuestSpace::create (tests).
    static std::unique_ptr<SkinSystem> create(HostEnvironment& env, FatalReporter& reporter,
                                              NotAttachedReport notAttached = {},
                                              GuestSpaceFactory makeSpace = {});

    // LoadFromMemory with the embedded skin library, no resolver. A refusal
    // is told to the report given to create().
    ImageResult mapEmbeddedLibrary();
    // attachSkin with the embedded skin file and every optional argument
    // omitted. The skin file lives in guest memory for the whole run.
    std::uint32_t attachEmbeddedSkin(KeptSkinArguments& kept);

    MemoryLibrary& library() { return library_; }
    Declarations& declarations() { return *declarations_; }
    SystemLibraries& libraries() { return *libraries_; }
    SystemColours& colours() { return libraries_->colours(); }
    GuestSpace& space() { return *space_; }
    std::span<const std::uint8_t> guestSkinFile() const { return guestSkinFile_; }
    const SkinFigures& figures() const { return figures_; }

  private:
    SkinSystem(std::unique_ptr<GuestSpace> space, std::unique_ptr<SystemLibraries> libraries,
               FatalReporter& reporter, NotAttachedReport notAttached);

    std::unique_ptr<GuestSpace> space_;
    std::unique_ptr<SystemLibraries> libraries_;
    std::unique_ptr<Declarations> declarations_;
    MemoryLibrary library_;
    std::span<const std::uint8_t> guestSkinFile_;
    SkinFigures figures_;
    NotAttachedReport notAttached_;
};

}  // namespace skin

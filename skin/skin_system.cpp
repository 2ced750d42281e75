#include "skin/skin_system.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "skin_file_data.h"
#include "skin_library_image.h"

namespace skin {

std::span<const std::uint8_t> embeddedSkinLibrary() {
    return embedded::skin_library_image();
}
std::span<const std::uint8_t> embeddedSkinFile() {
    return embedded::skin_file_data();
}

NotAttachedReport notAttachedOnStderr() {
    return [](const std::string& why) {
        std::fprintf(stderr, "%s: skin not attached: %s\n", program_invocation_short_name,
                     why.c_str());
    };
}

SkinSystem::SkinSystem(std::unique_ptr<GuestSpace> space,
                       std::unique_ptr<SystemLibraries> libraries, FatalReporter& reporter,
                       NotAttachedReport notAttached)
    : space_(std::move(space)),
      libraries_(std::move(libraries)),
      declarations_(std::make_unique<Declarations>(*libraries_, reporter)),
      library_(*declarations_),
      notAttached_(std::move(notAttached)) {}

std::unique_ptr<SkinSystem> SkinSystem::create(HostEnvironment& env, FatalReporter& reporter,
                                               NotAttachedReport notAttached,
                                               GuestSpaceFactory makeSpace) {
    auto fail = [&](const std::string& why) -> std::unique_ptr<SkinSystem> {
        if (notAttached) notAttached(why);
        return nullptr;
    };
    std::string failure;
    auto space = makeSpace ? makeSpace(failure) : GuestSpace::create(failure);
    if (!space) return fail(failure.empty() ? "the emulator cannot start" : failure);
    auto libraries = SystemLibraries::create(*space, env);
    if (!libraries) return fail("no guest memory for the system libraries");
    // The skin file is constant data of the program that the library reads
    // by address, so it is placed where 32-bit code can see it, once.
    std::span<const std::uint8_t> file = embeddedSkinFile();
    GuestAddress at = space->allocate(0, std::uint32_t(file.size()));
    if (!at) return fail("no guest memory for the skin file");
    std::uint8_t* p = space->pointer(at, file.size());
    std::memcpy(p, file.data(), file.size());
    std::unique_ptr<SkinSystem> s(
        new SkinSystem(std::move(space), std::move(libraries), reporter, std::move(notAttached)));
    s->guestSkinFile_ = std::span<const std::uint8_t>(p, file.size());
    return s;
}

ImageResult SkinSystem::mapEmbeddedLibrary() {
    const auto start = std::chrono::steady_clock::now();
    const std::uint64_t before = space_->instructionsRun();
    const ImageResult result = library_.loadFromMemory(embeddedSkinLibrary());
    figures_.mapTime = std::chrono::steady_clock::now() - start;
    figures_.mapInstructions = space_->instructionsRun() - before;
    if (!result && notAttached_)
        std::exchange(notAttached_, nullptr)(std::string("the skin library was refused: ") +
                                             describe(result.error));
    return result;
}

std::uint32_t SkinSystem::attachEmbeddedSkin(KeptSkinArguments& kept) {
    const auto start = std::chrono::steady_clock::now();
    const std::uint64_t before = space_->instructionsRun();
    const std::uint32_t r = attachSkin(library_, *declarations_, kept, guestSkinFile_);
    figures_.attachTime = std::chrono::steady_clock::now() - start;
    figures_.attachInstructions = space_->instructionsRun() - before;
    return r;
}

}  // namespace skin

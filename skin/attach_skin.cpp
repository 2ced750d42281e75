#include "skin/attach_skin.h"

#include <cstring>

namespace skin {

std::uint32_t attachSkin(MemoryLibrary& library, Declarations& declarations,
                         KeptSkinArguments& kept, std::span<const std::uint8_t> skinData,
                         const rt::Text& password, SkinLibraryValues libraryValues) {
    kept.data.assign(skinData.begin(), skinData.end());
    kept.libraryValues = libraryValues;

    const GuestAddress procedure = library.getProcedure("SkinH_AttachRes");
    if (procedure == 0) return 0;

    GuestSpace& space = declarations.space();
    // Host values live above 4 GiB: what guest code must read is copied into
    // scratch memory first (password always, the data when not guest memory).
    std::span<const std::uint8_t> data = skinData;
    const bool copyData = !skinData.empty() && !space.addressOf(skinData.data(), skinData.size());
    if (skinData.size() > 0xFFFFFFFFu) return 0;
    GuestSpace::Scratch dataCopy = space.scratch(copyData ? std::uint32_t(skinData.size()) : 0);
    // Data too large for the scratch area gets a region of its own for the call.
    struct OwnRegion {
        GuestSpace& space;
        GuestAddress base = 0;
        ~OwnRegion() {
            if (base) space.release(base);
        }
    } ownRegion{space};
    if (copyData) {
        std::uint8_t* to = dataCopy.data();
        if (!dataCopy) {
            ownRegion.base = space.allocate(0, std::uint32_t(skinData.size()));
            to = space.pointer(ownRegion.base, skinData.size());
            if (!to) return 0;
        }
        std::memcpy(to, skinData.data(), skinData.size());
        data = std::span<const std::uint8_t>(to, skinData.size());
    }
    GuestSpace::Scratch passwordCopy = space.scratch(std::uint32_t(password.size() + 1));
    if (!passwordCopy) return 0;
    std::memcpy(passwordCopy.data(), password.c_str(), password.size() + 1);
    const std::string_view guestPassword(reinterpret_cast<const char*>(passwordCopy.data()),
                                         password.size());

    const std::uint32_t args[] = {declarations.addressOf(data),
                                  std::uint32_t(skinData.size()),
                                  declarations.addressOfText(guestPassword),
                                  libraryValues[0],
                                  libraryValues[1],
                                  libraryValues[2]};
    const GuestCallResult r = space.call(procedure, args);
    return r.ok ? r.value : 0;
}

}  // namespace skin

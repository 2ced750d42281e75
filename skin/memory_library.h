// MemoryLibrary maps a 32-bit PE library image held in memory into guest
// space without a file, in stages: validate the headers, map the sections,
// apply base relocations, bind imports, run the entry point; then finds
// exports by name or by ordinal.
//
// Every read and write goes through the declared RtlMoveMemory, VirtualAlloc,
// VirtualFree, LoadLibraryA and GetProcAddress, and every offset and size is
// checked against the image and the mapped region first: a malformed image
// fails to load and nothing outside either is touched.
//
// Every refusal says which rule the image broke (ImageError); the rules are
// checked one at a time, in the order the stages meet them.
//
// The object holds only `handle`; copies share the mapping, and destroying it
// leaves the image mapped (its entry point is not told).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "skin/declarations.h"
#include "skin/image_error.h"

namespace skin {

class MemoryLibrary {
  public:
    explicit MemoryLibrary(Declarations& declarations) : d_(&declarations) {}

    // Maps `image` (unloading first when loaded). The image is read in place
    // when it lives in guest memory, else from a guest copy made for the
    // load. `resolver`, when not 0, is guest code called per import with
    // (library name, procedure name or decimal ordinal, userValue); a result
    // of 0 lets the loader look the procedure up itself.
    ImageResult loadFromMemory(std::span<const std::uint8_t> image, GuestAddress resolver = 0,
                               std::uint32_t userValue = 0);
    // True when nothing is mapped afterwards.
    ImageResult unload();

    struct ExportLookup {
        GuestAddress address = 0;  // 0 unless error is None
        ImageError error = ImageError::None;
    };
    // An export by name, or by ordinal when `name` is the canonical decimal
    // text of an integer ("12"). The name walk is bounded by the directory's
    // counts, which must agree with each other and with the region.
    ExportLookup findProcedure(std::string_view name) const;
    // findProcedure's address: 0 when absent, forwarded, past the image, or
    // nothing loaded.
    GuestAddress getProcedure(std::string_view name) const { return findProcedure(name).address; }
    GuestAddress getEntryPoint() const;
    GuestAddress getHandle() const { return handle_; }

  private:
    Declarations* d_;
    GuestAddress handle_ = 0;
};

}  // namespace skin

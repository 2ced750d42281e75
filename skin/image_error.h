// Why MemoryLibrary refused an image, could not unload it, or found no
// export: one kind per rule the loader checks, so a caller (and a test) can
// tell one refusal from another.
#pragma once

#include <cstdint>

namespace skin {

enum class ImageError : std::uint8_t {
    None,
    // The image's bytes and headers.
    TooSmall,                // fewer than 64 bytes
    TooLarge,                // more bytes than a 32-bit length holds
    BadDosMagic,             // no "MZ"
    NtHeadersOutOfImage,     // e_lfanew + 248 past the end
    BadPeSignature,          // no "PE\0\0"
    NotExecutable,           // the executable-image flag is clear
    TooManySections,         // NumberOfSections above 96
    SectionTableOutOfImage,  // the section headers run past the end
    ZeroSectionAlignment,
    BadImageSize,        // SizeOfImage 0, or above what the loader maps
    HeadersOutOfRegion,  // the headers are longer than SizeOfImage
    EntryPointOutOfImage,
    SectionDataOutOfImage,  // a section's file data runs past the end
    // Mapping.
    NoMemory,  // no region, staging copy or scratch memory
    // Base relocations.
    RelocationOutOfImage,        // a block or its entries leave the region
    RelocationBlockTooShort,     // SizeOfBlock below its own 8-byte header
    RelocationTargetOutOfImage,  // a fix-up's 32-bit value leaves the region
    // Imports.
    ImportTableOutOfImage,  // a descriptor or address-table slot leaves the region
    ImportNameOutOfImage,   // a library or procedure name is not a string inside it
    ImportModuleMissing,    // no library of that name
    ImportNameMissing,      // the library lacks the procedure (name or ordinal)
    // The entry point.
    EntryPointRefused,  // returned 0 for process attach
    EntryPointFaulted,  // stopped without returning (fault, invalid code, limit)
    // A loaded image.
    NotLoaded,
    DamagedHeaders,  // the mapped DOS or NT headers no longer hold their signatures
    ReleaseRefused,
    // Exports.
    NoExports,  // the export directory's size is 0
    ExportDirectoryOutOfImage,
    ExportTableOutOfImage,     // a name pointer or ordinal table runs past the region
    ExportCountsInconsistent,  // more names than functions, or more than 16-bit indexes reach
    ExportNotFound,            // no such name, or an ordinal outside the address table
    ExportForwarded,           // forwarded to another library: not code here
    ExportOutOfImage,          // the export's address lies past the region
};

// A short English phrase for messages ("relocation block runs out of the image").
const char* describe(ImageError error);

// The outcome of a load or unload: true when it did what was asked.
struct ImageResult {
    ImageError error = ImageError::None;
    explicit operator bool() const { return error == ImageError::None; }
};

}  // namespace skin

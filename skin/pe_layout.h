// Offsets and sizes of the PE/COFF (i386) records the loader reads, under the
// format's own names.
#pragma once

#include <cstdint>
#include <cstring>

namespace skin::pe {

inline constexpr std::uint32_t kDosHeaderSize = 64;
inline constexpr std::uint32_t kNtHeadersSize =
    248;  // signature, file header, 224-byte optional header
inline constexpr std::uint32_t kSectionHeaderSize = 40;
inline constexpr std::uint32_t kRelocationBlockSize = 8;
inline constexpr std::uint32_t kImportDescriptorSize = 20;
inline constexpr std::uint32_t kExportDirectorySize = 40;

inline constexpr std::uint16_t kDosMagic = 0x5A4D;     // "MZ"
inline constexpr std::uint32_t kNtSignature = 0x4550;  // "PE\0\0"
inline constexpr std::uint16_t kExecutableImage = 0x0002;
inline constexpr std::uint16_t kDll = 0x2000;
inline constexpr int kMaxSections = 96;

namespace dos {
inline constexpr std::uint32_t e_magic = 0, e_lfanew = 60;
}
namespace nt {  // from the start of the NT headers
inline constexpr std::uint32_t Signature = 0, NumberOfSections = 6, Characteristics = 22,
                               AddressOfEntryPoint = 40, ImageBase = 52, SectionAlignment = 56,
                               SizeOfImage = 80, DataDirectory = 120;
inline constexpr int kExportDirectory = 0, kImportDirectory = 1, kRelocationDirectory = 5;
}  // namespace nt
namespace section {
inline constexpr std::uint32_t VirtualSize = 8, VirtualAddress = 12, SizeOfRawData = 16,
                               PointerToRawData = 20;
}
namespace import {
inline constexpr std::uint32_t Name = 12, FirstThunk = 16;
}
namespace exports {
inline constexpr std::uint32_t Base = 16, NumberOfFunctions = 20, NumberOfNames = 24,
                               AddressOfFunctions = 28, AddressOfNames = 32,
                               AddressOfNameOrdinals = 36;
}
namespace relocation {
inline constexpr std::uint16_t kHighLow = 3;
}

inline std::uint16_t le16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | p[1] << 8);
}
inline std::uint32_t le32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

}  // namespace skin::pe

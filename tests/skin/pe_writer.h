// Builds small PE32 (i386) images in memory for the loader tests: headers,
// four sections (.text, .idata, .edata, .reloc) at fixed places, imports by
// name or ordinal, exports with forwarders, and HIGHLOW relocations.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace skin_test {

struct PeImport {
    std::string library;
    std::vector<std::variant<std::string, std::uint16_t>> items;  // name or ordinal
};

struct PeExport {
    std::string name;       // empty: exported by ordinal only
    std::uint32_t rva = 0;  // code, or 0 for an empty slot
    std::string forwarder;  // when set, a forwarded export ("Lib.Name")
};

class PeWriter {
  public:
    static constexpr std::uint32_t kLfanew = 0x40;
    static constexpr std::uint32_t kNt = kLfanew;
    static constexpr std::uint32_t kSectionTable = kLfanew + 248;
    static constexpr std::uint32_t kText = 0x1000, kIdata = 0x2000, kEdata = 0x3000,
                                   kReloc = 0x4000;
    static constexpr std::uint32_t kSectionSize = 0x1000, kHeaderFileSize = 0x400;
    static constexpr int kSections = 4;

    std::uint32_t imageBase = 0x30000000;
    std::uint16_t characteristics = 0x2102;  // executable image, 32-bit, library
    std::uint32_t entryRva = 0;
    std::uint32_t sectionAlignment = 0x1000;
    std::uint32_t sizeOfImage = 0x5000;
    std::vector<std::uint8_t> text;  // placed at kText
    std::vector<PeImport> imports;
    std::vector<PeExport> exports;
    std::uint32_t ordinalBase = 1;
    std::vector<std::uint32_t> relocations;  // RVAs of 32-bit absolute addresses

    // Where an import's address slot lies (RVA).
    std::uint32_t iatSlot(std::size_t library, std::size_t item) const {
        std::uint32_t at = kIdata + 0x100;
        for (std::size_t l = 0; l < library; ++l)
            at += 4 * std::uint32_t(imports[l].items.size() + 1);
        return at + 4 * std::uint32_t(item);
    }
    // File offset of section i's raw data.
    static std::uint32_t rawOffset(int i) { return kHeaderFileSize + kSectionSize * i; }
    // Places code or data in .text at `rva`.
    void place(std::uint32_t rva, const std::vector<std::uint8_t>& bytes) {
        std::uint32_t at = rva - kText;
        if (text.size() < at + bytes.size()) text.resize(at + bytes.size());
        std::copy(bytes.begin(), bytes.end(), text.begin() + at);
    }

    std::vector<std::uint8_t> build() const {
        std::vector<std::uint8_t> f(kHeaderFileSize + kSectionSize * kSections, 0);
        auto w16 = [&](std::uint32_t at, std::uint16_t v) { std::memcpy(&f[at], &v, 2); };
        auto w32 = [&](std::uint32_t at, std::uint32_t v) { std::memcpy(&f[at], &v, 4); };
        auto str = [&](std::uint32_t at, const std::string& s) {
            std::memcpy(&f[at], s.c_str(), s.size() + 1);
        };
        auto fileOf = [](std::uint32_t rva) {
            return rva - kText + kHeaderFileSize;
        };  // for section RVAs

        w16(0, 0x5A4D);
        w32(60, kLfanew);
        w32(kNt, 0x4550);
        w16(kNt + 4, 0x14C);
        w16(kNt + 6, kSections);
        w16(kNt + 20, 224);
        w16(kNt + 22, characteristics);
        w16(kNt + 24, 0x10B);
        w32(kNt + 40, entryRva);
        w32(kNt + 52, imageBase);
        w32(kNt + 56, sectionAlignment);
        w32(kNt + 60, 0x200);
        w32(kNt + 80, sizeOfImage);
        w32(kNt + 84, kHeaderFileSize);
        w32(kNt + 116, 16);
        const char* names[kSections] = {".text", ".idata", ".edata", ".reloc"};
        for (int i = 0; i < kSections; ++i) {
            std::uint32_t s = kSectionTable + 40 * i;
            std::memcpy(&f[s], names[i], std::strlen(names[i]));
            w32(s + 8, kSectionSize);
            w32(s + 12, kText + kSectionSize * i);
            w32(s + 16, kSectionSize);
            w32(s + 20, rawOffset(i));
            w32(s + 36, 0xE0000060);
        }
        std::copy(text.begin(), text.end(), f.begin() + fileOf(kText));

        if (!imports.empty()) {
            std::uint32_t nameAt = kIdata + 0x800;
            for (std::size_t l = 0; l < imports.size(); ++l) {
                std::uint32_t d = kIdata + 20 * std::uint32_t(l);
                str(fileOf(nameAt), imports[l].library);
                w32(fileOf(d) + 12, nameAt);
                nameAt += std::uint32_t(imports[l].library.size()) + 1;
                w32(fileOf(d) + 16, iatSlot(l, 0));
                for (std::size_t k = 0; k < imports[l].items.size(); ++k) {
                    std::uint32_t slot = fileOf(iatSlot(l, k));
                    if (auto* n = std::get_if<std::string>(&imports[l].items[k])) {
                        nameAt = (nameAt + 1) & ~1u;
                        w32(slot, nameAt);  // hint/name entry: 2-byte hint, then the name
                        str(fileOf(nameAt) + 2, *n);
                        nameAt += 2 + std::uint32_t(n->size()) + 1;
                    } else {
                        w32(slot, 0x80000000u | std::get<std::uint16_t>(imports[l].items[k]));
                    }
                }
            }
            w32(kNt + 120 + 8, kIdata);
            w32(kNt + 120 + 12, 20 * std::uint32_t(imports.size() + 1));
        }

        if (!exports.empty()) {
            const std::uint32_t dir = kEdata, functions = kEdata + 0x40, nameTable = kEdata + 0x200,
                                ordinals = kEdata + 0x300;
            str(fileOf(kEdata + 0x100), "test.dll");
            w32(fileOf(dir) + 12, kEdata + 0x100);
            w32(fileOf(dir) + 16, ordinalBase);
            w32(fileOf(dir) + 20, std::uint32_t(exports.size()));
            std::vector<std::pair<std::string, std::uint32_t>> named;
            std::uint32_t forwarderAt = kEdata + 0x800;
            for (std::size_t i = 0; i < exports.size(); ++i) {
                std::uint32_t rva = exports[i].rva;
                if (!exports[i].forwarder.empty()) {
                    str(fileOf(forwarderAt), exports[i].forwarder);
                    rva = forwarderAt;
                    forwarderAt += std::uint32_t(exports[i].forwarder.size()) + 1;
                }
                w32(fileOf(functions) + 4 * std::uint32_t(i), rva);
                if (!exports[i].name.empty()) named.push_back({exports[i].name, std::uint32_t(i)});
            }
            std::sort(named.begin(), named.end());
            w32(fileOf(dir) + 24, std::uint32_t(named.size()));
            w32(fileOf(dir) + 28, functions);
            w32(fileOf(dir) + 32, nameTable);
            w32(fileOf(dir) + 36, ordinals);
            // Names stored in reverse table order with gaps: only the name
            // pointer table finds them.
            std::uint32_t at = kEdata + 0xF00;
            for (std::size_t i = 0; i < named.size(); ++i) {
                at -= std::uint32_t(named[i].first.size()) + 1 + 3;
                str(fileOf(at), named[i].first);
                w32(fileOf(nameTable) + 4 * std::uint32_t(i), at);
                w16(fileOf(ordinals) + 2 * std::uint32_t(i), std::uint16_t(named[i].second));
            }
            w32(kNt + 120, dir);
            w32(kNt + 124, kSectionSize);
        }

        if (!relocations.empty()) {
            std::map<std::uint32_t, std::vector<std::uint16_t>> pages;
            for (std::uint32_t r : relocations)
                pages[r & ~0xFFFu].push_back(std::uint16_t(0x3000 | (r & 0xFFF)));
            std::uint32_t at = kReloc;
            for (auto& [page, entries] : pages) {
                if (entries.size() % 2)
                    entries.push_back(0);  // type 0 filler keeps blocks 4-byte aligned
                w32(fileOf(at), page);
                w32(fileOf(at) + 4, 8 + 2 * std::uint32_t(entries.size()));
                for (std::size_t i = 0; i < entries.size(); ++i)
                    w16(fileOf(at) + 8 + 2 * std::uint32_t(i), entries[i]);
                at += 8 + 2 * std::uint32_t(entries.size());
            }
            w32(kNt + 120 + 40, kReloc);
            w32(kNt + 120 + 44, at - kReloc);
        }
        return f;
    }
};

inline void poke32(std::vector<std::uint8_t>& f, std::uint32_t at, std::uint32_t v) {
    std::memcpy(&f[at], &v, 4);
}
inline void poke16(std::vector<std::uint8_t>& f, std::uint32_t at, std::uint16_t v) {
    std::memcpy(&f[at], &v, 2);
}

}  // namespace skin_test

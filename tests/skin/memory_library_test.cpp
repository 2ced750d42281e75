// MemoryLibrary against images built in the test: one table of header and
// table variants with the outcome of each, then the stages one by one.
#include <gtest/gtest.h>

#include <functional>

#include "skin/memory_library.h"
#include "tests/skin/fakes.h"
#include "tests/skin/i386_code.h"
#include "tests/skin/pe_writer.h"

using namespace skin;
using namespace skin_test;

namespace {

constexpr std::uint32_t kBase = 0x30000000;
constexpr std::uint32_t kAnswer = 0x12345678;

// A library whose entry point logs its calls into `logCell` and returns
// `entryResult`; exports "Answer" (reads relocated data), "SysColour" (calls
// an import), an ordinal-only export and a forwarder.
PeWriter standardImage(std::uint32_t logCell, std::uint32_t entryResult = 1) {
    PeWriter w;
    w.imageBase = kBase;
    w.imports = {{"user32.dll", {std::string("GetSysColor")}}};
    w.entryRva = 0x1000;
    w.place(0x1000, loggingEntry(logCell, entryResult));
    w.place(0x1100, loadAbsolute(kBase + 0x1F00) + ret());
    w.place(0x1200, pushImm8(5) + callIndirect(kBase + w.iatSlot(0, 0)) + ret());
    w.place(0x1F00, {0x78, 0x56, 0x34, 0x12});
    w.relocations = {0x1101, 0x1204};
    w.exports = {{"Answer", 0x1100, ""},
                 {"SysColour", 0x1200, ""},
                 {"", 0x1100, ""},
                 {"Forwarded", 0, "User32.GetSysColor"}};
    return w;
}

struct LoaderTest : ::testing::Test {
    void SetUp() override {
        logCell = layer.space->allocate(0, 0x1000);
        ASSERT_NE(logCell, 0u);
    }
    // The entry point's calls so far, as (instance << 8 | reason).
    std::vector<std::uint32_t> entryCalls() const {
        auto* p = reinterpret_cast<const std::uint32_t*>(std::uintptr_t(logCell));
        return std::vector<std::uint32_t>(p + 1, p + 1 + p[0]);
    }
    void clearLog() { *reinterpret_cast<std::uint32_t*>(std::uintptr_t(logCell)) = 0; }
    GuestCallResult callExport(const MemoryLibrary& lib, const char* name) {
        GuestAddress a = lib.getProcedure(name);
        if (!a) return {};
        return layer.space->call(a, {});
    }

    Layer layer;
    GuestAddress logCell = 0;
};

using Bytes = std::vector<std::uint8_t>;

TEST_F(LoaderTest, VariantsOfHeadersAndTables) {
    using Writer = std::function<void(PeWriter&)>;
    using Patch = std::function<void(Bytes&)>;
    constexpr std::uint32_t nt = PeWriter::kNt, table = PeWriter::kSectionTable;
    struct Row {
        const char* what;
        Writer writer;
        Patch patch;
        ImageError error;                  // None: the image loads
        std::vector<std::uint32_t> entry;  // expected entry-point calls
    };
    using E = ImageError;
    const std::uint32_t relocDir = nt + 120 + 40;
    const Row rows[] = {
        {"the standard image", nullptr, nullptr, E::None, {1}},
        {"shorter than 64 bytes", nullptr, [](Bytes& b) { b.resize(63); }, E::TooSmall, {}},
        {"64 bytes, nothing after the DOS header",
         nullptr,
         [](Bytes& b) { b.resize(64); },
         E::NtHeadersOutOfImage,
         {}},
        {"no MZ", nullptr, [](Bytes& b) { b[1] = 'Y'; }, E::BadDosMagic, {}},
        {"e_lfanew + 248 one byte past the end",
         nullptr,
         [](Bytes& b) { poke32(b, 60, std::uint32_t(b.size()) - 247); },
         E::NtHeadersOutOfImage,
         {}},
        {"e_lfanew far past the end",
         nullptr,
         [](Bytes& b) { poke32(b, 60, 0xFFFFFFF0); },
         E::NtHeadersOutOfImage,
         {}},
        {"no PE signature", nullptr, [](Bytes& b) { b[nt + 1] = 'X'; }, E::BadPeSignature, {}},
        {"no executable-image flag",
         [](PeWriter& w) { w.characteristics = 0x2100; },
         nullptr,
         E::NotExecutable,
         {}},
        {"section table one byte short",
         nullptr,
         [=](Bytes& b) { b.resize(table + 4 * 40 - 1); },
         E::SectionTableOutOfImage,
         {}},
        {"section table fits exactly, no section data",
         nullptr,
         [=](Bytes& b) {
             for (int i = 0; i < 4; ++i) poke32(b, table + 40 * i + 16, 0);
             for (int d = 0; d < 16; ++d)
                 poke32(b, nt + 120 + 8 * d, 0), poke32(b, nt + 124 + 8 * d, 0);
             poke32(b, nt + 40, 0);
             b.resize(table + 4 * 40);
         },
         E::None,
         {}},
        {"last section's data one byte past the image",
         nullptr,
         [](Bytes& b) { b.pop_back(); },
         E::SectionDataOutOfImage,
         {}},
        {"section data offset far past the image",
         nullptr,
         [=](Bytes& b) { poke32(b, table + 40 * 1 + 20, 0xFFFFF000); },
         E::SectionDataOutOfImage,
         {}},
        {"97 sections",
         nullptr,
         [=](Bytes& b) {
             poke16(b, nt + 6, 97);
             b.resize(std::max<std::size_t>(b.size(), table + 97 * 40));
         },
         E::TooManySections,
         {}},
        {"section alignment 0",
         [](PeWriter& w) { w.sectionAlignment = 0; },
         nullptr,
         E::ZeroSectionAlignment,
         {}},
        {"image size above the 256 MiB the loader maps",
         [](PeWriter& w) { w.sizeOfImage = 0x10001000; },
         nullptr,
         E::BadImageSize,
         {}},
        {"headers longer than the image size",
         nullptr,
         [=](Bytes& b) {
             poke16(b, nt + 6, 0);
             poke32(b, nt + 80, 0x100);
         },
         E::HeadersOutOfRegion,
         {}},
        {"entry point past the image",
         [](PeWriter& w) { w.entryRva = 0x5000; },
         nullptr,
         E::EntryPointOutOfImage,
         {}},
        {"relocation directory outside the image",
         nullptr,
         [=](Bytes& b) { poke32(b, relocDir, 0x7FFF0000); },
         E::RelocationOutOfImage,
         {}},
        {"relocation block shorter than its header",
         nullptr,
         [](Bytes& b) { poke32(b, PeWriter::rawOffset(3) + 4, 4); },
         E::RelocationBlockTooShort,
         {}},
        {"relocation block running out of the image",
         nullptr,
         [](Bytes& b) { poke32(b, PeWriter::rawOffset(3) + 4, 0x2000); },
         E::RelocationOutOfImage,
         {}},
        {"fix-up target in the last bytes of the image",
         nullptr,
         [](Bytes& b) {
             poke32(b, PeWriter::rawOffset(3), 0x4000),
                 poke16(b, PeWriter::rawOffset(3) + 8, 0x3FFE);
         },
         E::RelocationTargetOutOfImage,
         {}},
        {"import by ordinal",
         [](PeWriter& w) { w.imports[0].items[0] = std::uint16_t(1); },
         nullptr,
         E::None,
         {1}},
        {"unresolvable import",
         [](PeWriter& w) { w.imports[0].items[0] = std::string("NoSuchFunction"); },
         nullptr,
         E::ImportNameMissing,
         {}},
        {"import from an unknown library",
         [](PeWriter& w) { w.imports[0].library = "nosuch.dll"; },
         nullptr,
         E::ImportModuleMissing,
         {}},
        {"import ordinal no module has",
         [](PeWriter& w) { w.imports[0].items[0] = std::uint16_t(999); },
         nullptr,
         E::ImportNameMissing,
         {}},
        {"import library name outside the image",
         nullptr,
         [](Bytes& b) { poke32(b, PeWriter::rawOffset(1) + 12, 0x00FFFFFF); },
         E::ImportNameOutOfImage,
         {}},
        {"import name entry outside the image",
         nullptr,
         [](Bytes& b) { poke32(b, PeWriter::rawOffset(1) + 0x100, 0x7FFFFFF0); },
         E::ImportNameOutOfImage,
         {}},
        {"import directory outside the image",
         nullptr,
         [=](Bytes& b) { poke32(b, nt + 120 + 8, 0x7FFF0000); },
         E::ImportTableOutOfImage,
         {}},
        {"entry point returns 0",
         [this](PeWriter& w) { w.place(0x1000, loggingEntry(logCell, 0)); },
         nullptr,
         E::EntryPointRefused,
         {1, 0}},
        {"entry point runs invalid code",
         [](PeWriter& w) {
             w.place(0x1000, bytes({0x0F, 0x0B}));
         },
         nullptr,
         E::EntryPointFaulted,
         {}},
        {"executable image: no entry call",
         [](PeWriter& w) { w.characteristics = 0x0102; },
         nullptr,
         E::None,
         {}},
        {"library without entry point", [](PeWriter& w) { w.entryRva = 0; }, nullptr, E::None, {}},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        clearLog();
        PeWriter w = standardImage(logCell);
        if (row.writer) row.writer(w);
        Bytes image = w.build();
        if (row.patch) row.patch(image);
        MemoryLibrary lib(*layer.declarations);
        const ImageResult result = lib.loadFromMemory(image);
        const bool loaded = bool(result);
        EXPECT_EQ(result.error, row.error) << "row " << i << ": " << row.what;
        EXPECT_EQ(entryCalls(), row.entry) << "row " << i << ": " << row.what;
        if (loaded) {
            EXPECT_NE(lib.getHandle(), 0u) << "row " << i;
            EXPECT_TRUE(lib.unload()) << "row " << i;
        } else {
            EXPECT_EQ(lib.getHandle(), 0u) << "row " << i;
        }
        // Nothing stays mapped at the preferred base either way.
        EXPECT_FALSE(layer.space->regionOf(kBase)) << "row " << i << ": " << row.what;
    }
}

TEST_F(LoaderTest, FreePreferredBaseIsUsedAndRelocatedWithDeltaZero) {
    MemoryLibrary lib(*layer.declarations);
    PeWriter w = standardImage(logCell);
    // A fix-up at delta 0 is still walked: a block pointing outside fails.
    ASSERT_TRUE(lib.loadFromMemory(w.build()));
    EXPECT_EQ(lib.getHandle(), kBase);
    EXPECT_EQ(guestWord(kBase + 0x1101), kBase + 0x1F00);
    auto r = callExport(lib, "Answer");
    ASSERT_TRUE(r.ok) << r.failure;
    EXPECT_EQ(r.value, kAnswer);
}

TEST_F(LoaderTest, TakenPreferredBaseMovesTheImageAndAppliesFixUps) {
    GuestAddress blocker = layer.space->allocate(kBase, 0x1000);
    ASSERT_EQ(blocker, kBase);
    MemoryLibrary lib(*layer.declarations);
    ASSERT_TRUE(lib.loadFromMemory(standardImage(logCell).build()));
    const GuestAddress base = lib.getHandle();
    ASSERT_NE(base, kBase);
    EXPECT_EQ(guestWord(base + 0x1101), base + 0x1F00);
    EXPECT_EQ(guestWord(base + 0x1204), base + PeWriter().iatSlot(0, 0));
    auto r = callExport(lib, "Answer");
    ASSERT_TRUE(r.ok) << r.failure;
    EXPECT_EQ(r.value, kAnswer);
    // The headers are copied; the region is SizeOfImage long.
    EXPECT_EQ(std::memcmp(reinterpret_cast<void*>(std::uintptr_t(base)), "MZ", 2), 0);
    EXPECT_EQ(layer.space->regionOf(base)->second, 0x5000u);
}

TEST_F(LoaderTest, ImportsAreBoundToTheLayerByNameAndOrdinal) {
    layer.libraries->colours().set(5, 0x00C0FFEE);
    for (bool byOrdinal : {false, true}) {
        PeWriter w = standardImage(logCell);
        if (byOrdinal) w.imports[0].items[0] = std::uint16_t(1);  // GetSysColor
        MemoryLibrary lib(*layer.declarations);
        ASSERT_TRUE(lib.loadFromMemory(w.build())) << byOrdinal;
        std::uint32_t slot = guestWord(lib.getHandle() + w.iatSlot(0, 0));
        std::uint32_t user32 = layer.libraries->load("user32");
        EXPECT_EQ(slot, layer.libraries->lookup(user32, "GetSysColor")) << byOrdinal;
        auto r = callExport(lib, "SysColour");  // guest code calls the host through the slot
        ASSERT_TRUE(r.ok) << r.failure;
        EXPECT_EQ(r.value, 0x00C0FFEEu);
        EXPECT_TRUE(lib.unload());
    }
}

// A resolver that answers one name and leaves the rest to the loader: the
// first call returns an address of ours, later calls 0.
TEST_F(LoaderTest, AResolverIsAskedFirstWithNamesAndDecimalOrdinals) {
    std::vector<std::string> asked;
    std::vector<std::uint32_t> userValues;
    const GuestAddress ours = 0x12340;
    GuestAddress resolver = layer.space->addThunk(
        3, [&](std::span<const std::uint32_t> a) -> std::optional<std::uint32_t> {
            auto text = [](std::uint32_t p) {
                return std::string(reinterpret_cast<const char*>(std::uintptr_t(p)));
            };
            asked.push_back(text(a[0]) + "!" + text(a[1]));
            userValues.push_back(a[2]);
            return text(a[1]) == "GetSysColor" ? ours : 0u;
        });
    PeWriter w = standardImage(logCell);
    w.imports = {{"user32.dll", {std::string("GetSysColor"), std::uint16_t(3)}}};
    w.place(0x1200, pushImm8(5) + callIndirect(kBase + w.iatSlot(0, 0)) + ret());
    MemoryLibrary lib(*layer.declarations);
    ASSERT_TRUE(lib.loadFromMemory(w.build(), resolver, 77));
    EXPECT_EQ(asked, (std::vector<std::string>{"user32.dll!GetSysColor", "user32.dll!3"}));
    EXPECT_EQ(userValues, (std::vector<std::uint32_t>{77, 77}));
    auto slot = [&](int k) { return guestWord(lib.getHandle() + w.iatSlot(0, k)); };
    EXPECT_EQ(slot(0), ours);
    EXPECT_EQ(slot(1), layer.libraries->lookup(layer.libraries->load("user32"), "SetSysColors"));
}

TEST_F(LoaderTest, ExportsByNameAndByCanonicalOrdinalText) {
    MemoryLibrary lib(*layer.declarations);
    EXPECT_EQ(lib.findProcedure("Answer").error, ImageError::NotLoaded);
    EXPECT_EQ(lib.getProcedure("Answer"), 0u);
    EXPECT_EQ(lib.getEntryPoint(), 0u);
    PeWriter w = standardImage(logCell);
    w.ordinalBase = 5;
    ASSERT_TRUE(lib.loadFromMemory(w.build()));
    const GuestAddress b = lib.getHandle();
    EXPECT_EQ(lib.getEntryPoint(), b + 0x1000);
    using E = ImageError;
    struct {
        const char* name;
        GuestAddress expected;
        ImageError error;
    } cases[] = {
        {"Answer", b + 0x1100, E::None},
        {"SysColour", b + 0x1200, E::None},
        {"answer", 0, E::ExportNotFound},
        {"Answe", 0, E::ExportNotFound},
        {"AnswerX", 0, E::ExportNotFound},
        {"", 0, E::ExportNotFound},
        {"5", b + 0x1100, E::None},
        {"6", b + 0x1200, E::None},
        {"7", b + 0x1100, E::None},  // ordinal-only export
        {"4", 0, E::ExportNotFound},
        {"9", 0, E::ExportNotFound},
        {"-1", 0, E::ExportNotFound},
        {"05", 0, E::ExportNotFound},
        {"+5", 0, E::ExportNotFound},
        {" 5", 0, E::ExportNotFound},
        {"99999999999", 0, E::ExportNotFound},
        {"Forwarded", 0, E::ExportForwarded},
        {"8", 0, E::ExportForwarded},  // a forwarder is not code
    };
    for (const auto& c : cases) {
        const MemoryLibrary::ExportLookup found = lib.findProcedure(c.name);
        EXPECT_EQ(found.address, c.expected) << '"' << c.name << '"';
        EXPECT_EQ(found.error, c.error) << '"' << c.name << '"';
    }
}

// Each row breaks one rule of the export directory; the name and the ordinal
// lookups each say which. The last rows forge counts that a region of 256 MiB
// holds: walked name by name they took seconds.
TEST_F(LoaderTest, ExportTablesReachingOutOfTheImageFindNothing) {
    using E = ImageError;
    const std::uint32_t dir = PeWriter::rawOffset(2);
    constexpr std::uint32_t kHugeImage = 0x10000000, kForgedCount = 0x2000000;
    struct Poke {
        std::uint32_t at, value;
    };
    struct {
        const char* what;
        std::vector<Poke> pokes;
        GuestAddress byName, byOrdinal;  // offsets from the base, 0 for none
        ImageError nameError, ordinalError;
    } rows[] = {
        {"unchanged", {}, 0x1100, 0x1100, E::None, E::None},
        {"NumberOfNames past the image",
         {{dir + 24, 0xFFFFFFFF}},
         0,
         0x1100,
         E::ExportCountsInconsistent,
         E::None},
        {"AddressOfNames past the image",
         {{dir + 32, 0x00FFFFF0}},
         0,
         0x1100,
         E::ExportTableOutOfImage,
         E::None},
        {"name pointer table one byte past the image",
         {{dir + 32, 0x5000 - 3 * 4 + 1}},  // three names
         0,
         0x1100,
         E::ExportTableOutOfImage,
         E::None},
        {"ordinal table one byte past the image",
         {{dir + 36, 0x5000 - 3 * 2 + 1}},
         0,
         0x1100,
         E::ExportTableOutOfImage,
         E::None},
        {"AddressOfFunctions past the image",
         {{dir + 28, 0x7FFFFFF0}},
         0,
         0,
         E::ExportTableOutOfImage,
         E::ExportTableOutOfImage},
        {"NumberOfFunctions 0",
         {{dir + 20, 0}},
         0,
         0,
         E::ExportCountsInconsistent,
         E::ExportNotFound},
        {"more names than functions",
         {{dir + 24, 5}},
         0,
         0x1100,
         E::ExportCountsInconsistent,
         E::None},
        {"export directory past the image",
         {{PeWriter::kNt + 120, 0x00FFFFF0}},
         0,
         0,
         E::ExportDirectoryOutOfImage,
         E::ExportDirectoryOutOfImage},
        {"no export directory", {{PeWriter::kNt + 124, 0}}, 0, 0, E::NoExports, E::NoExports},
        {"32M names and functions, tables inside a 256 MiB image",
         {{PeWriter::kNt + 80, kHugeImage},
          {dir + 20, kForgedCount},
          {dir + 24, kForgedCount},
          {dir + 32, 0x100000},
          {dir + 36, 0x100000 + 4 * kForgedCount}},
         0,
         0x1100,
         E::ExportCountsInconsistent,
         E::None},
        {"65537 names and functions inside a 256 MiB image",
         {{PeWriter::kNt + 80, kHugeImage},
          {dir + 20, 0x10001},
          {dir + 24, 0x10001},
          {dir + 32, 0x100000},
          {dir + 36, 0x200000}},
         0,
         0x1100,
         E::ExportCountsInconsistent,
         E::None},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        Bytes b = standardImage(logCell).build();
        for (const Poke& p : rows[i].pokes) poke32(b, p.at, p.value);
        MemoryLibrary lib(*layer.declarations);
        ASSERT_TRUE(lib.loadFromMemory(b)) << "row " << i;
        auto expect = [&](GuestAddress offset) { return offset ? lib.getHandle() + offset : 0; };
        const auto byName = lib.findProcedure("Answer"), byOrdinal = lib.findProcedure("1");
        EXPECT_EQ(byName.address, expect(rows[i].byName)) << "row " << i << ": " << rows[i].what;
        EXPECT_EQ(byName.error, rows[i].nameError) << "row " << i << ": " << rows[i].what;
        EXPECT_EQ(byOrdinal.address, expect(rows[i].byOrdinal))
            << "row " << i << ": " << rows[i].what;
        EXPECT_EQ(byOrdinal.error, rows[i].ordinalError) << "row " << i << ": " << rows[i].what;
        EXPECT_TRUE(lib.unload());
    }
}

TEST_F(LoaderTest, UnloadTellsTheEntryPointAndReleasesTheRegion) {
    MemoryLibrary lib(*layer.declarations);
    EXPECT_TRUE(lib.unload()) << "nothing loaded";
    ASSERT_TRUE(lib.loadFromMemory(standardImage(logCell).build()));
    EXPECT_TRUE(lib.unload());
    EXPECT_EQ(entryCalls(), (std::vector<std::uint32_t>{1, 0}));
    EXPECT_EQ(lib.getHandle(), 0u);
    EXPECT_FALSE(layer.space->regionOf(kBase));
    EXPECT_TRUE(lib.unload());
    EXPECT_EQ(entryCalls().size(), 2u) << "a second unload calls nothing";
}

TEST_F(LoaderTest, UnloadRefusesWhenTheMappedHeadersAreDamaged) {
    MemoryLibrary lib(*layer.declarations);
    ASSERT_TRUE(lib.loadFromMemory(standardImage(logCell).build()));
    auto* mz = reinterpret_cast<std::uint8_t*>(std::uintptr_t(lib.getHandle()));
    mz[0] = 'X';
    EXPECT_EQ(lib.unload().error, ImageError::DamagedHeaders);
    EXPECT_EQ(lib.getHandle(), kBase);
    EXPECT_EQ(lib.findProcedure("Answer").error, ImageError::DamagedHeaders);
    mz[0] = 'M';
    EXPECT_TRUE(lib.unload());
}

TEST_F(LoaderTest, LoadingAgainUnloadsFirstAndCopiesShareTheMapping) {
    MemoryLibrary lib(*layer.declarations);
    ASSERT_TRUE(lib.loadFromMemory(standardImage(logCell).build()));
    MemoryLibrary copy = lib;
    EXPECT_EQ(copy.getHandle(), kBase);
    ASSERT_TRUE(lib.loadFromMemory(standardImage(logCell).build()));
    EXPECT_EQ(entryCalls(), (std::vector<std::uint32_t>{1, 0, 1}));
    EXPECT_EQ(lib.getHandle(), kBase);
}

TEST_F(LoaderTest, DestroyingTheObjectLeavesTheImageMapped) {
    GuestAddress answer = 0;
    {
        MemoryLibrary lib(*layer.declarations);
        ASSERT_TRUE(lib.loadFromMemory(standardImage(logCell).build()));
        answer = lib.getProcedure("Answer");
    }
    EXPECT_EQ(entryCalls(), (std::vector<std::uint32_t>{1}));
    auto r = layer.space->call(answer, {});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.value, kAnswer);
}

// Other guest memory may lie right after the image and hold code; an entry
// point or an export that points there is not the library's.
TEST_F(LoaderTest, CodeAddressesBeyondTheImageAreNotUsed) {
    const GuestAddress neighbour = layer.space->allocate(kBase + 0x10000, 0x1000);
    ASSERT_EQ(neighbour, kBase + 0x10000);
    const Code entry = loggingEntry(logCell, 1);
    std::memcpy(layer.space->pointer(neighbour, entry.size()), entry.data(), entry.size());

    PeWriter w = standardImage(logCell);
    w.entryRva = 0x10000;
    MemoryLibrary lib(*layer.declarations);
    EXPECT_EQ(lib.loadFromMemory(w.build()).error, ImageError::EntryPointOutOfImage);
    EXPECT_TRUE(entryCalls().empty());
    EXPECT_FALSE(layer.space->regionOf(kBase));

    w = standardImage(logCell);
    w.exports.push_back({"Beyond", 0x10000, ""});   // ordinal 5
    w.exports.push_back({"LastByte", 0x4FFF, ""});  // ordinal 6: fits exactly
    ASSERT_TRUE(lib.loadFromMemory(w.build()));
    EXPECT_EQ(lib.findProcedure("Beyond").error, ImageError::ExportOutOfImage);
    EXPECT_EQ(lib.findProcedure("5").error, ImageError::ExportOutOfImage);
    EXPECT_EQ(lib.getProcedure("LastByte"), kBase + 0x4FFF);
    EXPECT_EQ(lib.getProcedure("6"), kBase + 0x4FFF);
}

TEST_F(LoaderTest, OnlyTheLow16BitsOfVirtualSizeWidenTheImage) {
    PeWriter w = standardImage(logCell);
    Bytes b = w.build();
    // .reloc: VirtualSize 0x12000 counts as 0x2000, so its extent is
    // 0x4000 + 0x2000 and SizeOfImage rises from 0x5000 to 0x6000.
    poke32(b, PeWriter::kSectionTable + 3 * 40 + 8, 0x12000);
    MemoryLibrary lib(*layer.declarations);
    ASSERT_TRUE(lib.loadFromMemory(b));
    EXPECT_EQ(layer.space->regionOf(lib.getHandle())->second, 0x6000u);
}

TEST_F(LoaderTest, AnImageAlreadyInGuestMemoryIsReadInPlace) {
    Bytes b = standardImage(logCell).build();
    GuestAddress at = layer.put(b.data(), b.size());
    MemoryLibrary lib(*layer.declarations);
    ASSERT_TRUE(lib.loadFromMemory(
        std::span(reinterpret_cast<const std::uint8_t*>(std::uintptr_t(at)), b.size())));
    auto r = callExport(lib, "Answer");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.value, kAnswer);
}

}  // namespace

// The real skin library (built from skin/lib) and the skin file, mapped and
// attached through SkinSystem; and attachSkin's calling contract, observed
// with a small stand-in library.
#include <gtest/gtest.h>

#include <iostream>
#include <map>

#include "skin/skin_system.h"
#include "tests/skin/fakes.h"
#include "tests/skin/i386_code.h"
#include "tests/skin/pe_writer.h"

using namespace skin;
using namespace skin_test;

namespace {

using Bytes = std::vector<std::uint8_t>;

// An independent reading of the skin file: colour index by name.
std::map<int, std::uint32_t> coloursOf(std::span<const std::uint8_t> f) {
    static const std::map<std::string, int> index = {{"scrollbar", 0},
                                                     {"desktop", 1},
                                                     {"activecaption", 2},
                                                     {"inactivecaption", 3},
                                                     {"menu", 4},
                                                     {"window", 5},
                                                     {"windowframe", 6},
                                                     {"menutext", 7},
                                                     {"windowtext", 8},
                                                     {"captiontext", 9},
                                                     {"activeborder", 10},
                                                     {"inactiveborder", 11},
                                                     {"appworkspace", 12},
                                                     {"highlight", 13},
                                                     {"highlighttext", 14},
                                                     {"buttonface", 15},
                                                     {"buttonshadow", 16},
                                                     {"graytext", 17},
                                                     {"buttontext", 18},
                                                     {"inactivecaptiontext", 19},
                                                     {"buttonhighlight", 20},
                                                     {"3ddarkshadow", 21},
                                                     {"3dlight", 22},
                                                     {"infotext", 23},
                                                     {"infobackground", 24},
                                                     {"hotlight", 26},
                                                     {"gradientactivecaption", 27},
                                                     {"gradientinactivecaption", 28},
                                                     {"menuhighlight", 29},
                                                     {"menubar", 30}};
    std::map<int, std::uint32_t> out;
    std::size_t at = 9 + f[8];
    for (unsigned e = 0; e < unsigned(f[6] | f[7] << 8); ++e) {
        std::string name(reinterpret_cast<const char*>(&f[at + 1]), f[at]);
        std::uint32_t c;
        std::memcpy(&c, &f[at + 1 + f[at]], 4);
        out[index.at(name)] = c;
        at += 1 + f[at] + 4;
    }
    return out;
}

Bytes skinFile(std::vector<std::pair<std::string, std::uint32_t>> entries,
               std::string title = "t") {
    Bytes b = {
        '.', 'S', 'H', 'E', 1, 0, std::uint8_t(entries.size()), 0, std::uint8_t(title.size())};
    // One by one: GCC 12 at -O3 warns of bounds in a range insert after the list.
    for (char ch : title) b.push_back(std::uint8_t(ch));
    for (auto& [name, colour] : entries) {
        b.push_back(std::uint8_t(name.size()));
        b.insert(b.end(), name.begin(), name.end());
        for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(colour >> (8 * i)));
    }
    return b;
}

struct SkinTest : ::testing::Test {
    void SetUp() override {
        system = SkinSystem::create(env, reporter);
        ASSERT_TRUE(system);
    }
    FakeEnvironment env;
    ThrowingReporter reporter;
    std::unique_ptr<SkinSystem> system;
    KeptSkinArguments kept;
};

TEST_F(SkinTest, TheEmbeddedSkinSetsTheColoursOfItsFile) {
    ASSERT_EQ(std::memcmp(embeddedSkinFile().data(), ".SHE", 4), 0);
    ASSERT_TRUE(system->mapEmbeddedLibrary());
    EXPECT_EQ(system->library().getHandle(), 0x10000000u);
    EXPECT_TRUE(system->colours().changed().empty());
    EXPECT_EQ(system->attachEmbeddedSkin(kept), 1u);
    const auto expected = coloursOf(embeddedSkinFile());
    EXPECT_EQ(expected.size(), 30u);
    EXPECT_EQ(system->colours().changed(), expected);
    EXPECT_EQ(*system->colours().get(13), 0x00808000u) << "highlight is teal, RGB(0,128,128)";
    EXPECT_EQ(kept.data, Bytes(embeddedSkinFile().begin(), embeddedSkinFile().end()));

    const SkinFigures& f = system->figures();
    std::cout << "[ figures  ] map " << f.mapTime.count() / 1000 << " us, " << f.mapInstructions
              << " guest instructions; attach " << f.attachTime.count() / 1000 << " us, "
              << f.attachInstructions << " guest instructions; library "
              << embeddedSkinLibrary().size() << " bytes, skin file " << embeddedSkinFile().size()
              << " bytes\n";
}

TEST_F(SkinTest, TheLibraryMovedOffItsPreferredBaseStillWorks) {
    ASSERT_EQ(system->space().allocate(0x10000000, 0x1000), 0x10000000u);
    ASSERT_TRUE(system->mapEmbeddedLibrary());
    EXPECT_NE(system->library().getHandle(), 0x10000000u);
    EXPECT_EQ(system->attachEmbeddedSkin(kept), 1u);
    EXPECT_EQ(system->colours().changed(), coloursOf(embeddedSkinFile()));
}

TEST_F(SkinTest, TheExportRefusesUntilTheEntryPointRanForProcessAttach) {
    Bytes image(embeddedSkinLibrary().begin(), embeddedSkinLibrary().end());
    // Without the library flag the loader maps the image but runs no entry point.
    std::uint32_t lfanew;
    std::memcpy(&lfanew, &image[60], 4);
    image[lfanew + 23] &= ~0x20;
    MemoryLibrary& lib = system->library();
    ASSERT_TRUE(lib.loadFromMemory(image));
    auto guest = system->guestSkinFile();
    EXPECT_EQ(attachSkin(lib, system->declarations(), kept, guest), 0u);
    EXPECT_TRUE(system->colours().changed().empty());
    const std::uint32_t attach[] = {0, 1, 0}, detach[] = {0, 0, 0};
    ASSERT_EQ(system->space().call(lib.getEntryPoint(), attach).value, 1u);
    EXPECT_EQ(attachSkin(lib, system->declarations(), kept, guest), 1u);
    EXPECT_FALSE(system->colours().changed().empty());
    ASSERT_TRUE(system->space().call(lib.getEntryPoint(), detach).ok);
    EXPECT_EQ(attachSkin(lib, system->declarations(), kept, guest), 0u);
}

TEST_F(SkinTest, MalformedSkinFilesChangeNothing) {
    ASSERT_TRUE(system->mapEmbeddedLibrary());
    auto withByte = [](Bytes b, std::size_t at, std::uint8_t v) {
        b[at] = v;
        return b;
    };
    const Bytes good = skinFile({{"window", 0x00112233}});
    struct Row {
        const char* what;
        Bytes file;
    } rows[] = {
        {"empty", {}},
        {"header only, too short", Bytes(good.begin(), good.begin() + 7)},
        {"bad magic", withByte(good, 1, 's')},
        {"version 2", withByte(good, 4, 2)},
        {"65 entries", withByte(good, 6, 65)},
        {"more entries than bytes", withByte(good, 6, 2)},
        {"title longer than the file", withByte(good, 8, 200)},
        {"name length 0", withByte(good, 10, 0)},
        {"name length 32", withByte(good, 10, 32)},
        {"colour with a high byte", withByte(good, good.size() - 1, 1)},
        {"truncated colour", Bytes(good.begin(), good.end() - 1)},
        {"a trailing byte",
         [&] {
             Bytes b = good;
             b.push_back(0);
             return b;
         }()},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(attachSkin(system->library(), system->declarations(), kept, rows[i].file), 0u)
            << "row " << i << ": " << rows[i].what;
        EXPECT_TRUE(system->colours().changed().empty()) << "row " << i << ": " << rows[i].what;
    }
    EXPECT_EQ(attachSkin(system->library(), system->declarations(), kept, good), 1u)
        << "the unpatched file";
    EXPECT_EQ(system->colours().changed(), (std::map<int, std::uint32_t>{{5, 0x112233}}));
}

TEST_F(SkinTest, UnknownNamesAreSkippedAndTheLaterOfTwoColoursWins) {
    ASSERT_TRUE(system->mapEmbeddedLibrary());
    Bytes f = skinFile(
        {{"buttonface", 1}, {"sparkle", 2}, {"Window", 3}, {"buttonface", 4}, {"menubar", 5}});
    EXPECT_EQ(attachSkin(system->library(), system->declarations(), kept, f, "secret", {7, 8, 9}),
              1u);
    EXPECT_EQ(system->colours().changed(), (std::map<int, std::uint32_t>{{15, 4}, {30, 5}}));
    EXPECT_EQ(kept.libraryValues, (SkinLibraryValues{7, 8, 9}));
}

// A stand-in SkinH_AttachRes that logs its six arguments and the bytes of
// the password, to see exactly how attachSkin calls it.
struct AttachCallTest : ::testing::Test {
    void SetUp() override {
        log = layer.space->allocate(0, 0x1000);
        PeWriter w;
        w.imageBase = 0x31000000;
        // mov ecx,[log]; inc dword [log]; copy six args to log+4+24*n; mov eax,0x55; ret 24
        Code c = bytes({0x8B, 0x0D});
        put32(c, log);
        c = c + bytes({0xFF, 0x05});
        put32(c, log);
        c = c + bytes({0x6B, 0xC9, 0x18});  // imul ecx, ecx, 24
        for (int k = 0; k < 6; ++k) {
            c = c + loadArg(k) + bytes({0x89, 0x81});  // mov [ecx + log + 4 + 4k], eax
            put32(c, log + 4 + 4 * k);
        }
        w.place(0x1000, c + movEaxImm(0x55) + retN(24));
        w.exports = {{"SkinH_AttachRes", 0x1000, ""}};
        image = w.build();
    }
    std::vector<std::uint32_t> call(int n) const {
        auto* p = reinterpret_cast<const std::uint32_t*>(std::uintptr_t(log + 4 + 24 * n));
        return {p, p + 6};
    }
    std::uint32_t calls() const {
        return *reinterpret_cast<const std::uint32_t*>(std::uintptr_t(log));
    }

    Layer layer;
    GuestAddress log = 0;
    Bytes image;
    KeptSkinArguments kept;
};

TEST_F(AttachCallTest, CallsTheExportOnceWithDataLengthPasswordAndNumbers) {
    MemoryLibrary lib(*layer.declarations);
    ASSERT_TRUE(lib.loadFromMemory(image));
    Bytes data(15562, 0xAB);
    GuestAddress guestData = layer.put(data.data(), data.size());
    std::span<const std::uint8_t> inGuest(
        reinterpret_cast<const std::uint8_t*>(std::uintptr_t(guestData)), data.size());

    EXPECT_EQ(attachSkin(lib, *layer.declarations, kept, inGuest), 0x55u);
    ASSERT_EQ(calls(), 1u);
    EXPECT_EQ(call(0), (std::vector<std::uint32_t>{guestData, 15562, 0, 0, 0, 0}));

    EXPECT_EQ(attachSkin(lib, *layer.declarations, kept, inGuest, "pw", {1, 2, 3}), 0x55u);
    ASSERT_EQ(calls(), 2u);
    std::vector<std::uint32_t> second = call(1);
    EXPECT_EQ(second[0], guestData);
    EXPECT_NE(second[2], 0u);
    EXPECT_EQ((std::vector<std::uint32_t>{second[3], second[4], second[5]}),
              (std::vector<std::uint32_t>{1, 2, 3}));
    EXPECT_EQ(kept.data, data);
    EXPECT_EQ(kept.libraryValues[2], 3u);

    // Host data (above 4 GiB) reaches the library as a guest copy.
    EXPECT_EQ(attachSkin(lib, *layer.declarations, kept, data), 0x55u);
    std::vector<std::uint32_t> third = call(2);
    EXPECT_NE(third[0], 0u);
    EXPECT_EQ(third[1], 15562u);
    EXPECT_EQ(third[2], 0u);
}

TEST_F(AttachCallTest, HostDataLargerThanTheScratchAreaStillReachesTheLibrary) {
    MemoryLibrary lib(*layer.declarations);
    ASSERT_TRUE(lib.loadFromMemory(image));
    Bytes big(1 << 20, 0xCD);
    EXPECT_EQ(attachSkin(lib, *layer.declarations, kept, big, "pw"), 0x55u);
    ASSERT_EQ(calls(), 1u);
    EXPECT_NE(call(0)[0], 0u);
    EXPECT_EQ(call(0)[1], 1u << 20);
    EXPECT_NE(call(0)[2], 0u);
}

TEST_F(AttachCallTest, NoExportMeansNoCall) {
    MemoryLibrary empty(*layer.declarations);
    Bytes data{1, 2, 3};
    EXPECT_EQ(attachSkin(empty, *layer.declarations, kept, data, {}, {4, 5, 6}), 0u);
    EXPECT_EQ(kept.data, data) << "the arguments are kept even so";
    EXPECT_EQ(kept.libraryValues[0], 4u);
    PeWriter w;
    w.imageBase = 0x31000000;
    w.exports = {{"SomethingElse", 0x1000, ""}};
    w.place(0x1000, retN(24));
    MemoryLibrary other(*layer.declarations);
    ASSERT_TRUE(other.loadFromMemory(w.build()));
    EXPECT_EQ(attachSkin(other, *layer.declarations, kept, data), 0u);
    EXPECT_EQ(calls(), 0u);
}

}  // namespace

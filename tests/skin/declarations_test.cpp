// Declared functions: the search order through the library layer, caching,
// the fatal reports, the argument-count check and AddressOf.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/skin/fakes.h"
#include "tests/support/gbk_literal.h"

using namespace skin;
using namespace skin_test;

namespace {

std::string describe(const LibraryEvent& e) {
    switch (e.kind) {
        case LibraryEvent::Kind::Load: return "load " + e.library + (e.result ? "" : " failed");
        case LibraryEvent::Kind::Lookup:
            return "lookup " + e.library + " " + e.key + (e.result ? " found" : " missing");
        case LibraryEvent::Kind::Release: return "release " + e.library;
    }
    return {};
}

struct Logged : Layer {
    Logged(std::vector<Declaration> t = programDeclarations(), LibraryDirectories d = {})
        : Layer(std::move(t), std::move(d)) {
        libraries->setEventLog([this](const LibraryEvent& e) { events.push_back(describe(e)); });
    }
    ~Logged() { libraries->setEventLog(nullptr); }  // releases at teardown outlive `events`
    std::vector<std::string> events;
};

using Events = std::vector<std::string>;

TEST(Declarations, AFunctionWithoutLibraryIsSearchedThroughTheDefaultListAndCached) {
    Logged l;
    std::uint32_t handleCell = 0;
    GuestAddress handles = l.put(&handleCell, 4);
    // No handle: the wait fails at once (and is resolved on the way).
    EXPECT_EQ(
        l.declarations->call(Decl::MsgWaitForMultipleObjects, {1, handles, 0, kInfinite, 0xFF}),
        kWaitFailed);
    EXPECT_EQ(
        l.events,
        (Events{"load Kernel32.dll", "lookup Kernel32.dll MsgWaitForMultipleObjects missing",
                "lookup Kernel32.dll MsgWaitForMultipleObjectsA missing", "release Kernel32.dll",
                "load Gdi32.dll", "lookup Gdi32.dll MsgWaitForMultipleObjects missing",
                "lookup Gdi32.dll MsgWaitForMultipleObjectsA missing", "release Gdi32.dll",
                "load User32.dll", "lookup User32.dll MsgWaitForMultipleObjects found"}));
    l.events.clear();
    l.declarations->call(Decl::MsgWaitForMultipleObjects, {1, handles, 0, kInfinite, 0xFF});
    EXPECT_TRUE(l.events.empty()) << "later calls use the cached address";
}

TEST(Declarations, ANamedLibraryIsLoadedAfterTheDirectoryCandidates) {
    Logged plain;
    std::uint32_t timer = plain.declarations->call(Decl::CreateWaitableTimerA, {0, 0, 0});
    plain.events.clear();
    EXPECT_EQ(plain.declarations->call(Decl::CloseHandle, {timer}), 1u);
    EXPECT_EQ(plain.events, (Events{"load kernel32", "lookup Kernel32.dll CloseHandle found"}));

    Logged withDirs(programDeclarations(),
                    LibraryDirectories{"D:\\libs\\", "C:\\prog", "E:\\more\\"});
    withDirs.declarations->call(Decl::CloseHandle, {0x1234});
    EXPECT_EQ(withDirs.events,
              (Events{"load D:\\libs\\kernel32 failed", "load C:\\prog\\kernel32 failed",
                      "load E:\\more\\kernel32 failed", "load kernel32",
                      "lookup Kernel32.dll CloseHandle found"}));
}

TEST(Declarations, ModuleNamesIgnoreCaseAndMayOmitTheExtension) {
    Layer l;
    for (const char* name : {"kernel32", "KERNEL32.DLL", "Kernel32.dll", "kErNeL32"})
        EXPECT_NE(l.libraries->load(name), 0u) << name;
    for (const char* name :
         {"kernel32.exe", "kernel", "C:\\Windows\\kernel32.dll", "", "kernel32.dll.dll"})
        EXPECT_EQ(l.libraries->load(name), 0u) << name;
    std::uint32_t k = l.libraries->load("kernel32");
    EXPECT_EQ(l.libraries->lookup(k, "lstrcpyn"), 0u) << "GetProcAddress matches names exactly";
    EXPECT_NE(l.libraries->lookup(k, "lstrcpynA"), 0u);
    EXPECT_EQ(l.libraries->lookup(k, "closehandle"), 0u);
    EXPECT_EQ(l.libraries->lookupOrdinal(k, 1), l.libraries->lookup(k, "CloseHandle"));
    EXPECT_EQ(l.libraries->lookupOrdinal(k, 0), 0u);
    EXPECT_EQ(l.libraries->lookupOrdinal(k, 999), 0u);
}

TEST(Declarations, TheDeclaredNameLstrcpynResolvesToTheAnsiExport) {
    Logged l;
    char text[] = "abc";
    GuestAddress p = l.put(text, sizeof text);
    EXPECT_EQ(l.declarations->call(Decl::AddressOfText, {p, p, 0}), p);
    EXPECT_EQ(l.events, (Events{"load Kernel32.dll", "lookup Kernel32.dll lstrcpyn missing",
                                "lookup Kernel32.dll lstrcpynA found"}));
}

TEST(Declarations, OrdinalNamesUseTheLow16BitsOfTheNumber) {
    Logged l(std::vector<Declaration>{
        {"user32", "#65539"}, {"user32", "#1"}});  // GetSysColor is ordinal 1, SetSysColors 3
    l.libraries->colours().set(5, 0x123456);
    EXPECT_EQ(l.declarations->call(1, std::vector<std::uint32_t>{5}), 0x123456u);
    EXPECT_EQ(l.events.back(), "lookup User32.dll #1 found");
    l.events.clear();
    EXPECT_EQ(l.declarations->call(0, std::vector<std::uint32_t>{0, 0, 0}), 1u)
        << "SetSysColors with no colours";
    EXPECT_EQ(l.events.back(), "lookup User32.dll #3 found");
}

TEST(Declarations, UnresolvableNamesAreFatalWithTheirReport) {
    struct Case {
        Declaration declaration;
        std::string expected;  // UTF-8
        Events events;
    } cases[] = {
        {{"", "NoSuchExport"},
         "无法找到指定DLL库文件中的输出命令“NoSuchExport”",
         {"load Kernel32.dll",
          "lookup Kernel32.dll NoSuchExport missing",
          "lookup Kernel32.dll NoSuchExportA missing",
          "release Kernel32.dll",
          "load Gdi32.dll",
          "lookup Gdi32.dll NoSuchExport missing",
          "lookup Gdi32.dll NoSuchExportA missing",
          "release Gdi32.dll",
          "load User32.dll",
          "lookup User32.dll NoSuchExport missing",
          "lookup User32.dll NoSuchExportA missing",
          "release User32.dll",
          "load Advapi32.dll",
          "lookup Advapi32.dll NoSuchExport missing",
          "lookup Advapi32.dll NoSuchExportA missing",
          "release Advapi32.dll",
          "load Mpr.dll",
          "lookup Mpr.dll NoSuchExport missing",
          "lookup Mpr.dll NoSuchExportA missing",
          "release Mpr.dll",
          "load Shell32.dll",
          "lookup Shell32.dll NoSuchExport missing",
          "lookup Shell32.dll NoSuchExportA missing",
          "release Shell32.dll"}},
        {{"kernel32", "SetSysColors"},
         "无法找到指定DLL库文件“kernel32”中的输出命令“SetSysColors”",
         {"load kernel32", "lookup Kernel32.dll SetSysColors missing",
          "lookup Kernel32.dll SetSysColorsA missing", "release Kernel32.dll"}},
        {{"nosuch.dll", "CloseHandle"},
         "无法找到指定DLL库文件“nosuch.dll”中的输出命令“CloseHandle”",
         {"load nosuch.dll failed"}},
        {{"C:\\kernel32", "CloseHandle"},
         "无法找到指定DLL库文件“C:\\kernel32”中的输出命令“CloseHandle”",
         {"load C:\\kernel32 failed"}},
        {{"user32", "#77"},
         "无法找到指定DLL库文件“user32”中的输出命令“#77”",
         {"load user32", "lookup User32.dll #77 missing", "release User32.dll"}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        Logged l(std::vector<Declaration>{cases[i].declaration});
        try {
            l.declarations->call(0, std::vector<std::uint32_t>{});
            ADD_FAILURE() << "case " << i << ": no fatal report";
        } catch (const FatalError& e) {
            EXPECT_EQ(e.number, 0) << "case " << i;
            EXPECT_EQ(U(e.message), cases[i].expected) << "case " << i;
        }
        EXPECT_EQ(l.events, cases[i].events) << "case " << i;
    }
}

TEST(Declarations, AnArgumentCountOtherThanTheFunctionsIsStackError6) {
    Layer l;
    for (auto args : {std::vector<std::uint32_t>{}, std::vector<std::uint32_t>{1, 2}}) {
        try {
            l.declarations->call(int(Decl::CloseHandle), args);
            ADD_FAILURE() << args.size() << " arguments: no fatal report";
        } catch (const FatalError& e) {
            EXPECT_EQ(e.number, 6);
            EXPECT_EQ(U(e.message), "调用DLL命令后发现堆栈错误");
        }
    }
    // Declarations 7..20 share RtlMoveMemory and VirtualAlloc's counts.
    std::uint32_t a = 1, b = 0;
    GuestAddress pa = l.put(&a, 4), pb = l.put(&b, 4);
    l.declarations->call(Decl::ReadWord, {pb, pa, 4});
    EXPECT_EQ(*reinterpret_cast<std::uint32_t*>(std::uintptr_t(pb)), 1u);
    EXPECT_THROW(l.declarations->call(Decl::AllocateImage, {0, 0x1000, 0x3000}), FatalError);
}

TEST(Declarations, AddressOfGivesTheFirstByteOrZero) {
    Layer l;
    char text[] = "password";
    GuestAddress p = l.put(text, sizeof text);
    auto* guestText = reinterpret_cast<const char*>(std::uintptr_t(p));
    EXPECT_EQ(l.declarations->addressOfText(std::string_view(guestText, 8)), p);
    EXPECT_EQ(l.declarations->addressOfText(std::string_view(guestText + 3, 5)), p + 3);
    EXPECT_EQ(l.declarations->addressOfText({}), 0u);
    auto* guestBytes = reinterpret_cast<const std::uint8_t*>(guestText);
    EXPECT_EQ(l.declarations->addressOf(std::span(guestBytes, 4)), p);
    EXPECT_EQ(l.declarations->addressOf(std::span(guestBytes, 0)), 0u);
    // A host value has no 32-bit address.
    std::vector<std::uint8_t> host(16, 1);
    EXPECT_EQ(l.declarations->addressOf(host), 0u);
    EXPECT_STREQ(guestText, "password") << "a zero-length lstrcpyn copies nothing";
}

TEST(SystemLayer, MemoryFunctionsStayInsideGuestMemory) {
    Layer l;
    auto& d = *l.declarations;
    GuestAddress r = d.call(Decl::AllocateImage, {0, 0x2000, 0x3000, 0x40});
    ASSERT_NE(r, 0u);
    std::uint8_t* p = l.space->pointer(r, 0x2000);
    p[0] = 7;
    d.call(Decl::CopyIntoImage, {r + 0x1000, r, 1});
    EXPECT_EQ(p[0x1000], 7);
    // Out of range: nothing is copied and the call yields 0.
    EXPECT_EQ(d.call(Decl::CopyIntoImage, {r + 0x1FFF, r, 2}), 0u);
    EXPECT_EQ(d.call(Decl::CopyIntoImage, {0x10, r, 1}), 0u);
    // lstrcpynA copies n - 1 bytes and a NUL, and survives bad addresses.
    std::memcpy(p, "abcdef", 7);
    EXPECT_EQ(d.call(Decl::AddressOfImage, {r + 0x100, r, 4}), r + 0x100);
    EXPECT_STREQ(reinterpret_cast<char*>(p + 0x100), "abc");
    EXPECT_EQ(d.call(Decl::AddressOfImage, {0x10, r, 4}), 0u);
    // VirtualFree releases only whole regions with size 0.
    EXPECT_EQ(d.call(Decl::ReleaseImage, {r, 0x2000, 0x8000}), 0u);
    EXPECT_EQ(d.call(Decl::ReleaseImage, {r + 0x1000, 0, 0x8000}), 0u);
    EXPECT_EQ(d.call(Decl::ReleaseImage, {r, 0, 0x8000}), 1u);
    EXPECT_FALSE(l.space->contains(r, 1));
    EXPECT_EQ(d.call(Decl::ReleaseImage, {r, 0, 0x8000}), 0u);
}

TEST(SystemLayer, SetSysColorsChangesAllOrNothing) {
    Layer l;
    SystemColours& c = l.libraries->colours();
    std::uint32_t k = l.libraries->load("user32");
    GuestAddress set = l.libraries->lookup(k, "SetSysColors");
    std::int32_t idx[] = {15, 5, 40};
    std::uint32_t rgb[] = {0xFF112233, 0x00ABCDEF, 0x0};
    GuestAddress pi = l.put(idx, sizeof idx), pc = l.put(rgb, sizeof rgb);
    // The layer's functions are as callable from guest code as from the host.
    auto bad = l.space->call(set, std::vector<std::uint32_t>{3, pi, pc});
    ASSERT_TRUE(bad.ok);
    EXPECT_EQ(bad.value, 0u);
    EXPECT_TRUE(c.changed().empty());
    auto good = l.space->call(set, std::vector<std::uint32_t>{2, pi, pc});
    ASSERT_TRUE(good.ok);
    EXPECT_EQ(good.value, 1u);
    EXPECT_EQ(c.changed(), (std::map<int, std::uint32_t>{{5, 0xABCDEF}, {15, 0x112233}}));
    EXPECT_EQ(
        l.space->call(l.libraries->lookup(k, "GetSysColor"), std::vector<std::uint32_t>{15}).value,
        0x112233u);
    EXPECT_FALSE(l.space->call(set, std::vector<std::uint32_t>{2, 0x10, pc}).ok)
        << "unreadable arrays fault";
}

}  // namespace

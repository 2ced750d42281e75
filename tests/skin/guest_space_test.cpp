// Running i386 code: the ten-argument calling frame, both cleaning
// conventions, host thunks, and bad code ending in a bounded failure.
#include <gtest/gtest.h>

#include <cstring>

#include "skin/guest_space.h"
#include "tests/skin/i386_code.h"

using namespace skin;
using namespace skin_test;

namespace {

class GuestSpaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        space = GuestSpace::create();
        ASSERT_TRUE(space);
        codeBase = space->allocate(0, 0x1000);
        ASSERT_NE(codeBase, 0u);
    }
    GuestAddress place(const Code& code, std::uint32_t offset = 0) {
        std::memcpy(space->pointer(codeBase + offset, code.size()), code.data(), code.size());
        space->codeChanged(codeBase + offset, std::uint32_t(code.size()));
        return codeBase + offset;
    }
    GuestCallResult run(const Code& code, std::vector<std::uint32_t> args) {
        return space->call(place(code), args);
    }

    std::unique_ptr<GuestSpace> space;
    GuestAddress codeBase = 0;
};

TEST_F(GuestSpaceTest, RegionsAreRealLowAddressesSharedWithTheGuest) {
    GuestAddress a = space->allocate(0, 100);
    ASSERT_NE(a, 0u);
    EXPECT_EQ(a % GuestSpace::kPageSize, 0u);
    auto* host = reinterpret_cast<std::uint32_t*>(std::uintptr_t(a));
    host[0] = 0xCAFEF00D;  // written by the host, read by the guest
    auto r = run(loadAbsolute(a) + ret(), {});
    ASSERT_TRUE(r.ok) << r.failure;
    EXPECT_EQ(r.value, 0xCAFEF00Du);
    EXPECT_TRUE(space->contains(a, GuestSpace::kPageSize));
    EXPECT_FALSE(space->contains(a, GuestSpace::kPageSize + 1));
    EXPECT_TRUE(space->release(a));
    EXPECT_FALSE(space->contains(a, 1));
    EXPECT_FALSE(space->release(a));
    // Released memory is gone for the guest too.
    EXPECT_FALSE(run(loadAbsolute(a) + ret(), {}).ok);
}

TEST_F(GuestSpaceTest, PreferredAddressIsUsedWhenFreeAndRefusedWhenTaken) {
    const GuestAddress wanted = 0x3A000000;
    GuestAddress a = space->allocate(wanted + 0x1234, 0x2000);  // rounded down to 64 KiB
    ASSERT_EQ(a, wanted);
    EXPECT_EQ(space->allocate(wanted, 0x1000), 0u);
    EXPECT_EQ(space->allocate(0xFFFF0000, 0x20000), 0u);  // would cross 4 GiB
    EXPECT_EQ(space->allocate(0x1000, 0x1000), 0u);       // below the lowest usable address
    EXPECT_TRUE(space->release(a));
}

TEST_F(GuestSpaceTest, EveryOneOfTheTenArgumentsArrivesInOrder) {
    const std::vector<std::uint32_t> args{11, 22, 33, 44, 55, 66, 77, 88, 99, 110};
    for (int n = 0; n < 10; ++n) {
        auto r = run(loadArg(n) + ret(), args);
        ASSERT_TRUE(r.ok) << "argument " << n << ": " << r.failure;
        EXPECT_EQ(r.value, args[n]) << "argument " << n;
    }
    // Missing arguments are 0.
    auto r = run(loadArg(9) + ret(), {1, 2, 3});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.value, 0u);
}

TEST_F(GuestSpaceTest, CalleeCleansAndCallerCleansBothReturn) {
    const Code sum3 = loadArg(0) + addArg(1) + addArg(2);
    auto stdcall = run(sum3 + retN(12), {1, 20, 300});
    ASSERT_TRUE(stdcall.ok) << stdcall.failure;
    EXPECT_EQ(stdcall.value, 321u);
    auto cdecl = run(sum3 + ret(), {1, 20, 300});
    ASSERT_TRUE(cdecl.ok) << cdecl.failure;
    EXPECT_EQ(cdecl.value, 321u);
    // A procedure removing all ten stack arguments, and then one after the other.
    auto ten = run(loadArg(9) + retN(40), {0, 0, 0, 0, 0, 0, 0, 0, 0, 7});
    ASSERT_TRUE(ten.ok);
    EXPECT_EQ(ten.value, 7u);
    EXPECT_TRUE(run(movEaxImm(5) + ret(), {}).ok);
}

TEST_F(GuestSpaceTest, BadCodeEndsTheCallWithAFailure) {
    space->setInstructionLimit(100000);
    struct Case {
        const char* what;
        Code code;
    } cases[] = {
        {"endless loop", bytes({0xEB, 0xFE})},
        {"invalid instruction", bytes({0x0F, 0x0B})},
        {"jump to unmapped memory", movEaxImm(0x100) + bytes({0xFF, 0xE0})},
        {"read of unmapped memory", loadAbsolute(0x20) + ret()},
        {"write of unmapped memory", bytes({0xA3, 0x20, 0, 0, 0, 0xC3})},
        {"breakpoint", bytes({0xCC})},
        {"unknown interrupt", bytes({0xCD, 0x21})},
        {"int 0x80 outside the thunks", bytes({0xCD, 0x80, 0xC3})},
        {"divide by zero", bytes({0x31, 0xC9, 0xF7, 0xF1, 0xC3})},
        {"return into nowhere", bytes({0x6A, 0x20, 0xC3})},
        // mov eax, cr0; or eax, 0x80000000; mov cr0, eax: paging on, no page tables
        {"paging switched on",
         bytes({0x0F, 0x20, 0xC0, 0x0D, 0, 0, 0, 0x80, 0x0F, 0x22, 0xC0, 0xC3})},
        {"halt", bytes({0xF4, 0xC3})},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        auto r = run(cases[i].code, {1, 2, 3});
        EXPECT_FALSE(r.ok) << "case " << i << " (" << cases[i].what << ")";
        EXPECT_FALSE(r.failure.empty()) << "case " << i;
        // The space stays usable after each failure.
        auto good = run(movEaxImm(42) + ret(), {});
        ASSERT_TRUE(good.ok) << "after case " << i << ": " << good.failure;
        EXPECT_EQ(good.value, 42u);
    }
}

TEST_F(GuestSpaceTest, ThunksCallHostProceduresWithStdcallArguments) {
    std::vector<std::uint32_t> seen;
    GuestAddress sub =
        space->addThunk(2, [&](std::span<const std::uint32_t> a) -> std::optional<std::uint32_t> {
            seen.assign(a.begin(), a.end());
            return a[0] - a[1];
        });
    ASSERT_TRUE(space->isThunk(sub));
    // push 3; push 10; call [slot]; add eax, 1; ret  -- the thunk must pop its
    // two arguments or the final ret returns into them.
    GuestAddress slot = codeBase + 0x800;
    std::memcpy(space->pointer(slot, 4), &sub, 4);
    Code caller =
        pushImm8(3) + pushImm8(10) + callIndirect(slot) + bytes({0x83, 0xC0, 0x01}) + ret();
    auto r = run(caller, {});
    ASSERT_TRUE(r.ok) << r.failure;
    EXPECT_EQ(r.value, 8u);
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{10, 3}));
    // Called directly by address as well.
    auto direct = space->call(sub, std::vector<std::uint32_t>{50, 8});
    ASSERT_TRUE(direct.ok);
    EXPECT_EQ(direct.value, 42u);
}

TEST_F(GuestSpaceTest, AHostProcedureFaultOrExceptionEndsTheGuestCall) {
    GuestAddress faulting = space->addThunk(
        0, [](std::span<const std::uint32_t>) { return std::optional<std::uint32_t>(); });
    auto r = space->call(faulting, {});
    EXPECT_FALSE(r.ok);
    GuestAddress throwing =
        space->addThunk(0, [](std::span<const std::uint32_t>) -> std::optional<std::uint32_t> {
            throw std::runtime_error("reported");
        });
    EXPECT_THROW(space->call(throwing, {}), std::runtime_error);
    EXPECT_TRUE(run(movEaxImm(1) + ret(), {}).ok);
}

TEST_F(GuestSpaceTest, InstructionsAreCounted) {
    auto r = run(movEaxImm(1) + bytes({0x40, 0x40, 0x40}) + ret(), {});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.value, 4u);
    EXPECT_EQ(r.instructions, 5u);
    EXPECT_GE(space->instructionsRun(), 5u);
}

TEST_F(GuestSpaceTest, ScratchIsReleasedInLastInFirstOutOrder) {
    GuestAddress first, second;
    {
        auto a = space->scratch(10);
        ASSERT_TRUE(a);
        first = a.address();
        {
            auto b = space->scratch(10);
            second = b.address();
            EXPECT_GE(second, first + 10);
        }
        auto c = space->scratch(4);
        EXPECT_EQ(c.address(), second);
    }
    EXPECT_EQ(space->scratch(1).address(), first);
    EXPECT_FALSE(space->scratch(0x7FFFFFFF));
}

}  // namespace

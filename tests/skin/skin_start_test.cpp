// Starting the skin objects when the emulator cannot start or the skin
// library is refused: no skin, no end of the process, and the reason told
// exactly once.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "skin/skin_system.h"
#include "tests/skin/fakes.h"
#include "tests/support/sanitizers.h"

using namespace skin;
using namespace skin_test;

namespace {

using test_support::kAddressSanitizer;

struct SkinStartTest : ::testing::Test {
    NotAttachedReport report() {
        return [this](const std::string& why) { told.push_back(why); };
    }
    FakeEnvironment env;
    ThrowingReporter reporter;
    std::vector<std::string> told;
    KeptSkinArguments kept;
};

TEST_F(SkinStartTest, AnEmulatorThatCannotStartLeavesNoSkinAndIsToldOnce) {
    auto system = SkinSystem::create(env, reporter, report(), [](std::string& failure) {
        failure = "no room for the translation buffer";
        return std::unique_ptr<GuestSpace>();
    });
    EXPECT_FALSE(system);
    EXPECT_EQ(told, std::vector<std::string>{"no room for the translation buffer"});
}

TEST_F(SkinStartTest, ARefusedSkinLibraryIsToldOnceAndAttachesNothing) {
    // One guest instruction per call: the library's entry point cannot return.
    auto system = SkinSystem::create(env, reporter, report(), [](std::string& failure) {
        auto space = GuestSpace::create(failure);
        if (space) space->setInstructionLimit(1);
        return space;
    });
    ASSERT_TRUE(system);
    EXPECT_TRUE(told.empty());
    EXPECT_EQ(system->mapEmbeddedLibrary().error, ImageError::EntryPointFaulted);
    EXPECT_EQ(system->mapEmbeddedLibrary().error, ImageError::EntryPointFaulted);
    EXPECT_EQ(told,
              std::vector<std::string>{"the skin library was refused: entry point did not return"});
    EXPECT_EQ(system->attachEmbeddedSkin(kept), 0u);
    EXPECT_TRUE(system->colours().changed().empty());
}

// In a child process under the limit `ulimit -v 700000` sets: the skin
// either attaches (a library that takes a small translation buffer) or is
// refused with a reason; the emulator never ends the process itself (it
// exits with 1 when its buffer cannot be mapped).
TEST_F(SkinStartTest, UnderA700MBAddressSpaceLimitTheSkinAttachesOrSaysWhy) {
    if (kAddressSanitizer) GTEST_SKIP() << "AddressSanitizer reserves more address space";
    enum : int { kAttached = 10, kToldWhy = 11, kSilent = 12, kNoLimit = 13 };
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(pipeEnds[0]);
        const rlimit limit{700000ull * 1024, 700000ull * 1024};
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(kNoLimit);
        std::string why;
        auto system = SkinSystem::create(env, reporter, [&](const std::string& w) { why = w; });
        int code = kSilent;
        if (system && system->mapEmbeddedLibrary() && system->attachEmbeddedSkin(kept) == 1)
            code = kAttached;
        else if (!why.empty())
            code = kToldWhy;
        if (write(pipeEnds[1], why.data(), why.size()) < 0) code = kSilent;
        _exit(code);
    }
    close(pipeEnds[1]);
    std::string why;
    char buffer[256];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) why.append(buffer, n);
    close(pipeEnds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
    const int code = WEXITSTATUS(status);
    EXPECT_TRUE(code == kAttached || code == kToldWhy) << "exit " << code << ": " << why;
    std::cout << "[ skin     ] under 700000 KiB: "
              << (code == kAttached ? "attached" : "not attached: " + why) << "\n";
}

}  // namespace

// The 32-bit address space that i386 library code runs in.
//
// Every region lives below 4 GiB of this process, at the same address in one
// Unicorn i386 instance (shared page for page), so a guest address is a real
// pointer: host code reads and writes guest memory directly. One GuestSpace
// owns its regions, its emulator, a stack for guest calls, a scratch area for
// short-lived records the host hands to guest-visible functions, and a page of
// thunks through which guest code calls host procedures.
//
// Not thread-safe; used from the GUI thread only.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

struct uc_struct;
struct uc_context;

namespace skin {

using GuestAddress = std::uint32_t;

// A host procedure callable from guest code with stdcall arguments. nullopt
// means the procedure met an access fault: the guest call ends with a failure.
using HostProcedure =
    std::function<std::optional<std::uint32_t>(std::span<const std::uint32_t> args)>;

struct GuestCallResult {
    bool ok = false;          // the procedure returned to its caller
    std::uint32_t value = 0;  // EAX when ok, else 0
    std::uint64_t instructions = 0;
    std::string failure;  // why it did not return, when !ok
};

class GuestSpace {
  public:
    static constexpr std::uint32_t kPageSize = 0x1000;
    static constexpr int kCallArguments = 10;
    static constexpr std::uint64_t kDefaultInstructionLimit = 20'000'000;

    // Fails only when the emulator or the fixed regions cannot be set up;
    // then `failure` says why. Never ends the process (see emulator_start.h).
    static std::unique_ptr<GuestSpace> create(std::string& failure);
    static std::unique_ptr<GuestSpace> create() {
        std::string ignored;
        return create(ignored);
    }
    ~GuestSpace();
    GuestSpace(const GuestSpace&) = delete;
    GuestSpace& operator=(const GuestSpace&) = delete;

    // A zero-filled read/write/execute region of `size` bytes (rounded up to
    // pages). With `preferred` != 0 only that address (rounded down to 64 KiB)
    // is tried; with 0 any free low address. 0 on failure.
    GuestAddress allocate(GuestAddress preferred, std::uint32_t size);
    // Releases the region that starts at `base`; false when none does.
    bool release(GuestAddress base);
    // Host code that rewrites guest code which may have run already must say
    // so, or the emulator keeps running its old translation.
    void codeChanged(GuestAddress address, std::uint32_t length);
    // Whether [address, address + length) lies inside one region.
    bool contains(GuestAddress address, std::uint64_t length) const;
    // The host pointer for a guest range, nullptr unless contains().
    std::uint8_t* pointer(GuestAddress address, std::uint64_t length);
    // The guest address of host memory that lies inside a region.
    std::optional<GuestAddress> addressOf(const void* p, std::size_t length) const;
    // The region holding `address`: its base and size.
    std::optional<std::pair<GuestAddress, std::uint32_t>> regionOf(GuestAddress address) const;
    // Length of the NUL-terminated string at `address` (bounded by its region).
    std::optional<std::uint32_t> stringLength(GuestAddress address) const;

    // Scratch memory for records of one host operation, released in LIFO order.
    class Scratch {
      public:
        Scratch(Scratch&&) noexcept;
        Scratch& operator=(Scratch&&) = delete;
        ~Scratch();
        GuestAddress address() const { return address_; }
        std::uint8_t* data() const { return data_; }
        std::uint32_t size() const { return size_; }
        explicit operator bool() const { return data_ != nullptr; }

      private:
        friend class GuestSpace;
        Scratch(GuestSpace* owner, GuestAddress a, std::uint8_t* d, std::uint32_t s,
                std::uint32_t previousTop);
        GuestSpace* owner_;
        GuestAddress address_;
        std::uint8_t* data_;
        std::uint32_t size_;
        std::uint32_t previousTop_;
    };
    // Empty (false) when the scratch area is exhausted.
    Scratch scratch(std::uint32_t size);

    // A guest address that calls `procedure` with `argumentCount` stdcall
    // arguments and removes them from the guest stack on return. 0 when the
    // thunk page is full.
    GuestAddress addThunk(std::uint32_t argumentCount, HostProcedure procedure);
    bool isThunk(GuestAddress address) const;

    // Runs the i386 procedure at `procedure` with exactly ten stack arguments
    // (missing ones are 0) on the guest stack, which is reset for every call,
    // so callee-cleans and caller-cleans procedures of up to ten arguments
    // both work. Bounded: the instruction limit, unmapped or invalid memory,
    // invalid instructions and unknown interrupts end the call with a failure.
    GuestCallResult call(GuestAddress procedure, std::span<const std::uint32_t> arguments);

    void setInstructionLimit(std::uint64_t limit) { instructionLimit_ = limit; }
    // Guest instructions run by every call so far.
    std::uint64_t instructionsRun() const { return totalInstructions_; }

  private:
    struct Region;
    struct ThunkEntry {
        std::uint32_t argumentCount;
        HostProcedure procedure;
    };
    GuestSpace() = default;
    bool mapRegion(std::uintptr_t address, std::uint32_t size, bool fixed);
    void resetProcessor();
    void onInterrupt(std::uint32_t number);
    void onCode();
    void onInvalidMemory(std::uint64_t address);
    static void interruptHook(uc_struct*, std::uint32_t, void*);
    static void codeHook(uc_struct*, std::uint64_t, std::uint32_t, void*);
    static bool invalidMemoryHook(uc_struct*, int, std::uint64_t, int, std::int64_t, void*);

    uc_struct* uc_ = nullptr;
    // The processor as set up, restored after every call: guest code that
    // changes control or segment registers must not break the calls after it.
    uc_context* pristine_ = nullptr;
    std::uint64_t pristineControl_[3] = {};  // CR0, CR3, CR4
    std::map<GuestAddress, std::unique_ptr<Region>> regions_;
    GuestAddress stackBase_ = 0, stackSize_ = 0;
    GuestAddress scratchBase_ = 0, scratchSize_ = 0, scratchTop_ = 0;
    GuestAddress thunkBase_ = 0;
    std::uint32_t thunkCapacity_ = 0;
    std::vector<ThunkEntry> thunks_;

    bool running_ = false;
    std::uint64_t instructionLimit_ = kDefaultInstructionLimit;
    std::uint64_t callInstructions_ = 0;
    std::uint64_t totalInstructions_ = 0;
    std::string callFailure_;
    std::exception_ptr callException_;
};

}  // namespace skin

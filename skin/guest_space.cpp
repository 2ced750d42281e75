#include "skin/guest_space.h"

#include <sys/mman.h>
#include <unicorn/unicorn.h>

#include <algorithm>
#include <cstring>

#include "skin/emulator_start.h"

namespace skin {

namespace {

constexpr std::uint64_t k4GiB = 0x1'0000'0000ull;
constexpr std::uint32_t kAllocationGranularity = 0x10000;
constexpr std::uint32_t kLowestAddress = 0x10000;
constexpr std::uint32_t kStackSize = 0x100000;
constexpr std::uint32_t kScratchSize = 0x40000;
constexpr std::uint32_t kThunkAreaSize = 0x10000;
constexpr std::uint32_t kThunkBytes = 8;

std::uint32_t roundUpToPage(std::uint64_t size) {
    std::uint64_t r =
        (size + GuestSpace::kPageSize - 1) & ~std::uint64_t(GuestSpace::kPageSize - 1);
    return r >= k4GiB ? 0 : std::uint32_t(r);
}

// mmap at exactly `address`, never replacing an existing mapping.
void* mapExactly(std::uintptr_t address, std::size_t size) {
    void* p = mmap(reinterpret_cast<void*>(address), size, PROT_READ | PROT_WRITE | PROT_EXEC,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    if (reinterpret_cast<std::uintptr_t>(p) != address) {  // kernels that only take a hint
        munmap(p, size);
        return nullptr;
    }
    return p;
}

bool isLow(const void* p, std::size_t size) {
    auto a = reinterpret_cast<std::uintptr_t>(p);
    return a >= kLowestAddress && a + size <= k4GiB;
}

// Any free address below 4 GiB: MAP_32BIT first, then a hinted search.
void* mapAnywhereLow(std::size_t size) {
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE | PROT_EXEC,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    if (p != MAP_FAILED) {
        if (isLow(p, size)) return p;
        munmap(p, size);
    }
    for (std::uint64_t a = 0x01000000; a + size <= k4GiB; a += 0x01000000) {
        if (void* q = mapExactly(std::uintptr_t(a), size)) return q;
    }
    return nullptr;
}

}  // namespace

struct GuestSpace::Region {
    uc_engine* uc;
    GuestAddress base;
    std::uint32_t size;
    bool fixed;  // stack, scratch and thunks: never released by guest code
    ~Region() {
        uc_mem_unmap(uc, base, size);
        munmap(reinterpret_cast<void*>(std::uintptr_t(base)), size);
    }
};

std::unique_ptr<GuestSpace> GuestSpace::create(std::string& failure) {
    EmulatorStart emulator = openEmulator();
    if (!emulator.uc) {
        failure = std::move(emulator.failure);
        return nullptr;
    }
    std::unique_ptr<GuestSpace> s(new GuestSpace());
    s->uc_ = emulator.uc;
    uc_hook h;
    if (uc_hook_add(s->uc_, &h, UC_HOOK_INTR, reinterpret_cast<void*>(&GuestSpace::interruptHook),
                    s.get(), 1, 0) ||
        uc_hook_add(s->uc_, &h, UC_HOOK_CODE, reinterpret_cast<void*>(&GuestSpace::codeHook),
                    s.get(), 1, 0) ||
        uc_hook_add(s->uc_, &h, UC_HOOK_MEM_INVALID,
                    reinterpret_cast<void*>(&GuestSpace::invalidMemoryHook), s.get(), 1, 0)) {
        failure = "the emulator refused its hooks";
        return nullptr;
    }

    auto fixedRegion = [&](std::uint32_t size) -> GuestAddress {
        GuestAddress a = s->allocate(0, size);
        if (a) s->regions_.at(a)->fixed = true;
        return a;
    };
    s->stackBase_ = fixedRegion(kStackSize);
    s->stackSize_ = kStackSize;
    s->scratchBase_ = fixedRegion(kScratchSize);
    s->scratchSize_ = kScratchSize;
    s->thunkBase_ = fixedRegion(kThunkAreaSize);
    if (!s->stackBase_ || !s->scratchBase_ || !s->thunkBase_) {
        failure = "no memory below 4 GiB for the guest stack, scratch area and thunks";
        return nullptr;
    }
    // Slot 0 is where guest calls return to; reaching it ends the run.
    s->pointer(s->thunkBase_, 1)[0] = 0xF4;  // hlt, never executed
    s->thunkCapacity_ = kThunkAreaSize / kThunkBytes - 1;
    if (uc_context_alloc(s->uc_, &s->pristine_) != UC_ERR_OK) {
        s->pristine_ = nullptr;
        failure = "no memory for the emulator's processor state";
        return nullptr;
    }
    const int control[] = {UC_X86_REG_CR0, UC_X86_REG_CR3, UC_X86_REG_CR4};
    for (int i = 0; i < 3; ++i) uc_reg_read(s->uc_, control[i], &s->pristineControl_[i]);
    if (uc_context_save(s->uc_, s->pristine_) != UC_ERR_OK) {
        failure = "the emulator cannot save its processor state";
        return nullptr;
    }
    return s;
}

GuestSpace::~GuestSpace() {
    regions_.clear();
    if (pristine_) uc_context_free(pristine_);
    if (uc_) uc_close(uc_);
}

GuestAddress GuestSpace::allocate(GuestAddress preferred, std::uint32_t size) {
    std::uint32_t bytes = roundUpToPage(size);
    if (bytes == 0) return 0;
    void* p = nullptr;
    if (preferred != 0) {
        std::uint64_t base = preferred & ~(kAllocationGranularity - 1);
        if (base < kLowestAddress || base + bytes > k4GiB) return 0;
        p = mapExactly(std::uintptr_t(base), bytes);
    } else {
        p = mapAnywhereLow(bytes);
    }
    if (!p) return 0;
    auto base = GuestAddress(reinterpret_cast<std::uintptr_t>(p));
    if (uc_mem_map_ptr(uc_, base, bytes, UC_PROT_ALL, p) != UC_ERR_OK) {
        munmap(p, bytes);
        return 0;
    }
    regions_[base].reset(new Region{uc_, base, bytes, false});
    codeChanged(base, bytes);  // translations of an earlier region here are stale
    return base;
}

bool GuestSpace::release(GuestAddress base) {
    auto it = regions_.find(base);
    if (it == regions_.end() || it->second->fixed) return false;
    codeChanged(base, it->second->size);
    regions_.erase(it);
    return true;
}

void GuestSpace::codeChanged(GuestAddress address, std::uint32_t length) {
    std::uint64_t end = std::min<std::uint64_t>(std::uint64_t(address) + length, k4GiB - 1);
    uc_ctl_remove_cache(uc_, std::uint64_t(address), end);
}

bool GuestSpace::contains(GuestAddress address, std::uint64_t length) const {
    auto it = regions_.upper_bound(address);
    if (it == regions_.begin()) return false;
    --it;
    std::uint64_t end = std::uint64_t(it->second->base) + it->second->size;
    return address < end && std::uint64_t(address) + length <= end;
}

std::uint8_t* GuestSpace::pointer(GuestAddress address, std::uint64_t length) {
    if (!contains(address, length)) return nullptr;
    return reinterpret_cast<std::uint8_t*>(std::uintptr_t(address));
}

std::optional<GuestAddress> GuestSpace::addressOf(const void* p, std::size_t length) const {
    auto a = reinterpret_cast<std::uintptr_t>(p);
    if (a >= k4GiB || !contains(GuestAddress(a), length)) return std::nullopt;
    return GuestAddress(a);
}

std::optional<std::pair<GuestAddress, std::uint32_t>> GuestSpace::regionOf(
    GuestAddress address) const {
    auto it = regions_.upper_bound(address);
    if (it == regions_.begin()) return std::nullopt;
    --it;
    if (std::uint64_t(address) >= std::uint64_t(it->second->base) + it->second->size)
        return std::nullopt;
    return std::pair{it->second->base, it->second->size};
}

std::optional<std::uint32_t> GuestSpace::stringLength(GuestAddress address) const {
    auto region = regionOf(address);
    if (!region) return std::nullopt;
    std::uint64_t end = std::uint64_t(region->first) + region->second;
    const auto* s = reinterpret_cast<const char*>(std::uintptr_t(address));
    const void* nul = std::memchr(s, 0, std::size_t(end - address));
    if (!nul) return std::nullopt;
    return std::uint32_t(static_cast<const char*>(nul) - s);
}

GuestSpace::Scratch::Scratch(GuestSpace* owner, GuestAddress a, std::uint8_t* d, std::uint32_t s,
                             std::uint32_t previousTop)
    : owner_(owner), address_(a), data_(d), size_(s), previousTop_(previousTop) {}

GuestSpace::Scratch::Scratch(Scratch&& o) noexcept
    : owner_(o.owner_),
      address_(o.address_),
      data_(o.data_),
      size_(o.size_),
      previousTop_(o.previousTop_) {
    o.data_ = nullptr;
}

GuestSpace::Scratch::~Scratch() {
    if (data_) owner_->scratchTop_ = previousTop_;
}

GuestSpace::Scratch GuestSpace::scratch(std::uint32_t size) {
    std::uint64_t bytes = (std::uint64_t(size) + 15) & ~std::uint64_t(15);
    if (bytes == 0) bytes = 16;
    if (scratchTop_ + bytes > scratchSize_) return Scratch(this, 0, nullptr, 0, scratchTop_);
    GuestAddress a = scratchBase_ + scratchTop_;
    std::uint8_t* d = pointer(a, bytes);
    std::memset(d, 0, bytes);
    std::uint32_t previous = scratchTop_;
    scratchTop_ += std::uint32_t(bytes);
    return Scratch(this, a, d, size, previous);
}

GuestAddress GuestSpace::addThunk(std::uint32_t argumentCount, HostProcedure procedure) {
    if (thunks_.size() >= thunkCapacity_ || argumentCount > 0x3FFF) return 0;
    GuestAddress a = thunkBase_ + kThunkBytes * std::uint32_t(thunks_.size() + 1);
    std::uint32_t popBytes = 4 * argumentCount;
    const std::uint8_t code[kThunkBytes] = {0xCD,
                                            0x80,  // int 0x80: the host procedure runs here
                                            0xC2,
                                            std::uint8_t(popBytes),
                                            std::uint8_t(popBytes >> 8),  // ret n
                                            0x90,
                                            0x90,
                                            0x90};
    std::memcpy(pointer(a, kThunkBytes), code, kThunkBytes);
    codeChanged(a, kThunkBytes);
    thunks_.push_back({argumentCount, std::move(procedure)});
    return a;
}

bool GuestSpace::isThunk(GuestAddress address) const {
    if (address <= thunkBase_ || (address - thunkBase_) % kThunkBytes != 0) return false;
    return (address - thunkBase_) / kThunkBytes <= thunks_.size();
}

GuestCallResult GuestSpace::call(GuestAddress procedure, std::span<const std::uint32_t> arguments) {
    GuestCallResult r;
    if (running_) {
        r.failure = "guest code is already running";
        return r;
    }
    if (arguments.size() > kCallArguments) {
        r.failure = "more than ten arguments";
        return r;
    }

    std::uint32_t frame[1 + kCallArguments] = {thunkBase_};  // return address, then the arguments
    for (std::size_t i = 0; i < arguments.size(); ++i) frame[1 + i] = arguments[i];
    std::uint32_t esp = stackBase_ + stackSize_ - 64 - sizeof frame;
    std::memcpy(pointer(esp, sizeof frame), frame, sizeof frame);
    std::uint32_t zero = 0, flags = 0x202;
    for (int reg : {UC_X86_REG_EAX, UC_X86_REG_EBX, UC_X86_REG_ECX, UC_X86_REG_EDX, UC_X86_REG_ESI,
                    UC_X86_REG_EDI, UC_X86_REG_EBP})
        uc_reg_write(uc_, reg, &zero);
    uc_reg_write(uc_, UC_X86_REG_ESP, &esp);
    uc_reg_write(uc_, UC_X86_REG_EFLAGS, &flags);

    callInstructions_ = 0;
    callFailure_.clear();
    callException_ = nullptr;
    running_ = true;
    uc_err err = uc_emu_start(uc_, procedure, thunkBase_, 0, 0);
    running_ = false;
    totalInstructions_ += callInstructions_;
    r.instructions = callInstructions_;
    std::uint32_t eip = 0, eax = 0;
    uc_reg_read(uc_, UC_X86_REG_EIP, &eip);
    uc_reg_read(uc_, UC_X86_REG_EAX, &eax);
    resetProcessor();
    if (callException_) std::rethrow_exception(std::exchange(callException_, nullptr));

    if (err != UC_ERR_OK) {
        r.failure = callFailure_.empty() ? uc_strerror(err) : callFailure_;
    } else if (!callFailure_.empty()) {
        r.failure = callFailure_;
    } else if (eip != thunkBase_) {
        r.failure = "stopped before returning";
    } else {
        r.ok = true;
        r.value = eax;
    }
    return r;
}

// Right after each call, so that between calls (when host code drops stale
// translations) addresses are never looked up through guest page tables.
// The control registers go back through register writes first, so the
// emulator leaves any paging mode the call switched on and drops its address
// translations; then everything else is restored.
void GuestSpace::resetProcessor() {
    const int control[] = {UC_X86_REG_CR0, UC_X86_REG_CR3, UC_X86_REG_CR4};
    for (int i = 0; i < 3; ++i) uc_reg_write(uc_, control[i], &pristineControl_[i]);
    uc_context_restore(uc_, pristine_);
}

void GuestSpace::onInterrupt(std::uint32_t number) {
    std::uint32_t eip = 0, esp = 0;
    uc_reg_read(uc_, UC_X86_REG_EIP, &eip);
    uc_reg_read(uc_, UC_X86_REG_ESP, &esp);
    GuestAddress thunk = eip - 2;
    if (number != 0x80 || !isThunk(thunk)) {
        callFailure_ = "interrupt " + std::to_string(number) + " at " + std::to_string(eip);
        uc_emu_stop(uc_);
        return;
    }
    const ThunkEntry& entry = thunks_[(thunk - thunkBase_) / kThunkBytes - 1];
    const std::uint8_t* args =
        pointer(std::uint64_t(esp) + 4 >= k4GiB ? 0 : esp + 4, 4ull * entry.argumentCount);
    if (!args) {
        callFailure_ = "host procedure arguments outside guest memory";
        uc_emu_stop(uc_);
        return;
    }
    // A procedure without arguments has an empty vector, whose data() may
    // be null: nothing to copy then.
    std::vector<std::uint32_t> values(entry.argumentCount);
    if (!values.empty()) std::memcpy(values.data(), args, 4ull * entry.argumentCount);
    std::optional<std::uint32_t> result;
    try {
        result = entry.procedure(values);
    } catch (...) {
        callException_ = std::current_exception();
        uc_emu_stop(uc_);
        return;
    }
    if (!result) {
        callFailure_ = "access fault in a host procedure";
        uc_emu_stop(uc_);
        return;
    }
    uc_reg_write(uc_, UC_X86_REG_EAX, &*result);
}

void GuestSpace::onCode() {
    if (++callInstructions_ > instructionLimit_ && callFailure_.empty()) {
        callFailure_ = "instruction limit reached";
        uc_emu_stop(uc_);
    }
}

void GuestSpace::onInvalidMemory(std::uint64_t address) {
    if (callFailure_.empty()) callFailure_ = "invalid memory access at " + std::to_string(address);
}

void GuestSpace::interruptHook(uc_struct*, std::uint32_t number, void* self) {
    static_cast<GuestSpace*>(self)->onInterrupt(number);
}

void GuestSpace::codeHook(uc_struct*, std::uint64_t, std::uint32_t, void* self) {
    static_cast<GuestSpace*>(self)->onCode();
}

bool GuestSpace::invalidMemoryHook(uc_struct*, int, std::uint64_t address, int, std::int64_t,
                                   void* self) {
    static_cast<GuestSpace*>(self)->onInvalidMemory(address);
    return false;  // not handled: the run stops with an error
}

}  // namespace skin

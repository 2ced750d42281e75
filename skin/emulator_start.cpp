#include "skin/emulator_start.h"

#include <sys/mman.h>
#include <unicorn/unicorn.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace skin {

namespace {

// Whether a private mapping of `bytes` can be made now: the address-space
// limit and the kernel's commit accounting treat it like the emulator's own.
bool mappingFits(std::size_t bytes, std::string& failure) {
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
        failure = "the emulator's " + std::to_string(kFixedTranslationBufferBytes >> 20) +
                  " MiB translation buffer does not fit in the address space left (" +
                  std::strerror(errno) + ")";
        return false;
    }
    munmap(p, bytes);
    return true;
}

// Asks for the small buffer; false when the library has no such control or
// refuses it.
bool setSmallTranslationBuffer([[maybe_unused]] uc_engine* uc) {
#ifdef uc_ctl_set_tcg_buffer_size
    return uc_ctl_set_tcg_buffer_size(uc, std::uint32_t(kTranslationBufferBytes)) == UC_ERR_OK;
#else
    return false;
#endif
}

}  // namespace

EmulatorStart openEmulator() {
    EmulatorStart s;
    uc_engine* uc = nullptr;
    if (uc_err e = uc_open(UC_ARCH_X86, UC_MODE_32, &uc); e != UC_ERR_OK) {
        s.failure = std::string("the emulator cannot be opened: ") + uc_strerror(e);
        return s;
    }
    if (!setSmallTranslationBuffer(uc) &&
        !mappingFits(kFixedTranslationBufferBytes + kHeadroomBytes, s.failure)) {
        uc_close(uc);  // nothing was set up yet, so nothing is mapped
        return s;
    }
    // The first call that needs the translator sets it up, right after the
    // check above so that little can take the room in between.
    std::uint32_t pageSize = 0;
    if (uc_err e = uc_ctl_get_page_size(uc, &pageSize); e != UC_ERR_OK) {
        uc_close(uc);
        s.failure = std::string("the emulator cannot be set up: ") + uc_strerror(e);
        return s;
    }
    s.uc = uc;
    return s;
}

}  // namespace skin

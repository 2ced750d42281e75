// Opening the Unicorn i386 engine without letting it end the process.
//
// Unicorn 2 sets up its translator on the first call after uc_open and maps
// its translation buffer then; when that mapping fails (an address-space
// limit, no memory) it prints "Could not allocate dynamic translator buffer"
// and calls exit(1) instead of returning an error. So the buffer is asked
// small where the library lets the size be set (uc_ctl_set_tcg_buffer_size,
// Unicorn 2.1 and later); otherwise, with the library's fixed buffer (1 GiB on
// a 64-bit host), the same mapping plus room for the rest of the program is
// tried here first, and the engine is not set up when it would not fit.
#pragma once

#include <cstddef>
#include <string>

struct uc_struct;

namespace skin {

struct EmulatorStart {
    uc_struct* uc = nullptr;  // set up and ready for use; null on failure
    std::string failure;      // why not, when uc is null
};

// Enough for the translated code of a small library (ours is a few KiB of
// code); the library's default is 1 GiB.
inline constexpr std::size_t kTranslationBufferBytes = 8u << 20;
// What Unicorn 2.0 maps on a 64-bit host when the size cannot be set
// (measured: the process grows by 1 GiB and under 1 MiB at the first call).
inline constexpr std::size_t kFixedTranslationBufferBytes = std::size_t(1) << 30;
// Left free for the rest of the program after the fixed buffer.
inline constexpr std::size_t kHeadroomBytes = 256u << 20;

EmulatorStart openEmulator();

}  // namespace skin

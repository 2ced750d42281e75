// The window template reader on arbitrary bytes: it must never crash or read
// outside the block, and whatever it accepts must write back to a block that
// reads to the same records.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "runtime/window/template/template_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    rt::TemplateReadResult r = rt::readTemplate({data, size});
    if (!r.value) return 0;
    rt::TemplateReadResult again = rt::readTemplate(rt::writeTemplate(*r.value));
    if (!again.value || !(*again.value == *r.value)) {
        std::fprintf(stderr, "accepted block does not round trip: %s\n", again.error.c_str());
        std::abort();
    }
    return 0;
}

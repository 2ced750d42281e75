// The reader of the guide's offline copies on arbitrary file bytes: no crash,
// no read past the data, and a copy it accepts survives being written back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/page_cache.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto copy =
        app::decodeKeptPage(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!copy) return 0;
    // A head may spell its numbers differently (leading zeros, capitals), so
    // the bytes need not come back the same; what they say must.
    const auto again =
        app::decodeKeptPage(app::encodeKeptPage(copy->url, copy->page.body, copy->page.fetched));
    if (!again || again->url != copy->url || again->page.body != copy->page.body ||
        again->page.fetched.days != copy->page.fetched.days)
        std::abort();
    return 0;
}

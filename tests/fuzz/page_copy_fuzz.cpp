// The reader of the guide's offline copies on arbitrary file bytes: no crash,
// no read past the data, and a copy it accepts survives being written back.
// The bytes also serve as the body of a good copy, which must come back
// whole, and which one altered byte must spoil.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/schedule/page_cache.h"
#include "runtime/values/date_time.h"

namespace {

void expectSame(const app::DecodedCopy& a, const std::optional<app::DecodedCopy>& b) {
    if (!b || b->url != a.url || b->page.body != a.page.body ||
        b->page.fetched.days != a.page.fetched.days)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const auto copy =
            app::decodeKeptPage(std::string_view(reinterpret_cast<const char*>(data), size))) {
        // A head may spell its numbers differently (leading zeros, capitals),
        // so the bytes need not come back the same; what they say must.
        expectSame(*copy, app::decodeKeptPage(
                              app::encodeKeptPage(copy->url, copy->page.body, copy->page.fetched)));
    }

    const app::DecodedCopy good{
        "http://epg.lan/programys/TV_1/Channel_1/W1.htm",
        {rt::Bytes(data, data + size), *rt::fromCivil({2008, 10, 6, 9, 30, 0})}};
    std::string file = app::encodeKeptPage(good.url, good.page.body, good.page.fetched);
    expectSame(good, app::decodeKeptPage(file));
    if (size >= 2) {
        // CRC-32 catches every change of a single byte.
        file[file.size() - size + data[0] % size] ^= static_cast<char>(1 + data[1] % 255);
        if (app::decodeKeptPage(file)) std::abort();
    }
    return 0;
}

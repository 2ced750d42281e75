// Any bytes as a source's body, cut into chunks of any size: the decoder
// hands on the same text, or refuses saying why, however the body is cut;
// never more than the cap, and inflates only what begins with the gzip
// magic. The first two bytes choose the chunk size and the cap.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "server/util/body_decoder.h"

namespace {

struct Outcome {
    bool ok = false;
    std::string text, error;
};

Outcome decode(std::string_view body, std::size_t chunk, std::uint64_t cap) {
    Outcome o;
    epg::BodyDecoder d(cap, true, [&o](std::string_view t) {
        o.text.append(t);
        return true;
    });
    bool fed = true;
    for (std::size_t at = 0; at < body.size() && fed; at += chunk)
        fed = d.feed(body.substr(at, chunk));
    o.ok = fed && d.finish();
    o.error = d.error();
    if (o.ok != o.error.empty()) std::abort();  // a refusal always says why
    return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t chunk = data[0] % 64 + 1;
    const std::uint64_t cap = (std::uint64_t{data[1]} + 1) * 1024;
    std::string_view body(reinterpret_cast<const char*>(data) + 2, size - 2);
    Outcome whole = decode(body, body.size() + 1, cap);
    Outcome cut = decode(body, chunk, cap);
    // Refused, each has handed on what came before the refusal, which
    // depends on where the chunks end.
    if (whole.ok != cut.ok || (whole.ok && whole.text != cut.text)) {
        std::fprintf(stderr, "chunks of %zu: %d \"%s\" against %d \"%s\"\n", chunk, cut.ok,
                     cut.error.c_str(), whole.ok, whole.error.c_str());
        std::abort();
    }
    if (whole.text.size() > cap) std::abort();
    const bool gzip = body.size() >= 2 && static_cast<unsigned char>(body[0]) == 0x1f &&
                      static_cast<unsigned char>(body[1]) == 0x8b;
    if (whole.ok && !gzip && whole.text != body) std::abort();  // plain passes as it is
    return 0;
}

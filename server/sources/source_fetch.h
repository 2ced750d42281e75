// Fetching a listings source over http or https (libcurl): a conditional GET
// when validators of a good copy are known, the body inflated as it arrives
// (gzip told by its first bytes) and handed on as text, bounded in size and
// time, and abandoned promptly when the server stops. Proxies come from the
// environment (http_proxy, https_proxy, no_proxy), as libcurl reads them.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "server/util/file_read.h"

namespace epg {

inline constexpr const char* kEpgdUserAgent = "tvguide-epgd/0.1";

// ETag and Last-Modified of a body, as its server sent them; empty when not.
struct Validators {
    std::string etag, lastModified;
    bool empty() const { return etag.empty() && lastModified.empty(); }
};

struct FetchLimits {
    std::uint64_t cap = kMaxListingsBytes;  // decompressed bytes
    std::chrono::milliseconds connectTimeout{30'000};
    std::chrono::milliseconds stallTimeout{60'000};  // no byte for this long
    // The whole transfer, however steadily the bytes come (--fetch-timeout).
    std::chrono::milliseconds totalTimeout{600'000};
    long maxRedirects = 10;
};

struct FetchRequest {
    std::string url;
    Validators ifChanged;  // sent as If-None-Match / If-Modified-Since
    FetchLimits limits;
    const std::atomic<bool>* stop = nullptr;
    // Every body byte as received (before inflating), e.g. to keep a copy.
    std::function<void(std::string_view)> onRawBytes;
    // The body's text, decompressed, as it arrives; false refuses the body
    // (the caller knows why).
    std::function<bool(std::string_view)> onText;
};

struct FetchResult {
    enum class Kind { Fetched, NotModified, Failed, Refused };
    Kind kind = Kind::Failed;
    Validators validators;  // of the answer (Fetched, NotModified)
    std::string error;      // Failed: why, without the URL
};

FetchResult fetchSource(const FetchRequest& request);

}  // namespace epg

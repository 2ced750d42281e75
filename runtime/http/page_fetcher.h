// A program's one network access: fetch a document by URL and return its body.
//
// A PageFetcher owns one libcurl handle, opened on the first fetch and reused
// by every later one; a program keeps one fetcher for its whole run. Each fetch
// is a blocking "GET" over HTTP/1.0 with the runtime's user agent and
// "Accept: */*", never answered from a cache and never through a proxy. Only
// http and https (certificates checked) are fetched.
//
// Nothing is reported: any status returns its body, a transfer that breaks or
// stalls returns the bytes read until then, and every other failure returns
// empty bytes. The caller cannot tell a partial body from a whole one. Not
// thread-safe: one thread uses a fetcher at a time.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>

#include "runtime/values/value.h"

namespace rt {

struct FetchLimits {
    std::chrono::milliseconds connectTimeout{60'000};
    std::chrono::milliseconds stallTimeout{30'000};  // no byte for this long ends the transfer
    long maxRedirects = 10;
    std::size_t maxBodyBytes = 32u << 20;  // the first bytes up to this are kept
};

inline constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

class PageFetcher {
  public:
    explicit PageFetcher(FetchLimits limits = {});
    ~PageFetcher();
    PageFetcher(const PageFetcher&) = delete;
    PageFetcher& operator=(const PageFetcher&) = delete;

    // The body of `url` (up to its first NUL; anything after '#' is not sent).
    // The URL must begin with http:// or https://; blanks in it travel as %20,
    // bytes outside ASCII percent-encoded. An empty URL returns empty bytes
    // without touching the network.
    Bytes fetch(const Text& url);

    // Whether the libcurl handle has been opened (by a fetch that got that far).
    bool isOpen() const { return handle_ != nullptr; }

  private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
    FetchLimits limits_;
};

}  // namespace rt

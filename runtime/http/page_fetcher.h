// A program's one network access: fetch a document by URL and return its body.
//
// A PageFetcher owns one libcurl handle, opened on the first fetch and reused
// by every later one; a program keeps one fetcher for its whole run. Each fetch
// is a blocking "GET" over HTTP/1.0 with the runtime's user agent and
// "Accept: */*", never answered from a cache. Only http and https
// (certificates checked) are fetched. Proxies come from the environment as in
// any libcurl program (http_proxy, https_proxy, all_proxy, no_proxy; also
// HTTP_PROXY outside a CGI request); loopback hosts are always reached
// directly, since no proxy can reach this machine's loopback.
//
// A fetch may be handed a FetchCancel: another thread can then end it at once
// (a window closed while its page downloads), not at the next time-out.
//
// The body rules: any status returns its body, a transfer that breaks, stalls
// or passes the deadline returns the bytes read until then, and every other
// failure returns empty bytes. fetchPage says, beside the body, how the
// transfer ended. Not thread-safe: one thread uses a fetcher at a time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>

#include "runtime/values/value.h"

namespace rt {

struct FetchLimits {
    std::chrono::milliseconds connectTimeout{60'000};
    std::chrono::milliseconds stallTimeout{30'000};  // no byte for this long ends the transfer
    std::chrono::milliseconds deadline{120'000};     // from the start of the request to the end
    long maxRedirects = 10;
    std::size_t maxBodyBytes = 32u << 20;  // the first bytes up to this are kept
};

enum class FetchOutcome {
    Complete,        // the whole body of a 2xx answer
    HttpError,       // the whole body of an answer outside 2xx
    NotFetched,      // no http(s) URL, no connection, no answer
    TimedOut,        // nothing arrived for the connect or stall time-out
    DeadlinePassed,  // the transfer was still running at the deadline
    CutShort,        // closed or reset mid-body, fewer bytes than announced
    TooLarge,        // the body passed the size cap
    Cancelled,       // ended through its FetchCancel
};

struct FetchResult {
    Bytes body;
    FetchOutcome outcome = FetchOutcome::NotFetched;
    long status = 0;  // the last HTTP status seen, 0 for none
    bool complete() const { return outcome == FetchOutcome::Complete; }
};

inline constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

// Ends a fetch from another thread. Cancelling before the fetch begins makes
// it end at its start; cancelling twice is the same as once.
class FetchCancel {
  public:
    void cancel();  // any thread
    bool cancelled() const { return cancelled_.load(std::memory_order_acquire); }

  private:
    friend class PageFetcher;
    void setRunning(void* multi);  // the fetch under way; null once it has ended
    std::atomic<bool> cancelled_{false};
    std::mutex mutex_;
    void* running_ = nullptr;  // the multi handle of the fetch under way, to wake its wait
};

class PageFetcher {
  public:
    explicit PageFetcher(FetchLimits limits = {});
    ~PageFetcher();
    PageFetcher(const PageFetcher&) = delete;
    PageFetcher& operator=(const PageFetcher&) = delete;

    // The body of `url` (up to its first NUL; anything after '#' is not sent)
    // and how the transfer ended. The URL must begin with http:// or https://;
    // blanks in it travel as %20, bytes outside ASCII percent-encoded. An empty
    // URL returns empty bytes without touching the network. A body that cannot
    // be held throws rt::AllocationFailure. `cancel`, when given, must outlive
    // the call.
    FetchResult fetchPage(const Text& url, FetchCancel* cancel = nullptr);
    Bytes fetch(const Text& url) { return fetchPage(url).body; }

    // Whether the libcurl handle has been opened (by a fetch that got that far).
    bool isOpen() const { return handle_ != nullptr; }

  private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
    FetchLimits limits_;
};

}  // namespace rt

#include "runtime/http/page_fetcher.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "base/curl_transfer.h"
#include "base/shown_url.h"
#include "runtime/values/allocation_failure.h"

namespace rt {

// The transfer runs on a multi handle of its own rather than through
// curl_easy_perform: its wait can then be woken from another thread, so a
// cancelled fetch ends at once. The multi handle keeps the connection and DNS
// caches from one fetch to the next.
struct PageFetcher::Handle {
    base::CurlTransfer transfer;
    CURLM* multi = nullptr;
    ~Handle() {
        if (multi) curl_multi_cleanup(multi);
    }
};

void FetchCancel::cancel() {
    cancelled_.store(true, std::memory_order_release);
    const std::lock_guard lock(mutex_);
    if (running_) curl_multi_wakeup(static_cast<CURLM*>(running_));
}

void FetchCancel::setRunning(void* multi) {
    const std::lock_guard lock(mutex_);
    running_ = multi;
}

namespace {

using Clock = std::chrono::steady_clock;

struct Sink final : base::TransferEvents {
    Sink(CURL* handle, Bytes* body, std::size_t limit, Clock::duration stall,
         const FetchCancel* cancelledBy)
        : curl(handle), out(body), cap(limit), stallLimit(stall), cancel(cancelledBy) {}

    // Keeps bytes up to the cap; past it, taking fewer bytes than offered
    // makes libcurl end the transfer, and what was kept is the result. No
    // exception may cross libcurl, so a failed allocation ends the transfer
    // the same way and is thrown once libcurl has returned.
    std::size_t bodyBytes(std::string_view bytes) override {
        lastByte = Clock::now();
        const std::size_t room = cap - std::min(cap, out->size());
        const std::size_t take = std::min(bytes.size(), room);
        try {
            out->insert(out->end(), bytes.data(), bytes.data() + take);
        } catch (const std::bad_alloc&) {
            failedAllocation = out->size() + take;
            return 0;
        }
        capped = take < bytes.size();
        return take;
    }

    bool headerLine(std::string_view) override {
        lastByte = Clock::now();
        return true;
    }

    // Ends a transfer when nothing has arrived for the stall limit. Until the
    // request is on its way the connect time-out is in charge instead.
    bool carryOn() override {
        if (cancel && cancel->cancelled()) {
            cancelled = true;
            return false;
        }
        const Clock::time_point now = Clock::now();
        curl_off_t pretransfer = 0;
        if (curl_easy_getinfo(curl, CURLINFO_PRETRANSFER_TIME_T, &pretransfer) != CURLE_OK ||
            pretransfer == 0) {
            lastByte = now;
            return true;
        }
        return now - lastByte <= stallLimit;
    }

    CURL* curl;
    Bytes* out;
    std::size_t cap;
    Clock::duration stallLimit;
    Clock::time_point lastByte = Clock::now();
    const FetchCancel* cancel = nullptr;
    bool capped = false;
    bool cancelled = false;
    std::size_t failedAllocation = 0;  // the body size that could not be held
};

// The URL as libcurl gets it: up to its first NUL, cut before the fragment
// (which is never sent), with blanks escaped because libcurl refuses them raw.
// Empty when the URL names no http or https scheme itself: libcurl would
// otherwise guess one for "host/path".
std::string requestUrl(const Text& url) {
    std::string_view view(url);
    view = view.substr(0, view.find('\0'));
    view = view.substr(0, view.find('#'));
    std::string out;
    for (char c : view) {
        if (c == ' ')
            out += "%20";
        else
            out += c;
    }
    return base::isHttpUrl(out) ? out : std::string();
}

// The host of a URL libcurl accepts, lower-cased; empty when it has none.
std::string hostOf(const std::string& url) {
    CURLU* parts = curl_url();
    if (!parts) return {};
    std::string host;
    char* found = nullptr;
    if (curl_url_set(parts, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
        curl_url_get(parts, CURLUPART_HOST, &found, 0) == CURLUE_OK) {
        host = found;
        curl_free(found);
    }
    curl_url_cleanup(parts);
    std::transform(host.begin(), host.end(), host.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return host;
}

// Names and literals of this machine's loopback: localhost (also written
// fully qualified, "localhost."), 127.0.0.0/8, ::1 and 127/8 mapped into IPv6
// ([::ffff:127.0.0.1]). libcurl has already written IPv4 shorthands such as
// "127.1" out in full.
bool isLoopback(std::string host) {
    if (host == "localhost" || host == "localhost.") return true;
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    if (host.size() < 3 || host.front() != '[' || host.back() != ']') return false;
    host = host.substr(1, host.size() - 2);
    host = host.substr(0, host.find('%'));  // a zone id names the interface, not the address
    in6_addr v6{};
    if (inet_pton(AF_INET6, host.c_str(), &v6) != 1) return false;
    if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
    return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
}

// The proxy libcurl should be told of, beyond what it reads itself: libcurl
// skips the upper-case HTTP_PROXY, because under CGI a request header could
// set it; outside a CGI request it is honoured like the lower-case one.
// nullopt: leave the choice to libcurl.
std::optional<std::string> proxyFor(const std::string& url) {
    const std::string host = hostOf(url);
    if (isLoopback(host)) return std::string();  // direct
    if (!url.starts_with("http://") || std::getenv("http_proxy") || std::getenv("REQUEST_METHOD"))
        return std::nullopt;
    const char* upper = std::getenv("HTTP_PROXY");
    if (!upper || !*upper) return std::nullopt;
    return std::string(upper);
}

// `connected`: the connect time-out can no longer have been what ended it.
// That, not our own clock, tells the deadline: libcurl times the transfer
// on a clock of its own and may end it a hair before ours says the
// deadline has come.
FetchOutcome outcomeOf(CURLcode code, long status, const Sink& sink, bool connected,
                       Clock::duration elapsed, Clock::duration deadline) {
    switch (code) {
        case CURLE_OK:
            return status >= 200 && status <= 299 ? FetchOutcome::Complete
                                                  : FetchOutcome::HttpError;
        case CURLE_WRITE_ERROR:
            return sink.capped ? FetchOutcome::TooLarge : FetchOutcome::CutShort;
        case CURLE_ABORTED_BY_CALLBACK:  // the stall watch, or a cancel it saw
            return sink.cancelled ? FetchOutcome::Cancelled : FetchOutcome::TimedOut;
        case CURLE_OPERATION_TIMEDOUT:
            return connected || elapsed >= deadline ? FetchOutcome::DeadlinePassed
                                                    : FetchOutcome::TimedOut;
        default:
            // An answer had begun: what came is the start of a body.
            return status > 0 ? FetchOutcome::CutShort : FetchOutcome::NotFetched;
    }
}

// Runs the transfer to its end, or until `cancel` is set; a cancel wakes the
// poll at once (FetchCancel::cancel).
CURLcode perform(CURLM* multi, CURL* curl, Sink& sink) {
    if (curl_multi_add_handle(multi, curl) != CURLM_OK) return CURLE_FAILED_INIT;
    CURLcode code = CURLE_FAILED_INIT;
    for (bool done = false; !done;) {
        int running = 0;
        const CURLMcode performed = curl_multi_perform(multi, &running);
        if (performed != CURLM_OK) {
            code = performed == CURLM_OUT_OF_MEMORY ? CURLE_OUT_OF_MEMORY : CURLE_FAILED_INIT;
            break;
        }
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == curl) {
                code = message->data.result;
                done = true;
            }
        }
        if (done || running == 0) break;
        if (sink.cancel && sink.cancel->cancelled()) {
            sink.cancelled = true;
            code = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        if (curl_multi_poll(multi, nullptr, 0, 1000, nullptr) != CURLM_OK) break;
    }
    curl_multi_remove_handle(multi, curl);
    return code;
}

}  // namespace

PageFetcher::PageFetcher(FetchLimits limits) : limits_(limits) {}
PageFetcher::~PageFetcher() = default;

FetchResult PageFetcher::fetchPage(const Text& url, FetchCancel* cancel) {
    FetchResult result;
    Bytes& body = result.body;
    if (cancel && cancel->cancelled()) {
        result.outcome = FetchOutcome::Cancelled;
        return result;
    }
    const std::string target = requestUrl(url);
    if (target.empty()) return result;

    if (!handle_) {
        auto opened = std::make_unique<Handle>();
        opened->multi = curl_multi_init();
        if (!opened->transfer || !opened->multi) return result;  // the next fetch tries again
        handle_ = std::move(opened);
    }
    base::CurlTransfer& transfer = handle_->transfer;
    CURL* curl = transfer.get();
    Sink sink{curl, &body, limits_.maxBodyBytes, limits_.stallTimeout, cancel};
    // Never answered from a cache on the way.
    const base::TransferSetup setup{target,
                                    kUserAgent,
                                    {"Accept: */*", "Cache-Control: no-cache", "Pragma: no-cache"},
                                    limits_.maxRedirects,
                                    limits_.connectTimeout,
                                    limits_.deadline};
    bool ok = transfer.prepare(setup, sink);
    ok = ok && curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L) == CURLE_OK;
    if (const auto proxy = proxyFor(target))
        ok = ok && curl_easy_setopt(curl, CURLOPT_PROXY, proxy->c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK;
    if (!ok) return result;

    // Whatever arrived before a failure is the body; the outcome says why it ended.
    const Clock::time_point started = Clock::now();
    CURLcode code;
    {
        struct Running {  // withdrawn from the cancel before the fetch returns
            FetchCancel* cancel;
            ~Running() {
                if (cancel) cancel->setRunning(nullptr);
            }
        } running{cancel};
        if (cancel) cancel->setRunning(handle_->multi);
        code = perform(handle_->multi, curl, sink);
    }
    const Clock::duration elapsed = Clock::now() - started;
    if (sink.failedAllocation != 0) throw AllocationFailure(sink.failedAllocation);
    result.status = transfer.status();
    curl_off_t connectMicros = 0;
    curl_easy_getinfo(curl, CURLINFO_CONNECT_TIME_T, &connectMicros);
    result.outcome =
        outcomeOf(code, result.status, sink, connectMicros > 0, elapsed, limits_.deadline);
    return result;
}

}  // namespace rt

// One libcurl easy handle set up the way every fetch of ours is: http and
// https only (redirects too), redirects followed up to a bound, no signals,
// a connect time-out and a time-out of the whole transfer, a user agent and
// header lines of the caller's, and libcurl's callbacks handed to a
// TransferEvents. Each fetch adds its own options and runs the transfer its
// own way (curl_easy_perform, or a multi handle).
//
//   base::CurlTransfer transfer;  // libcurl set up once for the process
//   if (transfer && transfer.prepare(setup, events)) curl_easy_perform(transfer.get());
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace base {

// What libcurl tells of a transfer under way. No exception may leave these:
// they are called from inside libcurl.
class TransferEvents {
  public:
    virtual ~TransferEvents() = default;
    // A header line of any answer, redirects included, with its CRLF; false
    // ends the transfer (CURLE_WRITE_ERROR).
    virtual bool headerLine(std::string_view line) = 0;
    // Body bytes; how many were taken, fewer ending the transfer (CURLE_WRITE_ERROR).
    virtual std::size_t bodyBytes(std::string_view bytes) = 0;
    // About once a second, bytes or not; false ends the transfer
    // (CURLE_ABORTED_BY_CALLBACK).
    virtual bool carryOn() = 0;
};

struct TransferSetup {
    std::string url;
    std::string userAgent;
    std::vector<std::string> headers;  // whole lines: "Accept: */*"
    long maxRedirects = 10;
    std::chrono::milliseconds connectTimeout{30'000};
    std::chrono::milliseconds timeout{600'000};  // of the whole transfer
};

class CurlTransfer {
  public:
    CurlTransfer();
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    explicit operator bool() const { return curl_ != nullptr; }
    CURL* get() const { return curl_; }

    // Forgets the options of the transfer before (the connection and DNS
    // caches stay) and sets these; false when libcurl refuses one. `events`
    // must outlive the transfer.
    bool prepare(const TransferSetup& setup, TransferEvents& events);
    long status() const;  // the last HTTP status seen, 0 for none
    // Why a transfer failed: libcurl's own detail when it gave one.
    std::string errorText(CURLcode code) const;

  private:
    CURL* curl_ = nullptr;
    curl_slist* headers_ = nullptr;
    char error_[CURL_ERROR_SIZE] = "";
};

}  // namespace base

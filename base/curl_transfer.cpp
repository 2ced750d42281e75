#include "base/curl_transfer.h"

#include <mutex>

namespace base {
namespace {

std::size_t headerArrived(char* data, std::size_t size, std::size_t count, void* user) {
    const std::size_t n = size * count;
    return static_cast<TransferEvents*>(user)->headerLine({data, n}) ? n : 0;
}

std::size_t bodyArrived(char* data, std::size_t size, std::size_t count, void* user) {
    return static_cast<TransferEvents*>(user)->bodyBytes({data, size * count});
}

int progressed(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<TransferEvents*>(user)->carryOn() ? 0 : 1;  // non-zero ends it
}

}  // namespace

CurlTransfer::CurlTransfer() {
    // curl_easy_init would set libcurl up on first use too, but not safely
    // while another thread does the same.
    static std::once_flag ready;
    std::call_once(ready, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    curl_ = curl_easy_init();
}

CurlTransfer::~CurlTransfer() {
    if (curl_) curl_easy_cleanup(curl_);
    curl_slist_free_all(headers_);
}

bool CurlTransfer::prepare(const TransferSetup& setup, TransferEvents& events) {
    if (!curl_) return false;
    curl_easy_reset(curl_);
    curl_slist_free_all(headers_);  // after the reset: the handle no longer points at them
    headers_ = nullptr;
    for (const std::string& line : setup.headers) {
        curl_slist* grown = curl_slist_append(headers_, line.c_str());
        if (!grown) return false;
        headers_ = grown;
    }
    error_[0] = '\0';
    CURL* c = curl_;
    bool ok = curl_easy_setopt(c, CURLOPT_URL, setup.url.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_MAXREDIRS, setup.maxRedirects) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_USERAGENT, setup.userAgent.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers_) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS,
                                static_cast<long>(setup.connectTimeout.count())) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(setup.timeout.count())) ==
                   CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error_) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &headerArrived) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_HEADERDATA, &events) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &bodyArrived) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_WRITEDATA, &events) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &progressed) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_XFERINFODATA, &events) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L) == CURLE_OK;
    return ok;
}

long CurlTransfer::status() const {
    long status = 0;
    if (!curl_ || curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) return 0;
    return status;
}

std::string CurlTransfer::errorText(CURLcode code) const {
    return error_[0] ? error_ : curl_easy_strerror(code);
}

}  // namespace base

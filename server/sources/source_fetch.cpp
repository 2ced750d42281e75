#include "server/sources/source_fetch.h"

#include <curl/curl.h>

#include <cctype>
#include <memory>
#include <mutex>
#include <optional>

#include "server/sources/body_decoder.h"

namespace epg {
namespace {

struct Transfer {
    const FetchRequest* request = nullptr;
    CURL* curl = nullptr;
    std::optional<BodyDecoder> decoder;
    long status = 0;         // of the answer whose body is arriving
    std::string statusLine;  // of the last answer's head
    Validators validators;   // of the last answer's head
    bool stopped = false;
};

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
    return true;
}

// Header lines of every answer, redirects included: a status line starts a
// new answer and forgets what the one before said.
std::size_t headerArrived(char* data, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    std::string_view line(data, size * count);
    if (line.starts_with("HTTP/")) {
        t->statusLine = std::string(trimmed(line));
        t->validators = {};
    } else if (startsWithNoCase(line, "etag:")) {
        t->validators.etag = std::string(trimmed(line.substr(5)));
    } else if (startsWithNoCase(line, "last-modified:")) {
        t->validators.lastModified = std::string(trimmed(line.substr(14)));
    }
    return size * count;
}

std::size_t bodyArrived(char* data, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const std::size_t n = size * count;
    if (!t->decoder) {
        curl_easy_getinfo(t->curl, CURLINFO_RESPONSE_CODE, &t->status);
        // Only a 200 carries listings; any other body is of no use.
        if (t->status != 200) return 0;
        t->decoder.emplace(t->request->limits.cap);
        curl_off_t length = -1;
        if (curl_easy_getinfo(t->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
            length > 0 &&
            !(n >= 2 && static_cast<unsigned char>(data[0]) == 0x1f &&
              static_cast<unsigned char>(data[1]) == 0x8b))
            t->decoder->expect(static_cast<std::uint64_t>(length));
    }
    std::string_view chunk(data, n);
    if (t->request->onRawBytes) t->request->onRawBytes(chunk);
    return t->decoder->feed(chunk) ? n : 0;
}

int progressed(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* t = static_cast<Transfer*>(user);
    if (t->request->stop && t->request->stop->load()) {
        t->stopped = true;
        return 1;  // aborts the transfer
    }
    return 0;
}

struct CurlDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct ListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

FetchResult failed(std::string why) {
    FetchResult r;
    r.error = std::move(why);
    return r;
}

}  // namespace

FetchResult fetchSource(const FetchRequest& request) {
    static std::once_flag curlReady;
    std::call_once(curlReady, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) return failed("cannot start a transfer");
    std::unique_ptr<curl_slist, ListDeleter> headers;
    auto addHeader = [&headers](const std::string& h) {
        headers.reset(curl_slist_append(headers.release(), h.c_str()));
    };
    if (!request.ifChanged.etag.empty()) addHeader("If-None-Match: " + request.ifChanged.etag);
    if (!request.ifChanged.lastModified.empty())
        addHeader("If-Modified-Since: " + request.ifChanged.lastModified);

    Transfer t;
    t.request = &request;
    t.curl = curl.get();
    char errorText[CURL_ERROR_SIZE] = "";
    const FetchLimits& l = request.limits;
    CURL* c = curl.get();
    bool ok = curl_easy_setopt(c, CURLOPT_URL, request.url.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_MAXREDIRS, l.maxRedirects) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_USERAGENT, kEpgdUserAgent) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get()) == CURLE_OK;
    // Any transfer coding curl knows; what arrives is the entity, which may
    // itself be a gzip file.
    ok = ok && curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "") == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS,
                                static_cast<long>(l.connectTimeout.count())) == CURLE_OK;
    // Stalled: under one byte a second for the whole stall time.
    ok = ok && curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME,
                                std::max(1L, static_cast<long>(l.stallTimeout.count() / 1000))) ==
                   CURLE_OK;
    ok = ok &&
         curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(l.cap)) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &headerArrived) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_HEADERDATA, &t) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &bodyArrived) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_WRITEDATA, &t) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &progressed) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L) == CURLE_OK;
    if (!ok) return failed("cannot set up the transfer");

    CURLcode rc = curl_easy_perform(c);
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    if (t.stopped) return failed("stopped");
    if (t.decoder && !t.decoder->error().empty()) return failed(t.decoder->error());
    if (rc == CURLE_FILESIZE_EXCEEDED)
        return failed("larger than " + sizeText(l.cap) + ", the most a source may hold");
    if (rc != CURLE_OK && !(rc == CURLE_WRITE_ERROR && status != 200)) {
        std::string why = errorText[0] ? errorText : curl_easy_strerror(rc);
        return failed(why);
    }
    FetchResult r;
    r.validators = std::move(t.validators);
    if (status == 304) {
        r.kind = FetchResult::Kind::NotModified;
        return r;
    }
    if (status != 200)
        return failed(t.statusLine.empty() ? "HTTP " + std::to_string(status) : t.statusLine);
    if (!t.decoder) t.decoder.emplace(l.cap);  // an empty body
    if (!t.decoder->finish()) return failed(t.decoder->error());
    r.kind = FetchResult::Kind::Fetched;
    r.body = t.decoder->take();
    return r;
}

}  // namespace epg

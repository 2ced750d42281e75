#include "server/sources/source_fetch.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <mutex>
#include <optional>

#include "server/util/body_decoder.h"
#include "server/util/durations.h"

namespace epg {
namespace {

using SteadyClock = std::chrono::steady_clock;

struct Transfer {
    const FetchRequest* request = nullptr;
    CURL* curl = nullptr;
    std::optional<BodyDecoder> decoder;
    long status = 0;              // of the answer whose body is arriving
    std::string statusLine;       // of the last answer's head
    Validators validators;        // of the last answer's head
    std::string contentEncoding;  // of the last answer's head
    SteadyClock::time_point started = SteadyClock::now();
    SteadyClock::time_point lastByte = started;
    enum class Abort { None, Stopped, TimedOut, Stalled } abort = Abort::None;
    bool unsupportedCoding = false;
};

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

// A header value as the log may show it: a server's CR or ESC would
// otherwise rewrite the operator's terminal or forge a log line.
std::string printable(std::string_view s) {
    std::string out;
    for (unsigned char c : trimmed(s)) out += c < 0x20 || c == 0x7f ? '?' : static_cast<char>(c);
    return out;
}

// The codings asked for: zlib's window is 32 KiB whatever the sender
// says, where a zstd or brotli frame may make the decoder take a window of
// hundreds of megabytes from a few kilobytes of body.
constexpr const char* kAcceptEncoding = "gzip, deflate";
bool acceptedCoding(std::string_view coding) {
    for (std::string_view ok : {"", "identity", "gzip", "x-gzip", "deflate"})
        if (coding.size() == ok.size() &&
            std::equal(coding.begin(), coding.end(), ok.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == b;
            }))
            return true;
    return false;
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
    t->lastByte = SteadyClock::now();
    if (line.starts_with("HTTP/")) {
        t->statusLine = printable(line);
        t->validators = {};
        t->contentEncoding.clear();
    } else if (startsWithNoCase(line, "etag:")) {
        t->validators.etag = std::string(trimmed(line.substr(5)));
    } else if (startsWithNoCase(line, "last-modified:")) {
        t->validators.lastModified = std::string(trimmed(line.substr(14)));
    } else if (startsWithNoCase(line, "content-encoding:")) {
        t->contentEncoding = printable(line.substr(17));
        // Refused before libcurl sets up a decoder for it.
        if (!acceptedCoding(t->contentEncoding)) {
            t->unsupportedCoding = true;
            return 0;
        }
    }
    return size * count;
}

std::size_t bodyArrived(char* data, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const std::size_t n = size * count;
    t->lastByte = SteadyClock::now();
    if (!t->decoder) {
        curl_easy_getinfo(t->curl, CURLINFO_RESPONSE_CODE, &t->status);
        // Only a 200 carries listings; any other body is of no use.
        if (t->status != 200) return 0;
        t->decoder.emplace(t->request->limits.cap, true, t->request->onText);
    }
    std::string_view chunk(data, n);
    if (t->request->onRawBytes) t->request->onRawBytes(chunk);
    return t->decoder->feed(chunk) ? n : 0;
}

// Called at least once a second, bytes or not: the stop, the time-out of
// the whole transfer and the stall rule are kept here, so that each says
// what happened.
int progressed(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* t = static_cast<Transfer*>(user);
    const FetchLimits& l = t->request->limits;
    const auto now = SteadyClock::now();
    if (t->request->stop && t->request->stop->load())
        t->abort = Transfer::Abort::Stopped;
    else if (now - t->started >= l.totalTimeout)
        t->abort = Transfer::Abort::TimedOut;
    else if (now - t->lastByte >= l.stallTimeout)
        t->abort = Transfer::Abort::Stalled;
    return t->abort == Transfer::Abort::None ? 0 : 1;  // non-zero aborts the transfer
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

std::string seconds(std::chrono::milliseconds d) {
    if (d < std::chrono::seconds(1)) return std::to_string(d.count()) + " ms";
    return durationText(std::chrono::duration_cast<std::chrono::seconds>(d));
}

bool setUp(CURL* c, const FetchRequest& request, Transfer& t, curl_slist* headers,
           char* errorText) {
    const FetchLimits& l = request.limits;
    bool ok = curl_easy_setopt(c, CURLOPT_URL, request.url.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_MAXREDIRS, l.maxRedirects) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_USERAGENT, kEpgdUserAgent) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers) == CURLE_OK;
    // What arrives is the entity, which may itself be a gzip file.
    ok = ok && curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, kAcceptEncoding) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS,
                                static_cast<long>(l.connectTimeout.count())) == CURLE_OK;
    // A backstop only: the progress callback ends the transfer first, saying why.
    ok = ok && curl_easy_setopt(c, CURLOPT_TIMEOUT_MS,
                                static_cast<long>(l.totalTimeout.count() + 5000)) == CURLE_OK;
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
    return ok;
}

// Why a transfer that ended was of no use, in the words of the log; nothing
// when its answer is to be judged by its status.
std::optional<FetchResult> transferFailure(CURLcode rc, long status, const FetchRequest& request,
                                           Transfer& t, const char* errorText,
                                           const std::string& received) {
    const FetchLimits& l = request.limits;
    const bool encoded = !t.contentEncoding.empty() && t.contentEncoding != "identity";
    switch (t.abort) {
        case Transfer::Abort::Stopped: return failed("stopped");
        case Transfer::Abort::TimedOut:
            return failed("timed out after " + seconds(l.totalTimeout) +
                          " (--fetch-timeout), with " + received + " of the body received");
        case Transfer::Abort::Stalled:
            return failed("nothing received for " + seconds(l.stallTimeout) + ", with " + received +
                          " of the body received");
        case Transfer::Abort::None: break;
    }
    if (t.unsupportedCoding)
        return failed("sent as Content-Encoding: " + t.contentEncoding + ", which I do not take (" +
                      kAcceptEncoding + " only)");
    if (t.decoder && t.decoder->refused()) {
        FetchResult r;
        r.kind = FetchResult::Kind::Refused;
        return r;
    }
    if (t.decoder && t.decoder->overCap() && encoded)
        return failed("a Content-Encoding bomb: " + received +
                      " sent as Content-Encoding: " + t.contentEncoding + " unpack to more than " +
                      sizeText(l.cap) + ", the most a source may hold");
    if (t.decoder && !t.decoder->error().empty()) return failed(t.decoder->error());
    if (rc == CURLE_FILESIZE_EXCEEDED)
        return failed("larger than " + sizeText(l.cap) + ", the most a source may hold");
    if (rc == CURLE_BAD_CONTENT_ENCODING || (rc == CURLE_WRITE_ERROR && encoded && status == 200))
        return failed("its Content-Encoding: " + t.contentEncoding + " does not decode (" +
                      (errorText[0] ? errorText : curl_easy_strerror(rc)) + ")");
    if (rc != CURLE_OK && !(rc == CURLE_WRITE_ERROR && status != 200))
        return failed(errorText[0] ? errorText : curl_easy_strerror(rc));
    return std::nullopt;
}

// A transfer that went through: what its status and body say.
FetchResult answerOutcome(long status, const FetchRequest& request, Transfer& t) {
    FetchResult r;
    r.validators = std::move(t.validators);
    if (status == 304) {
        // Only a request that named what it has may be told it is current.
        if (request.ifChanged.empty())
            return failed("answered 304 Not Modified to a request without validators");
        r.kind = FetchResult::Kind::NotModified;
        return r;
    }
    if (status != 200)
        return failed(t.statusLine.empty() ? "HTTP " + std::to_string(status) : t.statusLine);
    if (!t.decoder) t.decoder.emplace(request.limits.cap, true, request.onText);  // an empty body
    if (!t.decoder->finish()) {
        if (!t.decoder->refused()) return failed(t.decoder->error());
        r.kind = FetchResult::Kind::Refused;
        return r;
    }
    r.kind = FetchResult::Kind::Fetched;
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
    if (!setUp(curl.get(), request, t, headers.get(), errorText))
        return failed("cannot set up the transfer");
    CURLcode rc = curl_easy_perform(curl.get());
    long status = 0;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    curl_off_t sent = 0;  // body bytes as they came over the wire
    curl_easy_getinfo(curl.get(), CURLINFO_SIZE_DOWNLOAD_T, &sent);
    const std::string received =
        amountText(static_cast<std::uint64_t>(std::max<curl_off_t>(sent, 0)));
    if (auto failure = transferFailure(rc, status, request, t, errorText, received))
        return std::move(*failure);
    return answerOutcome(status, request, t);
}

}  // namespace epg

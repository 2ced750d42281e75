#include "server/sources/source_fetch.h"

#include <curl/curl.h>

#include <algorithm>
#include <optional>

#include "base/curl_transfer.h"
#include "base/text.h"
#include "server/util/body_decoder.h"
#include "server/util/durations.h"
#include "server/util/size_text.h"

namespace epg {
namespace {

using SteadyClock = std::chrono::steady_clock;

struct Transfer final : base::TransferEvents {
    Transfer(const FetchRequest& r, base::CurlTransfer& c) : request(&r), curl(&c) {}
    bool headerLine(std::string_view line) override;
    std::size_t bodyBytes(std::string_view bytes) override;
    bool carryOn() override;

    const FetchRequest* request = nullptr;
    base::CurlTransfer* curl = nullptr;
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

// A header value as the log may show it: a server's CR or ESC would
// otherwise rewrite the operator's terminal or forge a log line.
std::string printable(std::string_view s) {
    std::string out;
    for (unsigned char c : base::trim(s)) out += c < 0x20 || c == 0x7f ? '?' : static_cast<char>(c);
    return out;
}

// The codings asked for: zlib's window is 32 KiB whatever the sender
// says, where a zstd or brotli frame may make the decoder take a window of
// hundreds of megabytes from a few kilobytes of body.
constexpr const char* kAcceptEncoding = "gzip, deflate";
bool acceptedCoding(std::string_view coding) {
    for (std::string_view ok : {"", "identity", "gzip", "x-gzip", "deflate"})
        if (coding.size() == ok.size() && base::startsWithNoCase(coding, ok)) return true;
    return false;
}

// Header lines of every answer, redirects included: a status line starts a
// new answer and forgets what the one before said.
bool Transfer::headerLine(std::string_view line) {
    lastByte = SteadyClock::now();
    if (line.starts_with("HTTP/")) {
        statusLine = printable(line);
        validators = {};
        contentEncoding.clear();
    } else if (base::startsWithNoCase(line, "etag:")) {
        validators.etag = std::string(base::trim(line.substr(5)));
    } else if (base::startsWithNoCase(line, "last-modified:")) {
        validators.lastModified = std::string(base::trim(line.substr(14)));
    } else if (base::startsWithNoCase(line, "content-encoding:")) {
        contentEncoding = printable(line.substr(17));
        // Refused before libcurl sets up a decoder for it.
        if (!acceptedCoding(contentEncoding)) {
            unsupportedCoding = true;
            return false;
        }
    }
    return true;
}

std::size_t Transfer::bodyBytes(std::string_view chunk) {
    lastByte = SteadyClock::now();
    if (!decoder) {
        status = curl->status();
        // Only a 200 carries listings; any other body is of no use.
        if (status != 200) return 0;
        decoder.emplace(request->limits.cap, true, request->onText);
    }
    if (request->onRawBytes) request->onRawBytes(chunk);
    return decoder->feed(chunk) ? chunk.size() : 0;
}

// The stop, the time-out of the whole transfer and the stall rule are kept
// here, so that each says what happened.
bool Transfer::carryOn() {
    const FetchLimits& l = request->limits;
    const auto now = SteadyClock::now();
    if (request->stop && request->stop->load())
        abort = Abort::Stopped;
    else if (now - started >= l.totalTimeout)
        abort = Abort::TimedOut;
    else if (now - lastByte >= l.stallTimeout)
        abort = Abort::Stalled;
    return abort == Abort::None;
}

FetchResult failed(std::string why) {
    FetchResult r;
    r.error = std::move(why);
    return r;
}

std::string seconds(std::chrono::milliseconds d) {
    if (d < std::chrono::seconds(1)) return std::to_string(d.count()) + " ms";
    return durationText(std::chrono::duration_cast<std::chrono::seconds>(d));
}

bool setUp(base::CurlTransfer& curl, const FetchRequest& request, Transfer& t) {
    const FetchLimits& l = request.limits;
    base::TransferSetup setup{request.url,
                              kEpgdUserAgent,
                              {},
                              l.maxRedirects,
                              l.connectTimeout,
                              // A backstop only: carryOn ends the transfer first, saying why.
                              l.totalTimeout + std::chrono::seconds(5)};
    if (!request.ifChanged.etag.empty())
        setup.headers.push_back("If-None-Match: " + request.ifChanged.etag);
    if (!request.ifChanged.lastModified.empty())
        setup.headers.push_back("If-Modified-Since: " + request.ifChanged.lastModified);
    CURL* c = curl.get();
    bool ok = curl.prepare(setup, t);
    // What arrives is the entity, which may itself be a gzip file.
    ok = ok && curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, kAcceptEncoding) == CURLE_OK;
    ok = ok &&
         curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(l.cap)) == CURLE_OK;
    return ok;
}

// Why a transfer that ended was of no use, in the words of the log; nothing
// when its answer is to be judged by its status.
std::optional<FetchResult> transferFailure(CURLcode rc, long status, const FetchRequest& request,
                                           Transfer& t, const std::string& received) {
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
                      t.curl->errorText(rc) + ")");
    if (rc != CURLE_OK && !(rc == CURLE_WRITE_ERROR && status != 200))
        return failed(t.curl->errorText(rc));
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
    base::CurlTransfer curl;
    if (!curl) return failed("cannot start a transfer");
    Transfer t(request, curl);
    if (!setUp(curl, request, t)) return failed("cannot set up the transfer");
    CURLcode rc = curl_easy_perform(curl.get());
    const long status = curl.status();
    curl_off_t sent = 0;  // body bytes as they came over the wire
    curl_easy_getinfo(curl.get(), CURLINFO_SIZE_DOWNLOAD_T, &sent);
    const std::string received =
        amountText(static_cast<std::uint64_t>(std::max<curl_off_t>(sent, 0)));
    if (auto failure = transferFailure(rc, status, request, t, received))
        return std::move(*failure);
    return answerOutcome(status, request, t);
}

}  // namespace epg

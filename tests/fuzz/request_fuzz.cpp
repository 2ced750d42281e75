// Any bytes as a request's head, read as a session reads them: the framing,
// size and Host rules, then the target and fields through handleRequest.
// A refusal or an answer, never a crash; a page only for GET or HEAD of a
// target that cleans to a path without "..". And any bytes as a source's
// URL: shown without its user part or the values of its query, and as a
// player's query: a channel within the cap, or an error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/shown_url.h"
#include "server/http/request_head.h"
#include "server/site/player_query.h"
#include "server/sources/sample_listings.h"

namespace {

void checkShownUrl(std::string_view url) {
    std::string shown = base::shownUrl(url);
    if (url.find("://") == std::string_view::npos) {  // a file path
        if (shown != url) std::abort();
        return;
    }
    if (!base::isHttpUrl(url) && shown == url) return;  // no scheme before "://" after all
    std::string_view s = shown;
    std::size_t authority = s.find("://") + 3;
    std::string_view host = s.substr(authority, s.find_first_of("/?", authority) - authority);
    // A user part is never shown; where one was cut, only the mark of it is.
    if (host.starts_with("…@")) host.remove_prefix(std::string_view("…@").size());
    if (host.find('@') != std::string_view::npos) std::abort();
    if (s.find('#') != std::string_view::npos) std::abort();
    // Every value of the query is elided.
    std::size_t q = s.find('?');
    for (std::size_t at = q; at != std::string_view::npos; at = s.find_first_of("&=", at + 1)) {
        if (at == q) continue;
        std::string_view rest = s.substr(at + 1);
        if (s[at] == '=' && !rest.starts_with("…")) std::abort();
    }
}

void checkPlayerQuery(std::string_view target) {
    for (epg::PlayerApi api : {epg::PlayerApi::Diyp, epg::PlayerApi::Epginfo}) {
        epg::PlayerQuery q = epg::parsePlayerQuery(api, target);
        if (!q.error.empty()) continue;
        if (q.channel.empty() || q.channel.size() > epg::kPlayerNameCap) std::abort();
        if (api == epg::PlayerApi::Epginfo && q.date) std::abort();  // today only
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const epg::Zone zone = epg::Zone::named("Asia/Shanghai").value_or(epg::Zone::local());
    static const epg::Site site(std::make_shared<epg::SampleListings>(zone),
                                epg::fixedClock(1796825700), zone);
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    checkShownUrl(bytes.substr(0, bytes.find('\n')));
    checkPlayerQuery(bytes.substr(0, bytes.find('\n')));

    epg::net::RequestParser parser;
    parser.header_limit(8 * 1024);
    boost::beast::error_code ec;
    std::size_t used = parser.put(boost::asio::buffer(data, size), ec);
    if (ec || !parser.is_header_done()) return 0;
    const auto& head = parser.get();
    auto refusal = epg::net::refusalOf(parser, used, 8 * 1024, 2 * 1024);
    if (refusal) {
        if (refusal->status != 400 && refusal->status != 414 && refusal->status != 431)
            std::abort();
        return 0;
    }
    // What passes has no body and names its host as HTTP/1.1 wants.
    if (head.count(boost::beast::http::field::transfer_encoding) > 0) std::abort();
    if (head.version() >= 11 && head.count(boost::beast::http::field::host) != 1) std::abort();
    epg::net::JoinedFields joined;
    epg::Request request = epg::net::requestOf(parser, joined);
    epg::Reply reply = epg::handleRequest(site, request);
    if (!reply.body) std::abort();
    if (reply.status == 200 || reply.status == 304) {
        if (request.method != "GET" && request.method != "HEAD") std::abort();
        auto path = epg::cleanTargetPath(request.target);
        if (!path || path->find("..") != std::string::npos) std::abort();
    }
    return 0;
}

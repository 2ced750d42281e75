#include "server/http/request_head.h"

namespace epg::net {

namespace http = boost::beast::http;

std::optional<Refusal> refusalOf(const RequestParser& parser, std::size_t headerBytes,
                                 std::size_t maxHeaderBytes, std::size_t maxTargetBytes) {
    const auto& req = parser.get();
    // The request line and every field, counted as they came: the parser's
    // own limit let many small fields through past it.
    if (headerBytes > maxHeaderBytes) return Refusal{431, "request header too large"};
    // Where a body would end is unknown with a transfer coding other than a
    // final chunked, and ambiguous with both framings (RFC 9112 6.1, 6.3):
    // a proxy in front might read the bytes after the head as a body, this
    // server as the next request. No body is wanted anyway; the connection
    // ends with the answer, so nothing after the head is read as a request.
    const bool coded = req.count(http::field::transfer_encoding) > 0;
    if (coded && req.count(http::field::content_length) > 0)
        return Refusal{400, "Transfer-Encoding and Content-Length together"};
    if (coded && !parser.chunked())
        return Refusal{400, "a Transfer-Encoding other than a final chunked"};
    if (coded || parser.content_length().value_or(0) > 0)
        return Refusal{400, "a request body is not expected"};
    if (req.target().size() > maxTargetBytes) return Refusal{414, "request target too long"};
    // RFC 9112 3.2: HTTP/1.1 names its host exactly once; no version twice.
    const std::size_t hosts = req.count(http::field::host);
    if (hosts > 1 || (hosts == 0 && req.version() >= 11))
        return Refusal{400, "exactly one Host header field is required"};
    return std::nullopt;
}

Request requestOf(const RequestParser& parser, JoinedFields& joined) {
    const auto& req = parser.get();
    auto view = [](boost::beast::string_view v) { return std::string_view(v.data(), v.size()); };
    // A list field sent on several lines means the lines joined by commas.
    auto list = [&req, &view](http::field f, std::string& out) {
        out.clear();
        auto [from, to] = req.equal_range(f);
        for (auto it = from; it != to; ++it) {
            if (!out.empty()) out += ", ";
            out += view(it->value());
        }
        return std::string_view(out);
    };
    return {view(req.method_string()),
            view(req.target()),
            list(http::field::accept_encoding, joined.acceptEncoding),
            list(http::field::if_none_match, joined.ifNoneMatch),
            view(req[http::field::if_modified_since]),
            view(req[http::field::host])};
}

}  // namespace epg::net

// What HTTP/1.1 asks of a request's head before it is answered, apart from
// the socket: its size, its framing, its Host; then the fields the answer
// depends on, with list fields sent on several lines joined. The session
// uses these on every request, the fuzzer on any bytes.
#pragma once

#include <utility>  // before Beast, which uses std::exchange without it

#include <boost/beast/http.hpp>
#include <cstddef>
#include <optional>
#include <string>

#include "server/site/site.h"

namespace epg::net {

using RequestParser = boost::beast::http::request_parser<boost::beast::http::empty_body>;

struct Refusal {
    int status;
    const char* why;
};

// A parsed head the server will not answer: too big (431), a body or a
// framing it cannot tell the end of (400), a target too long (414), Host
// missing in HTTP/1.1 or given twice (400). `headerBytes`: the request line
// and fields as they came. Every refusal closes the connection.
std::optional<Refusal> refusalOf(const RequestParser& parser, std::size_t headerBytes,
                                 std::size_t maxHeaderBytes, std::size_t maxTargetBytes);

// The request as handleRequest() takes it; views into the parser's head and
// into `joined`, which must outlive it.
struct JoinedFields {
    std::string acceptEncoding, ifNoneMatch;
};
Request requestOf(const RequestParser& parser, JoinedFields& joined);

}  // namespace epg::net

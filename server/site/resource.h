// One thing the server serves, made once: its bytes, the gzip twin of them,
// their strong entity tags and the header lines that go with each, so that a
// request only picks one.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "server/util/civil_time.h"

namespace epg {

inline constexpr std::string_view kHtmlType = "text/html; charset=GBK";
inline constexpr std::string_view kPlainType = "text/plain; charset=us-ascii";
inline constexpr std::string_view kXmlType = "application/xml; charset=UTF-8";
inline constexpr std::string_view kGzipType = "application/gzip";
inline constexpr std::string_view kJsonType = "application/json";

struct Variant {
    std::string body;
    std::string entityTag;  // quoted: "\"1f3a...\""
    // "\r\nETag: ...\r\nLast-Modified: ...\r\nCache-Control: ..." and, where
    // it applies, Vary and Content-Encoding.
    std::string headers;
};

struct Resource {
    std::string_view contentType;  // one of the constants above
    Seconds lastModified = 0;
    Variant identity;
    std::optional<Variant> gzip;  // for clients that accept gzip
};

struct ResourceKind {
    std::string_view contentType;
    std::string_view cacheControl;  // "public, max-age=300"
    bool gzipTwin = true;           // made and offered with Vary: Accept-Encoding
};

Resource makeResource(std::string body, const ResourceKind& kind, Seconds lastModified);

// The gzip member of bytes (no name, no time stamp: the same bytes give the
// same output); level as zlib's (6: its default, near 9 in size for these
// texts at half the time).
std::string gzipped(std::string_view bytes, int level = 6);

// A strong entity tag for bytes: a 64-bit FNV-1a hash and the length, quoted.
std::string entityTagOf(std::string_view bytes);

}  // namespace epg

#include "server/site/resource.h"

#include <zlib.h>

#include <cstdio>
#include <stdexcept>

#include "encoding/fnv1a.h"
#include "server/util/http_rules.h"

namespace epg {

std::string gzipped(std::string_view bytes, int level) {
    z_stream z{};
    // 15 window bits, +16: a gzip wrapper instead of a zlib one.
    if (deflateInit2(&z, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("zlib: deflateInit2 failed");
    std::string out(deflateBound(&z, bytes.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    // deflateBound leaves room for the whole stream, so one call finishes it.
    int rc = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    out.shrink_to_fit();  // the bound is about the input's size
    deflateEnd(&z);
    if (rc != Z_STREAM_END) throw std::runtime_error("zlib: deflate did not finish");
    return out;
}

std::string entityTagOf(std::string_view bytes) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "\"%016llx-%zx\"",
                  static_cast<unsigned long long>(encoding::fnv1a(bytes)), bytes.size());
    return buf;
}

namespace {

Variant variant(std::string body, const ResourceKind& kind, const std::string& lastModified,
                bool gzip) {
    Variant v;
    v.entityTag = entityTagOf(body);
    v.body = std::move(body);
    v.headers = "\r\nETag: " + v.entityTag + "\r\nLast-Modified: " + lastModified +
                "\r\nCache-Control: " + std::string(kind.cacheControl);
    if (kind.gzipTwin) v.headers += "\r\nVary: Accept-Encoding";
    if (gzip) v.headers += "\r\nContent-Encoding: gzip";
    return v;
}

}  // namespace

Resource makeResource(std::string body, const ResourceKind& kind, Seconds lastModified) {
    body.shrink_to_fit();  // kept for long: no room reserved while it was made
    Resource r;
    r.contentType = kind.contentType;
    r.lastModified = lastModified;
    std::string date = httpDate(lastModified);
    if (kind.gzipTwin) r.gzip = variant(gzipped(body), kind, date, true);
    r.identity = variant(std::move(body), kind, date, false);
    return r;
}

}  // namespace epg

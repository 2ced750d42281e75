#include "server/site/resource.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "encoding/fnv1a.h"
#include "server/util/http_rules.h"

namespace epg {

namespace {

// zlib's state for one level, kept by each thread and reset between uses:
// setting up anew (some 270 KiB, mapped and zeroed) cost more than
// compressing a small answer.
class Deflater {
  public:
    Deflater() = default;
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    ~Deflater() { end(); }

    z_stream& at(int level) {
        if (level_ == level && deflateReset(&z_) == Z_OK) return z_;
        end();
        // 15 window bits, +16: a gzip wrapper instead of a zlib one.
        if (deflateInit2(&z_, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::runtime_error("zlib: deflateInit2 failed");
        level_ = level;
        return z_;
    }

  private:
    void end() {
        if (level_ != kNone) deflateEnd(&z_);
        z_ = {};
        level_ = kNone;
    }

    static constexpr int kNone = -100;
    z_stream z_{};
    int level_ = kNone;
};

}  // namespace

std::string gzipped(std::string_view bytes, int level) {
    thread_local Deflater deflater;
    z_stream& z = deflater.at(level);
    // Room for a quarter of the input to start with, not deflateBound's
    // whole input and more: for /epg.xml that bound was some 80 MB beside
    // the text, and these texts pack to a tenth of it.
    std::string out(std::min<std::size_t>(deflateBound(&z, bytes.size()), bytes.size() / 4 + 1024),
                    '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    int rc = Z_OK;
    while (rc == Z_OK) {
        if (z.total_out == out.size()) out.resize(out.size() * 2);
        z.next_out = reinterpret_cast<Bytef*>(out.data() + z.total_out);
        z.avail_out = static_cast<uInt>(out.size() - z.total_out);
        rc = deflate(&z, Z_FINISH);
    }
    if (rc != Z_STREAM_END) throw std::runtime_error("zlib: deflate did not finish");
    out.resize(z.total_out);
    out.shrink_to_fit();
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
    // Kept for long: room reserved while it was made goes, unless it is
    // little, as it is where the room was sized to the text (/epg.xml):
    // shrinking copies the whole text.
    if (body.capacity() - body.size() > body.size() / 16) body.shrink_to_fit();
    Resource r;
    r.contentType = kind.contentType;
    r.lastModified = lastModified;
    std::string date = httpDate(lastModified);
    if (kind.gzipTwin) r.gzip = variant(gzipped(body), kind, date, true);
    r.identity = variant(std::move(body), kind, date, false);
    return r;
}

}  // namespace epg

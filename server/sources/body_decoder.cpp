#include "server/sources/body_decoder.h"

#include <zlib.h>

#include <algorithm>
#include <utility>

namespace epg {

namespace {
constexpr std::size_t kOutStep = 256 * 1024;
}

struct BodyDecoder::Stream {
    z_stream z{};
    bool open = false;
    ~Stream() {
        if (open) inflateEnd(&z);
    }
};

BodyDecoder::BodyDecoder(std::uint64_t cap, bool gunzip) : cap_(cap), gunzip_(gunzip) {}
BodyDecoder::~BodyDecoder() = default;

std::string sizeText(std::uint64_t bytes) {
    auto whole = [](std::uint64_t n, std::uint64_t unit, const char* name) {
        return n % unit == 0 ? std::to_string(n / unit) + " " + name : std::string();
    };
    if (bytes >= (1ull << 30) && !whole(bytes, 1ull << 30, "GiB").empty())
        return whole(bytes, 1ull << 30, "GiB");
    if (bytes >= (1ull << 20) && !whole(bytes, 1ull << 20, "MiB").empty())
        return whole(bytes, 1ull << 20, "MiB");
    return std::to_string(bytes) + " bytes";
}

void BodyDecoder::expect(std::uint64_t bytes) {
    // Reserved, not touched: pages beyond what arrives never become resident.
    text_.reserve(static_cast<std::size_t>(std::min(bytes, cap_)));
}

bool BodyDecoder::fail(std::string why) {
    if (error_.empty()) error_ = std::move(why);
    text_ = std::string();
    z_.reset();
    return false;
}

bool BodyDecoder::overCap(std::uint64_t more) {
    if (text_.size() + more <= cap_) return false;
    fail("larger than " + sizeText(cap_) + (gzip() ? " when decompressed" : std::string()) +
         ", the most a source may hold");
    return true;
}

bool BodyDecoder::start(std::string_view first) {
    if (gunzip_ && first.size() >= 2 && static_cast<unsigned char>(first[0]) == 0x1f &&
        static_cast<unsigned char>(first[1]) == 0x8b) {
        mode_ = Mode::Gzip;
        z_ = std::make_unique<Stream>();
        // 16 + MAX_WBITS: a gzip header and trailer around the deflate data.
        if (inflateInit2(&z_->z, 16 + MAX_WBITS) != Z_OK) return fail("cannot start gzip");
        z_->open = true;
    } else {
        mode_ = Mode::Plain;
    }
    return true;
}

bool BodyDecoder::feed(std::string_view chunk) {
    if (!error_.empty()) return false;
    input_ += chunk.size();
    if (mode_ != Mode::Unknown) return take(chunk);
    head_.append(chunk);
    if (head_.size() < 2) return true;
    std::string first = std::move(head_);
    head_.clear();
    return start(first) && take(first);
}

bool BodyDecoder::take(std::string_view data) {
    if (mode_ == Mode::Gzip) return inflateChunk(data);
    if (overCap(data.size())) return false;
    text_.append(data);
    return true;
}

bool BodyDecoder::inflateChunk(std::string_view chunk) {
    z_stream& z = z_->z;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(chunk.data()));
    z.avail_in = static_cast<uInt>(chunk.size());
    while (z.avail_in > 0) {
        if (memberEnded_) {
            // Concatenated gzip members make one stream (as zcat reads them);
            // anything else after the end is not part of the source.
            if (z.next_in[0] != 0x1f) return fail("data after the end of the gzip stream");
            if (inflateReset(&z) != Z_OK) return fail("cannot restart gzip");
            memberEnded_ = false;
        }
        std::size_t old = text_.size();
        std::size_t room = kOutStep;
        // Inside the room reserved for the size expected: a step past it at
        // the end would copy the whole text into a buffer twice its size.
        if (text_.capacity() > old) room = std::min(room, text_.capacity() - old);
        if (old + room > cap_ + 1) room = static_cast<std::size_t>(cap_ + 1 - old);
        text_.resize(old + room);
        z.next_out = reinterpret_cast<Bytef*>(text_.data() + old);
        z.avail_out = static_cast<uInt>(room);
        int rc = inflate(&z, Z_NO_FLUSH);
        text_.resize(old + room - z.avail_out);
        if (overCap(0)) return false;
        if (rc == Z_STREAM_END) {
            memberEnded_ = true;
        } else if (rc == Z_BUF_ERROR) {
            if (z.avail_out != 0) break;  // all input taken, more is needed
        } else if (rc != Z_OK) {
            return fail(std::string("broken gzip data: ") +
                        (z.msg ? z.msg : "error " + std::to_string(rc)));
        }
    }
    return true;
}

bool BodyDecoder::finish() {
    if (!error_.empty()) return false;
    if (mode_ == Mode::Unknown) {
        // Fewer than two bytes in all: plain.
        mode_ = Mode::Plain;
        return take(std::exchange(head_, std::string()));
    }
    if (mode_ == Mode::Gzip && !memberEnded_)
        return fail("truncated gzip data (the stream ends before its end)");
    return true;
}

}  // namespace epg

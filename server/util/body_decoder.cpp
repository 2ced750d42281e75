#include "server/util/body_decoder.h"

#include <zlib.h>

#include <algorithm>
#include <utility>

#include "server/util/size_text.h"

namespace epg {

namespace {
constexpr std::size_t kOutStep = 256 * 1024;
// Listings compress about twenty to one; a hundred to one and more is text
// made to be big (zeros, blanks), sent small.
constexpr std::uint64_t kBombRatio = 100;
}  // namespace

struct BodyDecoder::Stream {
    z_stream z{};
    bool open = false;
    ~Stream() {
        if (open) inflateEnd(&z);
    }
};

BodyDecoder::BodyDecoder(std::uint64_t cap, bool gunzip, Sink sink)
    : cap_(cap), gunzip_(gunzip), sink_(std::move(sink)) {}
BodyDecoder::~BodyDecoder() = default;

bool BodyDecoder::fail(std::string why) {
    if (error_.empty() && !refused_) error_ = std::move(why);
    z_.reset();
    out_ = {};
    return false;
}

// Hands text on, within the cap; the cap refuses the input before the sink
// sees a byte past it.
bool BodyDecoder::hand(std::string_view text) {
    if (output_ + text.size() > cap_) {
        overCap_ = true;
        if (gzip() && (cap_ + 1) / std::max<std::uint64_t>(inflated_, 1) >= kBombRatio)
            return fail("a gzip bomb: " + amountText(inflated_) + " of gzip unpack to more than " +
                        sizeText(cap_) + ", the most a source may hold");
        return fail("larger than " + sizeText(cap_) +
                    (gzip() ? " when decompressed" : std::string()) +
                    ", the most a source may hold");
    }
    output_ += text.size();
    if (text.empty() || sink_(text)) return true;
    refused_ = true;
    return fail({});
}

bool BodyDecoder::start(std::string_view first) {
    if (gunzip_ && first.size() >= 2 && static_cast<unsigned char>(first[0]) == 0x1f &&
        static_cast<unsigned char>(first[1]) == 0x8b) {
        mode_ = Mode::Gzip;
        z_ = std::make_unique<Stream>();
        // 16 + MAX_WBITS: a gzip header and trailer around the deflate data.
        if (inflateInit2(&z_->z, 16 + MAX_WBITS) != Z_OK) return fail("cannot start gzip");
        z_->open = true;
        out_.resize(kOutStep);
    } else {
        mode_ = Mode::Plain;
    }
    return true;
}

bool BodyDecoder::feed(std::string_view chunk) {
    if (!error_.empty() || refused_) return false;
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
    return hand(data);
}

bool BodyDecoder::inflateChunk(std::string_view chunk) {
    z_stream& z = z_->z;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(chunk.data()));
    z.avail_in = static_cast<uInt>(chunk.size());
    for (;;) {
        if (memberEnded_) {
            if (z.avail_in == 0) break;
            // Concatenated gzip members make one stream (as zcat reads them);
            // anything else after the end is not part of the source.
            if (z.next_in[0] != 0x1f) return fail("data after the end of the gzip stream");
            if (inflateReset(&z) != Z_OK) return fail("cannot restart gzip");
            memberEnded_ = false;
        }
        z.next_out = reinterpret_cast<Bytef*>(out_.data());
        z.avail_out = static_cast<uInt>(out_.size());
        const uInt before = z.avail_in;
        int rc = inflate(&z, Z_NO_FLUSH);
        inflated_ += before - z.avail_in;
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
            return fail(std::string("broken gzip data: ") +
                        (z.msg ? z.msg : "error " + std::to_string(rc)));
        if (!hand({out_.data(), out_.size() - z.avail_out})) return false;
        if (rc == Z_STREAM_END)
            memberEnded_ = true;
        else if (z.avail_out != 0)
            break;  // all input taken; a full buffer may leave more to come
    }
    return true;
}

bool BodyDecoder::finish() {
    if (!error_.empty() || refused_) return false;
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

// The bytes of a listings source as they arrive, in chunks of any size, into
// one string of decompressed text. Gzip is told by the first two bytes
// (1f 8b), never by a name, and inflated as it streams in, so the compressed
// bytes are never held whole. The text may not grow past a cap.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace epg {

class BodyDecoder {
  public:
    // `cap`: the most decompressed bytes taken; `gunzip` false takes gzip
    // bytes as they are.
    explicit BodyDecoder(std::uint64_t cap, bool gunzip = true);
    ~BodyDecoder();
    BodyDecoder(const BodyDecoder&) = delete;
    BodyDecoder& operator=(const BodyDecoder&) = delete;

    // Room for this many decompressed bytes, when the caller knows (a file's
    // size, a gzip trailer); never more than the cap.
    void expect(std::uint64_t bytes);
    // False once the input is refused (error() says why); later chunks are ignored.
    bool feed(std::string_view chunk);
    // The input has ended: false when a gzip stream stopped short.
    bool finish();

    const std::string& error() const { return error_; }
    bool gzip() const { return mode_ == Mode::Gzip; }
    std::uint64_t inputBytes() const { return input_; }
    // The text, handed over; call after finish() returned true.
    std::string take() { return std::move(text_); }

  private:
    enum class Mode { Unknown, Plain, Gzip };
    bool start(std::string_view firstBytes);
    bool take(std::string_view data);
    bool inflateChunk(std::string_view chunk);
    bool fail(std::string why);
    bool overCap(std::uint64_t more);

    struct Stream;
    std::uint64_t cap_;
    bool gunzip_;
    Mode mode_ = Mode::Unknown;
    std::string head_;  // the first byte, while the second is awaited
    std::unique_ptr<Stream> z_;
    bool memberEnded_ = false;  // a gzip member ended; another may follow
    std::uint64_t input_ = 0;
    std::string text_;
    std::string error_;
};

// "1 GiB", "512 MiB", "1,000 bytes": a size for messages.
std::string sizeText(std::uint64_t bytes);

}  // namespace epg

// The bytes of a listings source as they arrive, in chunks of any size, handed
// on as decompressed text as they come: nothing is held whole. Gzip is told by
// the first two bytes (1f 8b), never by a name, and inflated as it streams in.
// The text may not grow past a cap.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace epg {

class BodyDecoder {
  public:
    // Takes the next piece of text; false refuses the body (the sink knows why).
    using Sink = std::function<bool(std::string_view text)>;

    // `cap`: the most decompressed bytes handed on; `gunzip` false takes gzip
    // bytes as they are.
    BodyDecoder(std::uint64_t cap, bool gunzip, Sink sink);
    ~BodyDecoder();
    BodyDecoder(const BodyDecoder&) = delete;
    BodyDecoder& operator=(const BodyDecoder&) = delete;

    // False once the input is refused; later chunks are ignored.
    bool feed(std::string_view chunk);
    // The input has ended: false when a gzip stream stopped short.
    bool finish();

    // Why the input was refused; empty when the sink refused it.
    const std::string& error() const { return error_; }
    // Refused for holding more than the cap; refused by the sink.
    bool overCap() const { return overCap_; }
    bool refused() const { return refused_; }
    bool gzip() const { return mode_ == Mode::Gzip; }
    std::uint64_t inputBytes() const { return input_; }
    std::uint64_t outputBytes() const { return output_; }

  private:
    enum class Mode { Unknown, Plain, Gzip };
    bool start(std::string_view firstBytes);
    bool take(std::string_view data);
    bool inflateChunk(std::string_view chunk);
    bool hand(std::string_view text);
    bool fail(std::string why);

    struct Stream;
    std::uint64_t cap_;
    bool gunzip_;
    Sink sink_;
    Mode mode_ = Mode::Unknown;
    std::string head_;  // the first byte, while the second is awaited
    std::unique_ptr<Stream> z_;
    std::vector<char> out_;     // inflated text on its way to the sink
    bool memberEnded_ = false;  // a gzip member ended; another may follow
    bool refused_ = false;
    bool overCap_ = false;
    std::uint64_t input_ = 0, output_ = 0;
    std::uint64_t inflated_ = 0;  // gzip bytes inflated so far
    std::string error_;
};

}  // namespace epg

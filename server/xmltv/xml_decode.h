// The bytes of an XML document as UTF-8, as they arrive: the encoding told by
// a byte order mark or the first bytes (UTF-16, UTF-32), else by the XML
// declaration (UTF-8 when it names none). Bytes that are not characters of
// that encoding and NUL characters are refused, as XML has it, as soon as
// they come: a body of zeros fails at its first bytes, not once it is whole.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace epg {

class XmlDecoder {
  public:
    XmlDecoder();
    ~XmlDecoder();
    XmlDecoder(const XmlDecoder&) = delete;
    XmlDecoder& operator=(const XmlDecoder&) = delete;

    // Where the text went wrong: `at` is an offset into the `out` of the call
    // that found it (the fault is on the line of that offset).
    struct Fault {
        std::size_t at = 0;
        std::string what;
    };

    // Appends the UTF-8 of the next bytes (chunks of any size) onto `out`;
    // false at the first fault, and on every call after it. A character cut
    // by the end of a chunk waits for the next one.
    bool decode(std::string_view bytes, std::string& out);
    // The bytes have ended: false when they end inside a character.
    bool finish(std::string& out);
    const std::optional<Fault>& fault() const { return fault_; }

  private:
    enum class Mode { Undecided, Utf8, Converted };
    bool decide(std::string& out, bool final);
    bool take(std::string_view bytes, std::string& out, bool final);
    bool takeUtf8(std::string_view bytes, std::string& out, bool final);
    bool takeConverted(std::string_view bytes, std::string& out, bool final);
    bool fail(std::size_t at, std::string what);

    struct Converter;
    Mode mode_ = Mode::Undecided;
    std::string head_;     // the first bytes, until the encoding is known
    std::string pending_;  // a character cut by the end of the last chunk
    std::string why_;      // how the encoding was told, for messages
    std::string shown_;    // the encoding as the document names it
    std::unique_ptr<Converter> converter_;
    std::optional<Fault> fault_;
};

// 1 + the number of line feeds before `offset` (clamped to the text).
std::size_t lineAt(std::string_view text, std::size_t offset);

}  // namespace epg

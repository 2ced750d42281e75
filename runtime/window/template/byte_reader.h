// Bounded little-endian reading and writing of template blocks. Every read
// checks the bytes left before touching them (comparing counts against the
// remaining size, never adding to a position), so a reader can be pointed at
// any bytes. After the first failure every further read fails too, and the
// first failure's offset and reason are kept for the error text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "runtime/values/value.h"

namespace rt::tpl {

// Reserved bytes around every unit record's own fields, zero when written.
inline constexpr std::size_t kReservedHead = 16;
inline constexpr std::size_t kReservedTail = 20;

class ByteReader {
  public:
    // `base` is the offset of data[0] within the whole block, for messages.
    explicit ByteReader(std::span<const std::uint8_t> data, std::size_t base = 0)
        : data_(data), base_(base) {}

    bool u8(std::uint8_t& v);
    bool u32(std::uint32_t& v);
    bool i32(std::int32_t& v);
    bool word(std::uint32_t& v) { return u32(v); }
    bool word(std::int32_t& v) { return i32(v); }
    bool skip(std::size_t n, const char* what);
    bool bytes(std::size_t n, std::span<const std::uint8_t>& out, const char* what);
    bool nulText(Text& out, const char* what);      // bytes up to a NUL, NUL consumed
    bool countedText(Text& out, const char* what);  // 32-bit count, bytes, no NUL inside
    bool countedBlock(std::span<const std::uint8_t>& out, const char* what);
    bool countedBytes(Bytes& out, const char* what);

    // Fails unless every byte has been read (type data and records must be
    // exactly as long as their layout).
    bool expectEnd(const char* what);
    bool fail(const std::string& why);

    bool ok() const { return ok_; }
    std::size_t remaining() const { return ok_ ? data_.size() - pos_ : 0; }
    std::size_t offset() const { return base_ + pos_; }
    const std::string& error() const { return error_; }

  private:
    std::span<const std::uint8_t> data_;
    std::size_t base_;
    std::size_t pos_ = 0;
    bool ok_ = true;
    std::string error_;
};

class ByteWriter {
  public:
    explicit ByteWriter(Bytes& out) : out_(out) {}
    void u8(std::uint8_t v) { out_.push_back(v); }
    void u32(std::uint32_t v);
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void zeros(std::size_t n) { out_.insert(out_.end(), n, 0); }
    void raw(std::span<const std::uint8_t> b) { out_.insert(out_.end(), b.begin(), b.end()); }
    void nulText(const Text& t);      // up to the first NUL, then a NUL
    void countedText(const Text& t);  // up to the first NUL, counted
    void countedBlock(std::span<const std::uint8_t> b);
    void patchU32(std::size_t at, std::uint32_t v);
    std::size_t size() const { return out_.size(); }

  private:
    Bytes& out_;
};

// The text as stored: up to its first NUL.
std::string_view storedText(const Text& t);

}  // namespace rt::tpl

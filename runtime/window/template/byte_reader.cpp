#include "runtime/window/template/byte_reader.h"

#include <cstring>

namespace rt::tpl {

bool ByteReader::fail(const std::string& why) {
    if (ok_) {
        ok_ = false;
        error_ = "offset " + std::to_string(base_ + pos_) + ": " + why;
    }
    return false;
}

bool ByteReader::bytes(std::size_t n, std::span<const std::uint8_t>& out, const char* what) {
    if (!ok_) return false;
    if (n > data_.size() - pos_) {
        return fail(std::string(what) + " needs " + std::to_string(n) + " bytes, " +
                    std::to_string(data_.size() - pos_) + " left");
    }
    out = data_.subspan(pos_, n);
    pos_ += n;
    return true;
}

bool ByteReader::skip(std::size_t n, const char* what) {
    std::span<const std::uint8_t> ignored;
    return bytes(n, ignored, what);
}

bool ByteReader::u8(std::uint8_t& v) {
    std::span<const std::uint8_t> b;
    if (!bytes(1, b, "byte")) return false;
    v = b[0];
    return true;
}

bool ByteReader::u32(std::uint32_t& v) {
    std::span<const std::uint8_t> b;
    if (!bytes(4, b, "word")) return false;
    v = std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
        std::uint32_t{b[3]} << 24;
    return true;
}

bool ByteReader::i32(std::int32_t& v) {
    std::uint32_t u = 0;
    if (!u32(u)) return false;
    v = static_cast<std::int32_t>(u);
    return true;
}

bool ByteReader::nulText(Text& out, const char* what) {
    if (!ok_) return false;
    const std::uint8_t* start = data_.data() + pos_;
    std::size_t left = data_.size() - pos_;
    const void* nul = left ? std::memchr(start, 0, left) : nullptr;
    if (!nul) return fail(std::string(what) + " has no closing NUL");
    std::size_t len = static_cast<const std::uint8_t*>(nul) - start;
    out.assign(reinterpret_cast<const char*>(start), len);
    pos_ += len + 1;
    return true;
}

bool ByteReader::countedBlock(std::span<const std::uint8_t>& out, const char* what) {
    std::uint32_t n = 0;
    if (!u32(n)) return false;
    return bytes(n, out, what);
}

bool ByteReader::countedText(Text& out, const char* what) {
    std::span<const std::uint8_t> b;
    if (!countedBlock(b, what)) return false;
    if (!b.empty() && std::memchr(b.data(), 0, b.size()))
        return fail(std::string(what) + " holds a NUL");
    out.assign(reinterpret_cast<const char*>(b.data()), b.size());
    return true;
}

bool ByteReader::countedBytes(Bytes& out, const char* what) {
    std::span<const std::uint8_t> b;
    if (!countedBlock(b, what)) return false;
    out.assign(b.begin(), b.end());
    return true;
}

bool ByteReader::expectEnd(const char* what) {
    if (!ok_) return false;
    if (pos_ != data_.size()) {
        return fail(std::to_string(data_.size() - pos_) + " unexpected bytes after " + what);
    }
    return true;
}

std::string_view storedText(const Text& t) {
    std::string_view v(t);
    return v.substr(0, v.find('\0'));
}

void ByteWriter::u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void ByteWriter::nulText(const Text& t) {
    std::string_view v = storedText(t);
    out_.insert(out_.end(), v.begin(), v.end());
    out_.push_back(0);
}

void ByteWriter::countedText(const Text& t) {
    std::string_view v = storedText(t);
    u32(static_cast<std::uint32_t>(v.size()));
    out_.insert(out_.end(), v.begin(), v.end());
}

void ByteWriter::countedBlock(std::span<const std::uint8_t> b) {
    u32(static_cast<std::uint32_t>(b.size()));
    raw(b);
}

void ByteWriter::patchU32(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out_[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace rt::tpl

#include "runtime/values/byte_commands.h"

#include <cstring>

#include "runtime/values/gbk.h"

namespace rt {
namespace {

std::size_t widthOf(DataKind kind) {
    switch (kind) {
        case DataKind::Byte: return 1;
        case DataKind::Short: return 2;
        case DataKind::Int:
        case DataKind::Float:
        case DataKind::Bool:
        case DataKind::Subroutine: return 4;
        case DataKind::Int64:
        case DataKind::Double:
        case DataKind::DateTime: return 8;
        case DataKind::TextData: return 0;
    }
    return 0;
}

bool isValidKind(DataKind kind) {
    const int k = static_cast<int>(kind);
    return k >= 1 && k <= 10;
}

template <class T>
T load(const unsigned char* raw) {
    T v;
    std::memcpy(&v, raw, sizeof v);
    return v;
}

Value decode(DataKind kind, const unsigned char* raw) {
    switch (kind) {
        case DataKind::Byte: return raw[0];
        case DataKind::Short: return load<std::int16_t>(raw);
        case DataKind::Int: return load<std::int32_t>(raw);
        case DataKind::Int64: return load<std::int64_t>(raw);
        case DataKind::Float: return load<float>(raw);
        case DataKind::Double: return load<double>(raw);
        case DataKind::Bool: return load<std::int32_t>(raw) != 0;
        case DataKind::DateTime: return DateTime{load<double>(raw)};
        case DataKind::Subroutine: return SubroutineAddress{load<std::uint32_t>(raw)};
        case DataKind::TextData: break;
    }
    return Text{};
}

}  // namespace

int byteLength(const Bytes& bytes) {
    return static_cast<int>(bytes.size());
}

BytesRead readFromBytes(const Bytes& bytes, DataKind kind, int* position) {
    if (!isValidKind(kind)) return {Value{}, gbk("“欲取出数据的类型”参数值无效")};
    const int pos = position ? *position : 1;
    // Offset of the first byte to read; size() means "at the end".
    const std::size_t at = pos >= 1 && static_cast<std::size_t>(pos) - 1 < bytes.size()
                               ? static_cast<std::size_t>(pos) - 1
                               : bytes.size();
    const std::size_t left = bytes.size() - at;
    std::size_t next = 0;  // offset after the value read
    Value value;
    if (kind == DataKind::TextData) {
        const auto* begin = reinterpret_cast<const char*>(bytes.data()) + at;
        const auto* nul = left ? static_cast<const char*>(std::memchr(begin, 0, left)) : nullptr;
        const std::size_t len = nul ? static_cast<std::size_t>(nul - begin) : left;
        value = Text(begin, len);
        next = at + len + 1;
    } else {
        unsigned char raw[8] = {};
        const std::size_t width = widthOf(kind);
        if (left > 0) std::memcpy(raw, bytes.data() + at, left < width ? left : width);
        value = decode(kind, raw);
        next = at + width;
    }
    if (position) *position = next < bytes.size() ? static_cast<int>(next) + 1 : -1;
    return {std::move(value), {}};
}

Text textAtAddress(std::uintptr_t address) {
    if (address == 0) return {};
    return Text(reinterpret_cast<const char*>(address));
}

Bytes bytesAtAddress(std::uintptr_t address, int n) {
    if (address == 0 || n <= 0) return {};
    const auto* p = reinterpret_cast<const std::uint8_t*>(address);
    return Bytes(p, p + n);
}

}  // namespace rt

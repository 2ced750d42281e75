// Hand-encoded i386 procedures for the loader and executor tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace skin_test {

using Code = std::vector<std::uint8_t>;

inline void put32(Code& c, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) c.push_back(std::uint8_t(v >> (8 * i)));
}
inline Code bytes(std::initializer_list<std::uint8_t> b) {
    return Code(b);
}
inline Code operator+(Code a, const Code& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline Code movEaxImm(std::uint32_t v) {
    Code c{0xB8};
    put32(c, v);
    return c;
}
// mov eax, [esp + 4 * (n + 1)]: the n-th stack argument (0-based)
inline Code loadArg(int n) {
    return {0x8B, 0x44, 0x24, std::uint8_t(4 * (n + 1))};
}
inline Code addArg(int n) {
    return {0x03, 0x44, 0x24, std::uint8_t(4 * (n + 1))};
}
inline Code ret() {
    return {0xC3};
}
inline Code retN(std::uint16_t n) {
    return {0xC2, std::uint8_t(n), std::uint8_t(n >> 8)};
}
// mov eax, [address]
inline Code loadAbsolute(std::uint32_t address) {
    Code c{0xA1};
    put32(c, address);
    return c;
}
// call [address]
inline Code callIndirect(std::uint32_t address) {
    Code c{0xFF, 0x15};
    put32(c, address);
    return c;
}
inline Code pushImm8(std::uint8_t v) {
    return {0x6A, v};
}

// Appends (instance << 8 | reason) to a log at `cell` (count, then entries)
// and returns `result`: a DllMain that shows how it was called.
inline Code loggingEntry(std::uint32_t cell, std::uint32_t result) {
    Code c = bytes({0x8B, 0x44, 0x24, 0x04,  // mov eax, [esp+4]   instance
                    0xC1, 0xE0, 0x08,        // shl eax, 8
                    0x0B, 0x44, 0x24, 0x08,  // or eax, [esp+8]    reason
                    0x8B, 0x0D});            // mov ecx, [cell]
    put32(c, cell);
    c = c + bytes({0x89, 0x04, 0x8D});  // mov [ecx*4 + cell + 4], eax
    put32(c, cell + 4);
    c = c + bytes({0xFF, 0x05});  // inc dword [cell]
    put32(c, cell);
    return c + movEaxImm(result) + retN(12);
}

}  // namespace skin_test

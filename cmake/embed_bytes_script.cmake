# Writes the bytes of IN as a C++ array to OUT (see EmbedBytes.cmake).
file(READ ${IN} hex HEX)
string(LENGTH "${hex}" hexlen)
math(EXPR size "${hexlen} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," body "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" body "${body}")
file(WRITE ${OUT}
"// Generated from ${IN}; do not edit.
#include <cstdint>
#include <span>
namespace ${NAMESPACE} {
namespace {
alignas(16) const std::uint8_t ${SYMBOL}_bytes[${size} + 1] = {
${body}
0};
}  // namespace
std::span<const std::uint8_t> ${SYMBOL}() { return {${SYMBOL}_bytes, ${size}}; }
}  // namespace ${NAMESPACE}
")

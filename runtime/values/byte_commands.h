// Commands on byte values and raw memory.
#pragma once

#include <cstdint>

#include "runtime/values/any_value.h"

namespace rt {

int byteLength(const Bytes& bytes);

// Kinds of value that read-from-bytes can take out, by their command numbers.
enum class DataKind : int {
    Byte = 1,
    Short = 2,
    Int = 3,
    Int64 = 4,
    Float = 5,
    Double = 6,
    Bool = 7,
    DateTime = 8,
    Subroutine = 9,
    TextData = 10,
};

struct BytesRead {
    Value value;
    // Set (GBK) when the kind is not 1..10: the message of the runtime's fatal
    // error, "“欲取出数据的类型”参数值无效". The caller raises it.
    Text error;
    bool ok() const { return error.empty(); }
};

// Reads one value of `kind` at the 1-based `*position` (1 when `position` is
// null), little-endian. Bytes missing at the end read as 0; a text runs to its
// NUL or to the end. The position moves past the value (and a text's NUL), or
// becomes -1 once nothing is left behind the value. A position below 1 (-1
// included) is at the end: numbers read 0 and texts read empty.
BytesRead readFromBytes(const Bytes& bytes, DataKind kind, int* position = nullptr);

// The NUL-terminated text at `address`; 0 gives the empty text.
Text textAtAddress(std::uintptr_t address);

// A copy of `n` bytes at `address`; address 0 or n <= 0 gives empty bytes.
Bytes bytesAtAddress(std::uintptr_t address, int n);

}  // namespace rt

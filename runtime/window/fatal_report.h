// The text of the fatal runtime-error report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "runtime/values/value.h"

namespace rt {

// "运行时出错!\r\n\r\n", then "错误代码：<n>\r\n\r\n" when there is a number,
// then "错误信息：<message>\r\n" when the message is not empty. GBK.
Text formatFatalReport(std::optional<std::int32_t> number, const Text& message);

// The message of a failed allocation: "分配 <bytes> 字节内存失败!". GBK.
Text allocationFailureMessage(std::size_t bytes);

// For a failure outside any runtime (before one exists, or around it in a
// program's main): the report of a failed allocation on stderr as UTF-8, then
// exit -1.
[[noreturn]] void exitOnAllocationFailure(std::size_t bytes);

}  // namespace rt

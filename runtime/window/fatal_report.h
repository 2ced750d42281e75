// The text of the fatal runtime-error report.
#pragma once

#include <cstdint>
#include <optional>

#include "runtime/values/value.h"

namespace rt {

// "运行时出错!\r\n\r\n", then "错误代码：<n>\r\n\r\n" when there is a number,
// then "错误信息：<message>\r\n" when the message is not empty. GBK.
Text formatFatalReport(std::optional<std::int32_t> number, const Text& message);

}  // namespace rt

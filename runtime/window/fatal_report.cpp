#include "runtime/window/fatal_report.h"

#include <string>

#include "runtime/values/gbk.h"

namespace rt {

Text formatFatalReport(std::optional<std::int32_t> number, const Text& message) {
    Text report = gbk("运行时出错!\r\n\r\n");
    if (number) report += gbk("错误代码：") + std::to_string(*number) + "\r\n\r\n";
    if (!message.empty()) report += gbk("错误信息：") + message + "\r\n";
    return report;
}

}  // namespace rt

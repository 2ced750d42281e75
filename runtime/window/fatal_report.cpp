#include "runtime/window/fatal_report.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/values/gbk.h"

namespace rt {

Text formatFatalReport(std::optional<std::int32_t> number, const Text& message) {
    Text report = gbk("运行时出错!\r\n\r\n");
    if (number) report += gbk("错误代码：") + std::to_string(*number) + "\r\n\r\n";
    if (!message.empty()) report += gbk("错误信息：") + message + "\r\n";
    return report;
}

Text allocationFailureMessage(std::size_t bytes) {
    return gbk("分配 ") + std::to_string(bytes) + gbk(" 字节内存失败!");
}

void exitOnAllocationFailure(std::size_t bytes) {
    const std::string report =
        toUtf8(formatFatalReport(std::nullopt, allocationFailureMessage(bytes)));
    std::fwrite(report.data(), 1, report.size(), stderr);
    std::fflush(nullptr);
    std::_Exit(-1);
}

}  // namespace rt

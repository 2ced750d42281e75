// The runtime's fatal error report, as the skin layer sees it. The runtime
// frame shows the report and ends the process, so fatal() does not return
// there; a test reporter may throw instead. Should one return anyway, the
// failed operation yields 0.
#pragma once

#include "runtime/values/value.h"

namespace skin {

class FatalReporter {
  public:
    virtual ~FatalReporter() = default;
    // `number` 0 means a report without an error number; `message` is GBK.
    virtual void fatal(int number, const rt::Text& message) = 0;
};

inline constexpr int kStackErrorNumber = 6;  // "调用DLL命令后发现堆栈错误"

}  // namespace skin

// A date-time value from its civil parts, for tests that write dates plainly.
#pragma once

#include <gtest/gtest.h>

#include "runtime/values/date_time.h"

namespace civil {

// The value of y-mo-d h:mi:s; a date outside the runtime's range fails the
// test that asked for it.
inline rt::DateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    auto v = rt::fromCivil(rt::CivilTime{y, mo, d, h, mi, s});
    EXPECT_TRUE(v.has_value()) << y << "-" << mo << "-" << d;
    return v.value_or(rt::DateTime{});
}

}  // namespace civil

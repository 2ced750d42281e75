#include "runtime/values/conversions.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "runtime/values/date_time.h"
#include "runtime/values/gbk.h"

namespace rt {
namespace {

template <class... Args>
Text format(const char* fmt, Args... args) {
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, fmt, args...);
    return Text(buf, n < 0 ? 0 : static_cast<std::size_t>(n));
}

std::string_view upToNul(std::string_view s) {
    const auto nul = s.find('\0');
    return nul == std::string_view::npos ? s : s.substr(0, nul);
}

constexpr std::int32_t kIndefinite = std::numeric_limits<std::int32_t>::min();

// Truncated toward zero; NaN and values outside int32 give the x86
// "integer indefinite" value instead of undefined behaviour.
std::int32_t truncateToInt(double v) {
    if (!(v > -2147483649.0 && v < 2147483648.0)) return kIndefinite;
    return static_cast<std::int32_t>(v);
}

}  // namespace

Text toText(std::uint8_t v) {
    return format("%u", unsigned{v});
}
Text toText(std::int16_t v) {
    return format("%d", int{v});
}
Text toText(std::int32_t v) {
    return format("%d", v);
}
Text toText(std::int64_t v) {
    return format("%lld", static_cast<long long>(v));
}
Text toText(float v) {
    return format("%.6g", static_cast<double>(v));
}
Text toText(double v) {
    return format("%.13g", v);
}

Text toText(bool v) {
    static const Text kTrue = gbk("真");
    static const Text kFalse = gbk("假");
    return v ? kTrue : kFalse;
}

Text toText(std::string_view text) {
    return Text(upToNul(text));
}
Text toText(const Text& text) {
    return Text(upToNul(text));
}
Text toText(const char* text) {
    return text ? Text(text) : Text();
}

Text toText(const Bytes& bytes) {
    return Text(
        upToNul(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
}

Text toText(SubroutineAddress v) {
    return format("%u", static_cast<unsigned>(v.address));
}

Text toText(DateTime v) {
    static const Text kDate = gbk("%d年%d月%d日");
    static const Text kHms = gbk("%d时%d分%d秒");
    static const Text kHm = gbk("%d时%d分");
    static const Text kH = gbk("%d时");
    const CivilTime c = toCivil(v);
    Text out = format(kDate.c_str(), c.year, c.month, c.day);
    if (c.second != 0)
        out += format(kHms.c_str(), c.hour, c.minute, c.second);
    else if (c.minute != 0)
        out += format(kHm.c_str(), c.hour, c.minute);
    else if (c.hour != 0)
        out += format(kH.c_str(), c.hour);
    return out;
}

Text toText(const Value& v) {
    return std::visit([](const auto& x) { return toText(x); }, v);
}

std::int32_t textToInteger(std::string_view text) {
    text = upToNul(text);
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::int64_t n = 0;
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        n = n * 10 + (text[i] - '0');
        if (n > limit) n = limit;  // saturate, and keep n small
    }
    return static_cast<std::int32_t>(negative ? -n : n);
}

std::int32_t toInteger(const Value& v) {
    struct Visitor {
        std::int32_t operator()(std::uint8_t x) const { return x; }
        std::int32_t operator()(std::int16_t x) const { return x; }
        std::int32_t operator()(std::int32_t x) const { return x; }
        std::int32_t operator()(std::int64_t x) const {
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(x));
        }
        std::int32_t operator()(float x) const { return truncateToInt(x); }
        std::int32_t operator()(double x) const { return truncateToInt(x); }
        std::int32_t operator()(bool x) const { return x ? 1 : 0; }
        std::int32_t operator()(const Text& x) const { return textToInteger(x); }
        std::int32_t operator()(SubroutineAddress x) const {
            return static_cast<std::int32_t>(x.address);
        }
        std::int32_t operator()(DateTime) const { return 0; }
        std::int32_t operator()(const Bytes&) const { return 0; }
    };
    return std::visit(Visitor{}, v);
}

std::int32_t integerPart(double v) {
    if (std::isnan(v)) return kIndefinite;
    const double up = std::ceil(v);
    if (v > 0 && up - v < 1e-12) v = up;
    return truncateToInt(std::floor(v));
}

}  // namespace rt

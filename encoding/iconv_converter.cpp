#include "encoding/iconv_converter.h"

#include <cerrno>
#include <utility>

namespace encoding {

IconvConverter::IconvConverter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}

IconvConverter::IconvConverter(IconvConverter&& other) noexcept
    : cd_(std::exchange(other.cd_, reinterpret_cast<iconv_t>(-1))) {}

IconvConverter::~IconvConverter() {
    if (usable()) iconv_close(cd_);
}

std::size_t IconvConverter::convert(std::string_view in, std::string& out, bool resume) {
    if (!usable()) return 0;
    if (!resume) iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());  // iconv never writes through it
    std::size_t srcLeft = in.size();
    char buf[4096];
    while (srcLeft > 0) {
        char* dst = buf;
        std::size_t dstLeft = sizeof buf;
        const std::size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, static_cast<std::size_t>(dst - buf));
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) break;
    }
    return in.size() - srcLeft;
}

}  // namespace encoding

#include "runtime/values/gbk.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace rt {
namespace {

// One iconv descriptor per call keeps this free of shared state; the guide
// converts a handful of short texts, so the open cost does not matter.
class Iconv {
  public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            std::fprintf(stderr, "iconv cannot convert %s to %s\n", from, to);
            std::abort();
        }
    }
    ~Iconv() { iconv_close(cd_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Converts as much as possible; returns the number of input bytes left
    // unconverted at the first failure (0 when all went through).
    size_t convert(std::string_view in, std::string& out, size_t& consumed) {
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char buf[4096];
        while (srcLeft > 0) {
            char* dst = buf;
            size_t dstLeft = sizeof buf;
            size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buf, dst - buf);
            if (r == static_cast<size_t>(-1) && errno != E2BIG) break;
        }
        consumed = in.size() - srcLeft;
        return srcLeft;
    }

  private:
    iconv_t cd_;
};

}  // namespace

std::optional<Text> gbkStrict(std::string_view utf8) {
    Iconv cv("GBK", "UTF-8");
    Text out;
    size_t consumed = 0;
    if (cv.convert(utf8, out, consumed) != 0) return std::nullopt;
    return out;
}

Text gbk(std::string_view utf8) {
    auto out = gbkStrict(utf8);
    if (!out) {
        std::fprintf(stderr, "text has no GBK form: %.*s\n", static_cast<int>(utf8.size()),
                     utf8.data());
        std::abort();
    }
    return *out;
}

std::string toUtf8(std::string_view gbkText) {
    Iconv cv("UTF-8", "GBK");
    std::string out;
    while (!gbkText.empty()) {
        size_t consumed = 0;
        if (cv.convert(gbkText, out, consumed) == 0) break;
        gbkText.remove_prefix(consumed);
        // Skip one undecodable byte (or a lone lead byte at the end).
        out += "\xEF\xBF\xBD";
        gbkText.remove_prefix(1);
    }
    return out;
}

}  // namespace rt

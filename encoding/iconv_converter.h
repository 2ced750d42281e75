// One glibc iconv descriptor, owned: the only place that calls iconv.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace encoding {

class IconvConverter {
  public:
    // A converter glibc does not provide is not usable(); each caller decides
    // what that means (GBK and GB18030 ship with every glibc).
    IconvConverter(const char* to, const char* from);
    ~IconvConverter();
    IconvConverter(IconvConverter&& other) noexcept;
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;

    bool usable() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts from the start of `in` onto the end of `out` until the input
    // ends or a byte sequence does not convert (a sequence cut short at the
    // end included); returns the number of input bytes converted. Starts from
    // the initial shift state unless `resume`, which carries on from where
    // the last call ended: text that arrives in pieces.
    std::size_t convert(std::string_view in, std::string& out, bool resume = false);

  private:
    iconv_t cd_;
};

}  // namespace encoding

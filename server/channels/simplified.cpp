#include "server/channels/simplified.h"

#include <opencc.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace epg {
namespace {

class T2s {
  public:
    T2s() : handle_(opencc_open(OPENCC_DEFAULT_CONFIG_TRAD_TO_SIMP)) {
        if (!usable())
            std::fprintf(stderr,
                         "tvguide-epgd: cannot load OpenCC's %s (%s); Traditional channel names "
                         "are compared as written\n",
                         OPENCC_DEFAULT_CONFIG_TRAD_TO_SIMP, opencc_error());
    }
    ~T2s() {
        if (usable()) opencc_close(handle_);
    }
    T2s(const T2s&) = delete;
    T2s& operator=(const T2s&) = delete;

    std::string convert(std::string_view utf8) {
        if (!usable()) return std::string(utf8);
        // OpenCC does not promise that one converter serves two threads at once.
        const std::string text(utf8);  // ends in a NUL, whatever OpenCC reads
        std::lock_guard lock(mutex_);
        char* out = opencc_convert_utf8(handle_, text.c_str(), text.size());
        if (!out) return std::string(utf8);
        std::string result(out);
        opencc_convert_utf8_free(out);
        return result;
    }

  private:
    bool usable() const { return handle_ != reinterpret_cast<opencc_t>(-1); }

    opencc_t handle_;
    std::mutex mutex_;
};

}  // namespace

std::string simplified(std::string_view utf8) {
    bool ascii = true;
    for (char c : utf8) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    // A NUL would end OpenCC's output early; no name holds one.
    if (ascii || utf8.find('\0') != std::string_view::npos) return std::string(utf8);
    static T2s t2s;
    return t2s.convert(utf8);
}

}  // namespace epg

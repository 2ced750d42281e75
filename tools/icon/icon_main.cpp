// tvguide_icon OUT.ico          the window's icon (64x64 .ico)
// tvguide_icon --png SIZE OUT.png   the icon at SIZE x SIZE as PNG, for the desktop
#include <cstdio>
#include <fstream>
#include <string>

#include "tools/icon/icon_image.h"
#include "tools/icon/png_file.h"

namespace {

int usage(const char* self) {
    std::fprintf(stderr, "usage: %s OUT.ico\n       %s --png SIZE OUT.png   (SIZE 1..1024)\n", self,
                 self);
    return 2;
}

int writeFile(const char* self, const char* path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: cannot write %s\n", self, path);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && argv[1][0] != '-')
        return writeFile(argv[0], argv[1], tools::iconFile(tools::drawGuideIcon()));
    if (argc != 4 || std::string(argv[1]) != "--png") return usage(argv[0]);
    const std::string sizeText = argv[2];
    if (sizeText.empty() || sizeText.size() > 4 ||
        sizeText.find_first_not_of("0123456789") != std::string::npos)
        return usage(argv[0]);
    const int size = std::stoi(sizeText);
    if (size < 1 || size > 1024) return usage(argv[0]);
    return writeFile(argv[0], argv[3], tools::pngFile(size, size, tools::drawGuideIcon(size)));
}

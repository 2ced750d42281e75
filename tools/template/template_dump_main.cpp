// template_dump BLOCK: prints the readable dump of a window template block,
// e.g. to write the checked-in copy the template tests compare with:
//   build/tools/template_dump build/app/window/main_window.tpl > tests/template/main_window.dump
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "tools/template/template_dump.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s BLOCK\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    const std::vector<std::uint8_t> block{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    const std::string text = tools::dumpTemplateBlock(block);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return text.starts_with("unreadable block") ? 1 : 0;
}

// template_tool LAYOUT BLOCK_OUT HEADER_OUT NAMESPACE [NAME=PATH...]
//
// Turns a layout description into the window template block and the header
// of handler, window and unit ids (declared in NAMESPACE). NAME=PATH pairs
// supply the files the description names (the icon).
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "runtime/window/template/template_codec.h"
#include "tools/template/ids_header.h"
#include "tools/template/layout_description.h"

namespace {

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool writeFile(const std::string& path, const void* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s LAYOUT BLOCK_OUT HEADER_OUT NAMESPACE [NAME=PATH...]\n",
                     argv[0]);
        return 2;
    }
    std::map<std::string, std::string> files;
    for (int i = 5; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto eq = arg.find('=');
        if (eq == std::string::npos) {
            std::fprintf(stderr, "%s: expected NAME=PATH, got %s\n", argv[0], argv[i]);
            return 2;
        }
        files[arg.substr(0, eq)] = arg.substr(eq + 1);
    }
    const std::optional<std::string> text = readFile(argv[1]);
    if (!text) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    tools::LayoutResult layout =
        tools::parseLayout(*text, [&files](std::string_view name) -> std::optional<rt::Bytes> {
            auto it = files.find(std::string(name));
            if (it == files.end()) return std::nullopt;
            std::optional<std::string> bytes = readFile(it->second);
            if (!bytes) return std::nullopt;
            return rt::Bytes(bytes->begin(), bytes->end());
        });
    if (!layout.value) {
        std::fprintf(stderr, "%s: %s\n", argv[1], layout.error.c_str());
        return 1;
    }
    const rt::Bytes block = rt::writeTemplate(layout.value->tpl);
    const std::string header = tools::idsHeader(*layout.value, argv[4]);
    if (!writeFile(argv[2], block.data(), block.size()) ||
        !writeFile(argv[3], header.data(), header.size())) {
        std::fprintf(stderr, "%s: cannot write the outputs\n", argv[0]);
        return 1;
    }
    return 0;
}

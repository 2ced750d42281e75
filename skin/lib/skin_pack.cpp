// skin_pack SOURCE OUTPUT: turns a readable skin description (see teal.skin)
// into the binary skin file of SKIN_FORMAT.md. Exits non-zero, naming the
// line, on anything it cannot encode.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

int fail(int line, const std::string& why) {
    std::cerr << "skin_pack: line " << line << ": " << why << "\n";
    return 1;
}

void put16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: skin_pack SOURCE OUTPUT\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << "skin_pack: cannot read " << argv[1] << "\n";
        return 1;
    }
    std::string title;
    std::vector<std::uint8_t> entries;
    unsigned count = 0;
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
        std::istringstream words(text);
        std::string key, value, extra;
        if (!(words >> key)) continue;
        if (key[0] == '#') continue;  // a comment line
        if (!(words >> value) || (words >> extra))
            return fail(line, "expected a name and one value");
        if (key == "title") {
            if (value.size() > 255) return fail(line, "title longer than 255 bytes");
            title = value;
            continue;
        }
        if (key.size() > 31) return fail(line, "colour name longer than 31 bytes");
        if (value.size() != 7 || value[0] != '#') return fail(line, "colour must be #RRGGBB");
        unsigned rgb = 0;
        if (std::sscanf(value.c_str() + 1, "%6x", &rgb) != 1)
            return fail(line, "colour must be #RRGGBB");
        const std::uint32_t bgr = (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
        entries.push_back(std::uint8_t(key.size()));
        entries.insert(entries.end(), key.begin(), key.end());
        for (int i = 0; i < 4; ++i) entries.push_back(std::uint8_t(bgr >> (8 * i)));
        if (++count > 64) return fail(line, "more than 64 colours");
    }
    std::vector<std::uint8_t> out = {'.', 'S', 'H', 'E'};
    put16(out, 1);
    put16(out, count);
    out.push_back(std::uint8_t(title.size()));
    out.insert(out.end(), title.begin(), title.end());
    out.insert(out.end(), entries.begin(), entries.end());
    std::ofstream file(argv[2], std::ios::binary);
    file.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
    if (!file) {
        std::cerr << "skin_pack: cannot write " << argv[2] << "\n";
        return 1;
    }
    return 0;
}

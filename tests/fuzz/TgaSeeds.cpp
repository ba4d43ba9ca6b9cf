// Writes a handful of small TGA files, valid and not, as the fuzzer's seeds.
// Usage: orvandel_tga_seeds DIRECTORY

#include "TgaBytes.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

using namespace TgaBytes;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    Bytes raw128{0x7F};
    for (int i = 0; i < 128; ++i) raw128.insert(raw128.end(), {(unsigned char)i, 1, 2});
    const Bytes glyphs = GlyphPattern(24, 16, 4);

    const std::vector<std::pair<std::string, Bytes>> seeds = {
        {"rgb-2x1.tga", Concat(Header(2, 2, 1, 24), {1, 2, 3, 4, 5, 6})},
        {"rgba-1x2.tga", Concat(Header(2, 1, 2, 32, 0x28), {1, 2, 3, 4, 5, 6, 7, 8})},
        {"rle-run4.tga", Concat(Header(10, 4, 1, 24), {0x83, 10, 20, 30})},
        {"rle-row-cross.tga", Concat(Header(10, 3, 2, 24), {0x01, 1, 1, 1, 2, 2, 2, 0x83, 9, 8, 7})},
        {"rle-raw128.tga", Concat(Header(10, 129, 1, 24), Concat(raw128, {0x80, 5, 5, 5}))},
        {"rle-glyphs.tga", Concat(Header(10, 24, 16, 32), EncodeRle(glyphs, 4))},
        {"rgba-glyphs.tga", Concat(Header(2, 24, 16, 32), glyphs)},
        {"grey-type3.tga", Concat(Header(3, 1, 1, 8), {7})},
        {"truncated.tga", Concat(Header(2, 4, 4, 24), {1, 2, 3})},
    };
    for (const auto& [name, bytes] : seeds) {
        const std::string path = std::string(argv[1]) + "/" + name;
        FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        std::fclose(f);
    }
    return 0;
}

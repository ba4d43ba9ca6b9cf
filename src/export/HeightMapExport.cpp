#include "export/HeightMapExport.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "export/OutputFile.h"
#include "export/TgaWriter.h"

namespace {

const char kFileNameFormat[] = "%Y-%m-%d %H-%M-%S heightmap.tga";
const char kLabel[] = "heightmap export";

void PutLittle16(uint8_t* at, uint16_t value)
{
    at[0] = static_cast<uint8_t>(value & 0xFF);
    at[1] = static_cast<uint8_t>(value >> 8);
}

}  // namespace

std::string HeightMapFileName(const std::tm& localTime)
{
    char name[1024];
    memset(name, 0, sizeof name);
    strftime(name, sizeof name - 1, kFileNameFormat, &localTime);
    return name;
}

std::vector<uint8_t> HeightMapTGABytes(const Matrix2DInterface<float>& grid)
{
    const uint16_t width = static_cast<uint16_t>(grid.GetWidth());
    const uint16_t height = static_cast<uint16_t>(grid.GetHeight());
    std::vector<uint8_t> bytes(kTgaHeaderSize + 3 * size_t(width) * height, 0);
    bytes[2] = 2;  // uncompressed true-colour
    PutLittle16(&bytes[12], width);
    PutLittle16(&bytes[14], height);
    bytes[16] = 24;  // bits per pixel; descriptor 0: no alpha, origin bottom left

    uint8_t* pixel = bytes.data() + kTgaHeaderSize;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t grey = HeightToByte(grid.At(x, y));
            pixel[0] = grey;
            pixel[1] = grey;
            pixel[2] = grey;
            pixel += 3;
        }
    }
    return bytes;
}

bool SaveHeightMapTGA(const Matrix2DInterface<float>& grid, const char* path, std::string* writtenPath)
{
    std::string name;
    if (path == nullptr) {
        const time_t now = time(nullptr);
        std::tm local{};
        if (localtime_r(&now, &local) == nullptr) {
            fprintf(stderr, "%s: cannot read the local time; nothing written\n", kLabel);
            return false;
        }
        name = HeightMapFileName(local);
    } else {
        name = path;
    }
    if (writtenPath != nullptr) {
        *writtenPath = name;
    }
    OutputFile output(kLabel);
    return output.Open(name) && WriteHeightMapTga(grid, output) && output.Commit();
}

#include "export/HeightMapExport.h"

#include <cstdio>
#include <cstring>

#include "export/OutputFile.h"
#include "export/TgaWriter.h"

namespace {

const char kFileNameFormat[] = "%Y-%m-%d %H-%M-%S heightmap.tga";
const char kLabel[] = "heightmap export";

}  // namespace

std::string HeightMapFileName(const std::tm& localTime)
{
    char name[1024];
    memset(name, 0, sizeof name);
    strftime(name, sizeof name - 1, kFileNameFormat, &localTime);
    return name;
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

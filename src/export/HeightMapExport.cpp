#include "export/HeightMapExport.h"

#include <cstring>

#include "landing/OutputFile.h"
#include "export/TgaWriter.h"

namespace {

const char kFileNameFormat[] = "%Y-%m-%d %H-%M-%S heightmap.tga";

}  // namespace

std::string HeightMapFileName(const std::tm& localTime)
{
    char name[1024];
    memset(name, 0, sizeof name);
    strftime(name, sizeof name - 1, kFileNameFormat, &localTime);
    return name;
}

bool SaveHeightMapTGA(const Matrix2DInterface<float>& grid, const char* path, std::string& error,
                      std::string* writtenPath)
{
    std::string name;
    if (path == nullptr) {
        const time_t now = time(nullptr);
        std::tm local{};
        if (localtime_r(&now, &local) == nullptr) {
            error = "cannot read the local time; nothing written";
            return false;
        }
        name = HeightMapFileName(local);
    } else {
        name = path;
    }
    if (writtenPath != nullptr) {
        *writtenPath = name;
    }
    OutputFile output;
    if (output.Open(name) && WriteHeightMapTga(grid, output) && output.Commit()) {
        return true;
    }
    error = output.Error();
    return false;
}

// orvandel-heightmap: generates the heightmap exactly as the viewer does and
// writes it as a file, without opening a window.

#include <cstdio>
#include <vector>

#include "HeightMapFormats.h"
#include "HeightMapOptions.h"
#include "export/HeightMapExport.h"
#include "export/WholeFileWriter.h"
#include "terrain/Array2D.h"
#include "terrain/HeightMapGenerator.h"

namespace {

const char kProgram[] = "orvandel-heightmap";

std::vector<uint8_t> FileBytes(const Matrix2DInterface<float>& map, HeightMapFormat format)
{
    switch (format) {
    case HeightMapFormat::Pgm16:
        return HeightMapPGM16Bytes(map);
    case HeightMapFormat::F32:
        return HeightMapF32Bytes(map);
    case HeightMapFormat::Tga:
        break;
    }
    return HeightMapTGABytes(map);
}

}  // namespace

int main(int argc, char** argv)
{
    HeightMapOptions options;
    std::string error;
    switch (ParseHeightMapOptions(argc, argv, options, error)) {
    case ParseOutcome::Help:
        fputs(kHeightMapUsage, stdout);
        return 0;
    case ParseOutcome::Refused:
        fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
        return 2;
    case ParseOutcome::Run:
        break;
    }

    Array2D<float> heightMap(heightMapCells, heightMapCells);
    falloffExponent = options.falloff;
    GenerateHeightMap(heightMap, heightMapSize, heightMapAmplitude, options.roughness);

    const std::vector<uint8_t> bytes = FileBytes(heightMap, options.format);
    return WriteWholeFile(options.out.c_str(), bytes.data(), bytes.size(), kProgram) ? 0 : 1;
}

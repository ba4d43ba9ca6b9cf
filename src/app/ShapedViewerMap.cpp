#include "app/Controls.h"
#include "terrain/HeightMapOfSize.h"

// Apart from Controls.cpp: the real generator's objects come with it.
void GenerateShapedViewerMap(Array2D<float>& heightMap, const TerrainParameters& parameters)
{
    GenerateHeightMapOfSize(heightMap, parameters, 1);
}

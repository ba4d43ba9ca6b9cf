// The viewer's detailed map, apart from the worker so that the tests that
// stand in for the generator never link it.

#include "app/DetailWorker.h"
#include "erosion/Terrain.h"

void GenerateDetail(Array2D<float>& map, const TerrainParameters& parameters,
                    const std::function<void(double)>& progress)
{
    // One thread: the other core draws the frames.
    GenerateTerrain(map, parameters, 1, progress);
}

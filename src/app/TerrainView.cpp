#include "app/TerrainView.h"

#include <cmath>

#include "app/ViewGeometry.h"
#include "render/Render.h"
#include "terrain/HeightMapGenerator.h"

TerrainView::TerrainView(Array2D<float>& heightMap, ViewMode mode, unsigned detail, DetailGenerator generate)
    : heightMap(heightMap), mode(mode), detail(detail)
{
    if (detail > heightMapCells) {
        worker = std::make_unique<DetailWorker>(detail, std::move(generate));
    }
}

void TerrainView::CycleMode()
{
    mode = NextViewMode(mode);
    coloursCurrent = false;
}

void TerrainView::AfterControls(bool regenerated, const TerrainParameters& parameters)
{
    if (regenerated) {
        coloursCurrent = false;
        if (worker) {
            worker->Abandon();
            detailed.reset();
            detailWanted = true;
        }
        return;
    }
    if (!worker) {
        return;
    }
    if (detailWanted) {
        worker->Request(parameters);
        detailWanted = false;
    }
    if (std::unique_ptr<TerrainChunks> made = worker->TakeReady()) {
        detailed = std::move(made);
    }
}

void TerrainView::WaitForDetail(const TerrainParameters& parameters)
{
    if (!worker || detailed) {
        return;
    }
    if (detailWanted) {
        worker->Request(parameters);
        detailWanted = false;
    }
    detailed = worker->WaitReady();
}

void TerrainView::Draw(const CameraFrame& viewFrame)
{
    if (detailed) {
        ChunkView view;
        view.view = ViewMatrix(viewFrame);
        view.eye = viewFrame.position;
        view.tanHalfFovY = float(std::tan(kFieldOfViewYDegrees / 2 * M_PI / 180));
        view.aspect = float(kWindowWidth) / float(kWindowHeight);
        view.viewportHeight = float(kWindowHeight);
        view.pixelError = pixelError;
        detailed->Draw(view, unsigned(mode));
        return;
    }
    if (mode == ViewMode::Height) {
        DrawTerrainMesh(heightMap);
        return;
    }
    if (!coloursCurrent) {
        colours = SurfaceColours(heightMap, mode);
        coloursCurrent = true;
    }
    DrawTerrainMesh(heightMap, colours.data());
}

#include "app/DetailWorker.h"

#include <utility>
#include <vector>

#include "app/SurfaceColours.h"

DetailWorker::DetailWorker(unsigned cells, DetailGenerator generate)
    : cells(cells), generate(std::move(generate)), thread([this] { Run(); })
{
}

DetailWorker::~DetailWorker()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    thread.join();
}

void DetailWorker::Request(const TerrainParameters& requested)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        parameters = requested;
        pending = true;
        wanted = ++requests;
    }
    changed.notify_all();
}

void DetailWorker::Abandon()
{
    std::unique_ptr<TerrainChunks> stale;
    {
        std::lock_guard<std::mutex> lock(mutex);
        pending = false;
        wanted = ++requests;
        stale = std::move(ready);
    }
    changed.notify_all();
}

std::unique_ptr<TerrainChunks> DetailWorker::TakeReady()
{
    std::unique_lock<std::mutex> lock(mutex, std::try_to_lock);
    if (!lock.owns_lock() || readyRequest != requests) {
        return nullptr;
    }
    return std::move(ready);
}

std::unique_ptr<TerrainChunks> DetailWorker::WaitReady()
{
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return !pending && !building; });
    if (readyRequest != requests) {
        return nullptr;
    }
    return std::move(ready);
}

void DetailWorker::Run()
{
    for (;;) {
        TerrainParameters taken;
        uint64_t request = 0;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return stopping || pending; });
            if (stopping) {
                return;
            }
            taken = parameters;
            request = requests;
            pending = false;
            building = true;
        }
        std::unique_ptr<TerrainChunks> made;
        try {
            made = Build(taken, request);
        } catch (const Abandoned&) {
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (made && request == requests) {
                ready = std::move(made);
                readyRequest = request;
            }
            building = false;
        }
        changed.notify_all();
    }
}

std::unique_ptr<TerrainChunks> DetailWorker::Build(const TerrainParameters& taken, uint64_t request)
{
    const auto stillWanted = [&] {
        if (stopping || wanted != request) {
            throw Abandoned{};
        }
    };
    Array2D<float> map(cells, cells);
    generate(map, taken, [&](double) { stillWanted(); });
    stillWanted();
    std::vector<VertexColours> colourings;
    for (int mode = 0; mode < kViewModeCount; ++mode) {
        colourings.push_back(SurfaceColourBytes(map, ViewMode(mode)));
        stillWanted();
    }
    return std::make_unique<TerrainChunks>(cells, map.Row(0), std::move(colourings));
}

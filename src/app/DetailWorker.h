#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "render/TerrainChunks.h"
#include "terrain/Array2D.h"
#include "terrain/TerrainParameters.h"

// Fills a square map for the parameters, calling progress now and then on
// its own thread. The viewer's is GenerateTerrain on one thread, the very
// function the heightmap tool calls, so the map is the tool's bit for bit.
using DetailGenerator = std::function<void(Array2D<float>& map, const TerrainParameters& parameters,
                                           const std::function<void(double)>& progress)>;
void GenerateDetail(Array2D<float>& map, const TerrainParameters& parameters,
                    const std::function<void(double)>& progress);

// Makes the detailed map, its colours for every view and its chunks on a
// thread of its own, so that no frame waits for them: the frame loop asks
// for a map when the terrain keys are let go and picks it up, without
// blocking, once it is ready. A newer request or an abandon stops the map
// in hand at its next progress call; it is never handed out.
class DetailWorker {
public:
    DetailWorker(unsigned cells, DetailGenerator generate);
    ~DetailWorker();
    DetailWorker(const DetailWorker&) = delete;
    DetailWorker& operator=(const DetailWorker&) = delete;

    void Request(const TerrainParameters& parameters);
    void Abandon();
    // The latest request's map once it is ready, else null. Never waits: if
    // the worker is handing a map over at that moment, null this time.
    std::unique_ptr<TerrainChunks> TakeReady();
    // Waits for the latest request's map (null when nothing is requested):
    // for the timedemo, before it times anything.
    std::unique_ptr<TerrainChunks> WaitReady();

private:
    struct Abandoned {};
    void Run();
    std::unique_ptr<TerrainChunks> Build(const TerrainParameters& parameters, uint64_t request);

    const unsigned cells;
    const DetailGenerator generate;
    std::mutex mutex;
    std::condition_variable changed;
    uint64_t requests = 0;  // the number of the latest request or abandon
    bool pending = false;   // the latest request is not started yet
    bool building = false;  // the worker is making a map
    TerrainParameters parameters;
    std::unique_ptr<TerrainChunks> ready;
    uint64_t readyRequest = 0;
    std::atomic<uint64_t> wanted{0};  // the request whose map is still wanted
    std::atomic<bool> stopping{false};
    std::thread thread;
};

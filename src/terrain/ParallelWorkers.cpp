#include "terrain/ParallelWorkers.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

void RunParallelWorkers(size_t wanted, const std::function<void(size_t, size_t)>& work)
{
    // The helpers wait until the number of workers is known.
    std::mutex mutex;
    std::condition_variable started;
    size_t workers = 0;
    const auto run = [&](size_t worker) {
        size_t count;
        {
            std::unique_lock<std::mutex> lock(mutex);
            started.wait(lock, [&] { return workers != 0; });
            count = workers;
        }
        work(worker, count);
    };
    std::vector<std::thread> helpers;
    helpers.reserve(wanted > 0 ? wanted - 1 : 0);
    for (size_t worker = 1; worker < wanted; ++worker) {
        try {
            helpers.emplace_back(run, worker);
        } catch (const std::system_error&) {
            break;  // the threads running take the remaining work too
        }
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        workers = helpers.size() + 1;
    }
    started.notify_all();
    work(0, helpers.size() + 1);
    for (std::thread& helper : helpers) {
        helper.join();
    }
}

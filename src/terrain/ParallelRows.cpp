#include "terrain/ParallelRows.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

unsigned EffectiveThreads(unsigned threads)
{
    if (threads != 0) {
        return threads;
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

void ParallelRows(int count, unsigned threads, const std::function<void(int, int)>& work,
                  const std::function<void(int)>& progress)
{
    if (count <= 0) {
        return;
    }
    const int workers = static_cast<int>(std::min<unsigned>(EffectiveThreads(threads), static_cast<unsigned>(count)));
    // Small enough chunks to balance, large enough that the counter is cold.
    const int chunk = std::max(1, count / (workers * 16));
    std::atomic<int> next{0};
    std::atomic<int> done{0};

    auto run = [&](bool reports) {
        for (;;) {
            const int begin = next.fetch_add(chunk);
            if (begin >= count) {
                return;
            }
            const int end = std::min(count, begin + chunk);
            work(begin, end);
            const int finished = done.fetch_add(end - begin) + (end - begin);
            if (reports && progress) {
                progress(finished);
            }
        }
    };

    std::vector<std::thread> helpers;
    helpers.reserve(workers - 1);
    for (int t = 1; t < workers; ++t) {
        try {
            helpers.emplace_back(run, false);
        } catch (const std::system_error&) {
            // No more threads to be had (a limit, no memory for a stack): the
            // ones running share the work, and the result does not depend on
            // how many there are.
            break;
        }
    }
    run(true);
    for (std::thread& helper : helpers) {
        helper.join();
    }
}

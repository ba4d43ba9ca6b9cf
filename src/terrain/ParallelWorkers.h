#pragma once

#include <cstddef>
#include <functional>

// Runs work(worker, workers) on up to `wanted` threads, the calling thread
// being worker 0, and returns once all are done. Every thread learns how many
// workers there are before any starts work, so work that must be shared out
// among all of them (each of several bands needing a thread that takes it)
// can be: where a thread cannot be had, fewer run and each takes more.
void RunParallelWorkers(size_t wanted, const std::function<void(size_t worker, size_t workers)>& work);

#pragma once

#include <functional>

// Runs work(begin, end) over [0, count) on up to `threads` threads (0: one per
// core), in chunks taken from a shared counter so a slow core does not hold
// the others up. The calling thread works too, and after each of its chunks
// calls progress(done) with the number of items finished so far by all.
// Returns when every item is done.
void ParallelRows(int count, unsigned threads, const std::function<void(int begin, int end)>& work,
                  const std::function<void(int done)>& progress = {});

// The thread count ParallelRows uses for `threads`.
unsigned EffectiveThreads(unsigned threads);

// Work on all cores and in time slices: the one runner the check, the volume calculation and
// the slice share, and the one rule by which they size their batches.
#pragma once

#include <cstdint>
#include <functional>

// The next batch size after a batch took `took` seconds of a time slice of `slice` seconds:
// doubled while a batch takes less than an eighth of the slice, halved beyond a third, so
// that a batch lasts about a quarter of it; kept within [minBatch, maxBatch].
int64_t NextBatch(int64_t batch, double took, double slice, int64_t minBatch, int64_t maxBatch);

// Calls work(count) again and again for about `seconds` (at least once), with a count of work
// units that adapts to the time a call takes, so the last call ends soon after the time is up
// however slow a unit is. `batch` carries the count from one such step to the next. Stops early
// when work returns false.
void RunForTime(double seconds, int64_t& batch, int64_t maxBatch,
                const std::function<bool(int64_t count)>& work);

// Number of worker threads used when the caller asks for 0 (all cores).
int HardwareThreads();

// Calls work(begin, end, worker) for consecutive chunks of [0, count) on up to `threads`
// threads (0 = all cores), each chunk exactly once; worker is 0 for the calling thread and
// 1..threads-1 for helpers. Runs inline when one thread is enough. Returns when every chunk is
// done; the caller then combines the results in index order. Calls are serialised; `work` must
// not call ParallelSlices itself.
void ParallelSlices(int count, int threads, int minPerThread,
                    const std::function<void(int begin, int end, int worker)>& work);

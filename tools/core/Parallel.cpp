#include "Parallel.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

int64_t NextBatch(int64_t batch, double took, double slice, int64_t minBatch, int64_t maxBatch) {
    maxBatch = std::max<int64_t>(maxBatch, 1);
    minBatch = std::clamp<int64_t>(minBatch, 1, maxBatch);
    // a batch of about a quarter of the slice leaves room for the event loop
    if (took < slice / 8) return std::min(batch * 2, maxBatch);
    if (took > slice / 3) return std::max(batch / 2, minBatch);
    return std::clamp(batch, minBatch, maxBatch);
}

void RunForTime(double seconds, int64_t& batch, int64_t maxBatch,
                const std::function<bool(int64_t)>& work) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto budget = std::chrono::duration<double>(seconds);
    batch = std::clamp<int64_t>(batch, 1, std::max<int64_t>(maxBatch, 1));
    for (;;) {
        const auto t0 = Clock::now();
        bool more = work(batch);
        const auto took = Clock::now() - t0;
        batch = NextBatch(batch, std::chrono::duration<double>(took).count(), seconds, 1,
                          maxBatch);
        if (!more || Clock::now() - start >= budget) return;
    }
}

int HardwareThreads() {
    unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(std::min(n, 64u));
}

namespace {

// Helper threads that live as long as the program. A call hands out chunks of its index range
// through an atomic counter; the caller works on chunks too and returns when every chunk is
// done, so a helper that is slow to wake (busy machine) costs nothing: the others take its share.
class TWorkerPool {
  public:
    ~TWorkerPool() {
        {
            std::lock_guard<std::mutex> lock(M);
            Stopping = true;
        }
        Wake.notify_all();
        for (std::thread& t : Workers) t.join();
    }

    void Run(int count, int chunk, int helpers, const std::function<void(int, int, int)>& work) {
        std::lock_guard<std::mutex> call(CallMutex); // one job at a time
        {
            std::unique_lock<std::mutex> lock(M);
            while (static_cast<int>(Workers.size()) < helpers)
                Workers.emplace_back([this] { WorkerLoop(); });
            Job = &work;
            Count = count;
            Chunk = chunk;
            Chunks = (count + chunk - 1) / chunk;
            Next.store(0);
            Done = 0;
            Failure = nullptr;
            MaxHelpers = helpers;
            Joined = 0;
            ++Generation;
        }
        Wake.notify_all();
        Work(0);
        std::unique_lock<std::mutex> lock(M);
        Finished.wait(lock, [this] { return Done == Chunks && Active == 0; });
        Job = nullptr;
        if (Failure) std::rethrow_exception(Failure);
    }

  private:
    // Takes chunks until none is left; `who` is 0 for the caller, 1.. for helpers.
    void Work(int who) {
        for (;;) {
            int c = Next.fetch_add(1);
            if (c >= Chunks) return;
            int begin = c * Chunk;
            int end = std::min(Count, begin + Chunk);
            std::exception_ptr failure;
            try {
                (*Job)(begin, end, who);
            } catch (...) {
                failure = std::current_exception();
            }
            std::lock_guard<std::mutex> lock(M);
            if (failure && !Failure) Failure = failure;
            if (++Done == Chunks) Finished.notify_all();
        }
    }

    void WorkerLoop() {
        uint64_t seen = 0;
        std::unique_lock<std::mutex> lock(M);
        for (;;) {
            Wake.wait(lock, [&] { return Stopping || Generation != seen; });
            if (Stopping) return;
            seen = Generation;
            if (Joined >= MaxHelpers || Job == nullptr) continue;
            int who = ++Joined;
            ++Active;
            lock.unlock();
            Work(who);
            lock.lock();
            if (--Active == 0) Finished.notify_all();
        }
    }

    std::mutex CallMutex;
    std::mutex M;
    std::condition_variable Wake, Finished;
    std::vector<std::thread> Workers;
    const std::function<void(int, int, int)>* Job = nullptr;
    int Count = 0, Chunk = 1, Chunks = 0, Done = 0, MaxHelpers = 0, Joined = 0, Active = 0;
    std::atomic<int> Next{0};
    uint64_t Generation = 0;
    bool Stopping = false;
    std::exception_ptr Failure;
};

TWorkerPool& Pool() {
    static TWorkerPool pool;
    return pool;
}

} // namespace

void ParallelSlices(int count, int threads, int minPerThread,
                    const std::function<void(int, int, int)>& work) {
    if (count <= 0) return;
    if (threads <= 0) threads = HardwareThreads();
    if (minPerThread < 1) minPerThread = 1;
    threads = std::min({threads, 64, std::max(1, count / minPerThread)});
    if (threads <= 1) {
        work(0, count, 0);
        return;
    }
    // Several chunks per thread, so that a late or slow thread is made up for by the others.
    int chunk = std::max(minPerThread, count / (threads * 8));
    Pool().Run(count, chunk, threads - 1, work);
}

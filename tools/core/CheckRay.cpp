#include "CheckRay.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <thread>
#include <vector>

double Distance(const TVector& a, const TVector& b) {
    double dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

void SortCrossings(TMatrixA3d& points, TMatrixAi& codes) {
    const size_t n = points.size();
    if (n < 3) return;
    // Element 0 is the start (distance 0, nothing is strictly nearer), so it stays first.
    thread_local std::vector<double> dist;
    dist.resize(n);
    for (size_t i = 0; i < n; ++i) dist[i] = Distance(points[0], points[i]);
    for (size_t i = 1; i + 1 < n; ++i) {
        for (size_t j = i + 1; j < n; ++j) {
            if (dist[j] < dist[i]) {
                SwapVector(points[i], points[j]);
                SwapInt(codes[i], codes[j]);
                std::swap(dist[i], dist[j]);
            }
        }
    }
}

void TRayCrossings::Walk(const TVector& start, const TVector& dir, const TAGeoData& bodies) {
    Points.clear();
    Codes.clear();
    Points.push_back(start);
    Codes.push_back(-1);
    for (const TGeoData& body : bodies) RayBodyIntersections(start, dir, body, Points, Codes);
    SortCrossings(Points, Codes);
}

int HardwareThreads() {
    unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(std::min(n, 64u));
}

void ParallelSlices(int count, int threads, int minPerThread,
                    const std::function<void(int, int, int)>& work) {
    if (count <= 0) return;
    if (threads <= 0) threads = HardwareThreads();
    if (minPerThread < 1) minPerThread = 1;
    threads = std::min(threads, std::max(1, count / minPerThread));
    if (threads <= 1) {
        work(0, count, 0);
        return;
    }
    std::vector<std::thread> pool;
    std::vector<std::exception_ptr> failures(static_cast<size_t>(threads));
    pool.reserve(static_cast<size_t>(threads - 1));
    auto run = [&](int w) {
        int begin = static_cast<int>(static_cast<int64_t>(count) * w / threads);
        int end = static_cast<int>(static_cast<int64_t>(count) * (w + 1) / threads);
        try {
            work(begin, end, w);
        } catch (...) {
            failures[static_cast<size_t>(w)] = std::current_exception();
        }
    };
    for (int w = 1; w < threads; ++w) pool.emplace_back(run, w);
    run(0);
    for (std::thread& t : pool) t.join();
    for (const std::exception_ptr& f : failures)
        if (f) std::rethrow_exception(f);
}

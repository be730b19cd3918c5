#include "CheckRay.h"

#include "geometry/Lattice.h"

#include <algorithm>
#include <cmath>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
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
    thread_local std::vector<std::pair<double, size_t>> order;
    order.resize(n - 1);
    bool sorted = true;
    for (size_t i = 1; i < n; ++i) {
        double d = Distance(points[0], points[i]);
        // a crossing of a degenerate body may be no number: last, and the sort stays valid
        order[i - 1] = {std::isnan(d) ? HUGE_VAL : d, i};
        if (i > 1 && order[i - 1].first < order[i - 2].first) sorted = false;
    }
    if (sorted) return;
    // the position breaks ties: equal distances keep their order
    std::sort(order.begin(), order.end());
    thread_local TMatrixA3d p;
    thread_local TMatrixAi c;
    p.assign(points.begin(), points.end());
    c.assign(codes.begin(), codes.end());
    for (size_t k = 1; k < n; ++k) {
        points[k] = p[order[k - 1].second];
        codes[k] = c[order[k - 1].second];
    }
}

void TRayCrossings::Walk(const TVector& start, const TVector& dir, const TAGeoData& bodies,
                         const TRayCull& cull) {
    Points.clear();
    Codes.clear();
    Points.push_back(start);
    Codes.push_back(-1);
    RayBodiesIntersections(start, dir, bodies, cull, Points, Codes, &Kept);
    // a degenerate body may give a crossing that is no finite point: it crosses nothing
    size_t kept = 1;
    for (size_t i = 1; i < Points.size(); ++i) {
        const TVector& q = Points[i];
        if (!std::isfinite(q.x) || !std::isfinite(q.y) || !std::isfinite(q.z)) continue;
        Points[kept] = q;
        Codes[kept++] = Codes[i];
    }
    Points.resize(kept);
    Codes.resize(kept);
    SortCrossings(Points, Codes);
}

void TRayCrossings::Walk(const TVector& start, const TVector& dir, const TAGeoData& bodies,
                         const TAZoneData& zones, const TZoneIndex& index) {
    if (zones.Lattice) {
        Points.assign(1, start);
        Codes.assign(1, -1);
        Kept.clear();
        zones.Lattice->RayCrossings(start, dir, Points, Codes);
    } else {
        Walk(start, dir, bodies, index.Rays);
    }
    Zones.Start(bodies, zones, index, Points, Codes, Kept);
}

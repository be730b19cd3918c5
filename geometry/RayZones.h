// The zone search at the piece midpoints of one ray, walked in order along the ray.
//
// Between neighbouring midpoints only a few bodies change side, so on a long ray the search
// carries each body's inside state along and re-evaluates only the zones of the bodies whose
// state changed (the index's body -> zones lists). A carried state is never a guess: a body
// keeps its state over a run of pieces only where BodyBoxSide proves it for a box holding all
// their midpoints, and is tested afresh at the midpoint otherwise. The body's crossing codes end
// such runs, so a proof is not tried across a surface the ray is known to pass; a tangent ray,
// a crossing reported off the surface or one missed by rounding therefore costs inside tests,
// never a wrong answer. The result at every piece is exactly FindZone's. Rays where setting up
// the states costs more than it saves go to FindZone through the index.
//
//   walk.Walk(start, dir, bodies, index.Rays);        // TRayCrossings: sorted crossings, kept bodies
//   search.Start(bodies, zones, index, walk.Points, walk.Codes, walk.Kept);
//   for (size_t k = 0; k + 1 < walk.Points.size(); ++k) search.Find(k, hits);
#pragma once

#include "ZoneIndex.h"

#include <cstdint>
#include <vector>

inline TVector Midpoint(const TVector& a, const TVector& b) {
    return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2};
}
// Midpoint of piece k (points[k] .. points[k + 1]): the point every zone search of a piece uses.
inline TVector PieceMid(const TMatrixA3d& points, size_t k) {
    return Midpoint(points[k], points[k + 1]);
}

class TRayZoneSearch {
  public:
    // Rays of fewer pieces than this are searched through the index alone, and so are rays
    // where following the kept bodies would cost more than the index's searches (judged from
    // the leaves at a few midpoints). Always carries states on every ray (tests).
    size_t MinPieces = 16;
    bool Always = false;

    // `points` and `codes` are the ray's sorted crossings (element 0 the start), `kept` the
    // bodies the ray cull kept (RayBodiesIntersections); all three must stay unchanged until
    // the last Find of the ray.
    void Start(const TAGeoData& bodies, const TAZoneData& zones, const TZoneIndex& index,
               const TMatrixA3d& points, const TMatrixAi& codes,
               const std::vector<uint32_t>& kept);
    // The zones holding PieceMid(points, piece), as FindZone gives them. Pieces should come in
    // increasing order (any may be left out); a piece before the last one asked starts over.
    int Find(size_t piece, TMatrixAi& result);

    // Work done since construction, for the benchmarks.
    int64_t CarriedPieces = 0, IndexedPieces = 0, InsideTests = 0, BoxProofs = 0;

  private:
    bool Pays(const std::vector<uint32_t>& kept) const;
    void Begin(size_t piece);
    bool Reach(const TGeoData& body, uint32_t& first, uint32_t& final) const;
    void Refresh(uint32_t body, size_t piece);
    void Prove(uint32_t body, size_t piece, size_t runEnd);
    void ZonesOfChanged();

    const TAGeoData* Bodies = nullptr;
    const TAZoneData* Zones = nullptr;
    const TZoneIndex* Index = nullptr;
    const TMatrixA3d* Points = nullptr;
    TZoneCell Cell; // of the last indexed search along this ray
    bool Carry = false;   // this ray carries states
    bool Started = false; // a Find has set the states up
    size_t Pieces = 0, Last = 0;
    double Pad = 0; // rounding room around a box of midpoints
    TMatrixA3d Mids;
    std::vector<uint32_t> Tracked;
    // per body (sized for the list): the carried state, the last piece it is proved for, the
    // next length to try to prove, the ray it belongs to, the chain of bodies expiring at the
    // same piece, and its crossings as a range of CrossAt
    std::vector<uint8_t> State;
    std::vector<uint32_t> Until, Step, Stamp, NextExpiring, CrossBegin, CrossEnd;
    // per body: the pieces whose midpoints can lie in its enclosing box (outside them it is
    // out of the body), First > Final when none can
    std::vector<uint32_t> First, Final;
    uint32_t Ray = 0;
    std::vector<uint32_t> CrossAt;    // point positions of the crossings, grouped by body
    std::vector<uint32_t> Expiring;   // per piece: first body whose proof ends before it
    std::vector<uint8_t> In, Marked;  // per zone: holds at the current midpoint; queued
    std::vector<int32_t> Current, Affected, Changed;
    std::vector<std::pair<uint32_t, uint32_t>> Pairs; // scratch {body, point position}
};

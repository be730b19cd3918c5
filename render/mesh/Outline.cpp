#include "Outline.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>

namespace {

const TGeoData& TermBody(const TGeometry& geo, const TGeoData& cutBox, const TTerm& t) {
    return t.Body < 0 ? cutBox : geo.Bodies[static_cast<size_t>(t.Body)];
}

// The polygons that lie on the body's surface: of a HAF's stand-in box only the plane face.
size_t SurfacePolygonCount(const TGeoData& b) {
    return b.Symbol == "HAF" ? std::min<size_t>(1, b.MeshGrid.size()) : b.MeshGrid.size();
}

bool Less(const TVector& a, const TVector& b) {
    return std::tie(a.x, a.y, a.z) < std::tie(b.x, b.y, b.z);
}
bool Same(const TVector& a, const TVector& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

struct TTri {
    TVector P[3];
    double Lo[3], Hi[3];
};

std::vector<TTri> SurfaceTriangles(const TGeoData& b) {
    std::vector<TTri> out;
    const size_t n = SurfacePolygonCount(b);
    for (size_t k = 0; k < n; ++k) {
        const TMatrixA3d p = b.MeshGrid.Polygon(k);
        for (size_t i = 2; i < p.size() && p.size() <= 4; ++i) {
            TTri t{{p[0], p[i - 1], p[i]}, {}, {}};
            for (int a = 0; a < 3; ++a) {
                auto c = [&](const TVector& v) { return a == 0 ? v.x : a == 1 ? v.y : v.z; };
                t.Lo[a] = std::min({c(t.P[0]), c(t.P[1]), c(t.P[2])});
                t.Hi[a] = std::max({c(t.P[0]), c(t.P[1]), c(t.P[2])});
            }
            out.push_back(t);
        }
    }
    return out;
}

bool Overlap(const double lo1[3], const double hi1[3], const double lo2[3], const double hi2[3]) {
    for (int a = 0; a < 3; ++a)
        if (hi1[a] < lo2[a] || hi2[a] < lo1[a]) return false;
    return true;
}

// Where triangle t crosses the plane n.x = c: false when it stays on one side, only touches
// it or lies in it.
bool PlaneCrossing(const TTri& t, const TVector& n, double c, double eps, TVector& p, TVector& q) {
    double s[3];
    int above = 0, below = 0;
    for (int i = 0; i < 3; ++i) {
        s[i] = Dot(n, t.P[i]) - c;
        if (std::fabs(s[i]) <= eps) s[i] = 0;
        above += s[i] > 0;
        below += s[i] < 0;
    }
    if (above == 3 || below == 3 || (above == 0 && below == 0)) return false;
    TVector pts[3];
    int count = 0;
    for (int i = 0; i < 3 && count < 3; ++i) {
        int j = (i + 1) % 3;
        if (s[i] == 0) pts[count++] = t.P[i];
        if (count < 3 && s[i] * s[j] < 0)
            pts[count++] = t.P[i] + (t.P[j] - t.P[i]) * (s[i] / (s[i] - s[j]));
    }
    if (count < 2 || Same(pts[0], pts[1])) return false;
    p = pts[0];
    q = pts[1];
    return true;
}

// The segment two triangles share; false for none, a point, or coplanar triangles.
bool TriangleSeam(const TTri& a, const TTri& b, TVector& p, TVector& q) {
    TVector na = Cross(a.P[1] - a.P[0], a.P[2] - a.P[0]);
    TVector nb = Cross(b.P[1] - b.P[0], b.P[2] - b.P[0]);
    double la = Length(na), lb = Length(nb);
    if (!(la > 0) || !(lb > 0)) return false;
    na = na * (1 / la);
    nb = nb * (1 / lb);
    TVector u = Cross(na, nb);
    if (Length(u) < 1e-9) return false; // parallel planes
    double scale = 0;
    for (const TTri* t : {&a, &b})
        for (int k = 0; k < 3; ++k) scale = std::max(scale, t->Hi[k] - t->Lo[k]);
    const double eps = 1e-9 * scale;
    TVector ap, aq, bp, bq;
    if (!PlaneCrossing(a, nb, Dot(nb, b.P[0]), eps, ap, aq)) return false;
    if (!PlaneCrossing(b, na, Dot(na, a.P[0]), eps, bp, bq)) return false;
    double ta0 = Dot(u, ap), ta1 = Dot(u, aq), tb0 = Dot(u, bp), tb1 = Dot(u, bq);
    if (ta0 > ta1) std::swap(ta0, ta1), std::swap(ap, aq);
    double lo = std::max(ta0, std::min(tb0, tb1)), hi = std::min(ta1, std::max(tb0, tb1));
    if (!(hi - lo > eps) || !(ta1 - ta0 > 0)) return false;
    TVector dir = (aq - ap) * (1 / (ta1 - ta0));
    p = ap + dir * (lo - ta0);
    q = ap + dir * (hi - ta0);
    return true;
}

class TOutliner {
  public:
    // The cut box is edited in place by the display settings: a copy, which starts unprepared,
    // cannot carry a stale preparation.
    TOutliner(const TGeometry& geo, const TGeoData& cutBox, const TTermList& terms)
        : Terms(terms), Cut(cutBox), Triangles(terms.size()), Made(terms.size(), false) {
        for (const TTerm& t : terms) Bodies.push_back(&TermBody(geo, Cut, t));
    }

    // The pieces of the term's mesh edges inside all other terms.
    void Edges(size_t term) {
        const TGeoData& b = *Bodies[term];
        std::vector<TSegment> edges;
        const size_t n = SurfacePolygonCount(b);
        for (size_t k = 0; k < n; ++k) {
            const TMatrixA3d p = b.MeshGrid.Polygon(k);
            if (p.size() < 3 || p.size() > 4) continue;
            for (size_t i = 0; i < p.size(); ++i) {
                TVector u = p[i], v = p[(i + 1) % p.size()];
                if (Same(u, v)) continue;
                if (Less(v, u)) std::swap(u, v);
                edges.push_back({u, v});
            }
        }
        // neighbouring polygons share their edges: each once
        auto less = [](const TSegment& s, const TSegment& t) {
            return Less(s.A, t.A) || (Same(s.A, t.A) && Less(s.B, t.B));
        };
        std::sort(edges.begin(), edges.end(), less);
        auto same = [](const TSegment& s, const TSegment& t) {
            return Same(s.A, t.A) && Same(s.B, t.B);
        };
        edges.erase(std::unique(edges.begin(), edges.end(), same), edges.end());
        for (const TSegment& e : edges) Clip(e.A, e.B, term, term);
    }

    // The curves where the meshes of two terms meet, inside all other terms.
    void Seams(size_t t1, size_t t2) {
        // bodies whose boxes are apart have no seam (most pairs of a large group)
        const TBodyPrep& second = Bodies[t2]->Prep;
        if (second.Ready && second.Bounded && Apart(*Bodies[t1], second.Box)) return;
        std::vector<TTri> a = TrianglesOf(t1), b = TrianglesOf(t2);
        Near(a, b);
        Near(b, a);
        if (a.empty() || b.empty()) return;
        auto byX = [](const TTri& s, const TTri& t) { return s.Lo[0] < t.Lo[0]; };
        std::sort(a.begin(), a.end(), byX);
        std::sort(b.begin(), b.end(), byX);
        // sweep along x, each triangle tested against the other side's open ones
        std::vector<const TTri*> openA, openB;
        size_t ia = 0, ib = 0;
        while (ia < a.size() || ib < b.size()) {
            bool fromA = ib >= b.size() || (ia < a.size() && a[ia].Lo[0] <= b[ib].Lo[0]);
            const TTri& t = fromA ? a[ia++] : b[ib++];
            std::vector<const TTri*>& other = fromA ? openB : openA;
            std::erase_if(other, [&](const TTri* o) { return o->Hi[0] < t.Lo[0]; });
            for (const TTri* o : other) {
                if (!Overlap(t.Lo, t.Hi, o->Lo, o->Hi)) continue;
                TVector p, q;
                if (TriangleSeam(t, *o, p, q)) Clip(p, q, t1, t2);
            }
            (fromA ? openA : openB).push_back(&t);
        }
    }

    std::vector<TSegment> Out;

  private:
    // True when the body is known to hold no point of the box (lo, hi per axis pairs).
    static bool Apart(const TGeoData& b, const std::array<double, 6>& box) {
        if (!b.Prep.Ready || !b.Prep.Bounded) return false;
        const auto& own = b.Prep.Box;
        for (int k = 0; k < 3; ++k)
            if (own[2 * k + 1] < box[2 * k] || box[2 * k + 1] < own[2 * k]) return true;
        return false;
    }

    const std::vector<TTri>& TrianglesOf(size_t term) {
        if (!Made[term]) Triangles[term] = SurfaceTriangles(*Bodies[term]), Made[term] = true;
        return Triangles[term];
    }

    // Keeps the triangles of a that can meet b's box.
    static void Near(std::vector<TTri>& a, const std::vector<TTri>& b) {
        double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
        for (const TTri& t : b)
            for (int k = 0; k < 3; ++k)
                lo[k] = std::min(lo[k], t.Lo[k]), hi[k] = std::max(hi[k], t.Hi[k]);
        std::erase_if(a, [&](const TTri& t) { return !Overlap(t.Lo, t.Hi, lo, hi); });
    }

    bool Inside(const TVector& p) const {
        for (size_t j : Active)
            if (PointInBody(*Bodies[j], p.x, p.y, p.z) != (Terms[j].Sign >= 0)) return false;
        return true;
    }

    // Adds the pieces of a-b that lie inside the product of the terms other than skip1 and
    // skip2 (the surfaces a-b lies on). The segment is cut where it crosses those terms.
    void Clip(const TVector& a, const TVector& b, size_t skip1, size_t skip2) {
        TVector ab = b - a;
        double len = Length(ab);
        if (!(len > 0)) return;
        TVector d = ab * (1 / len);
        // A term whose body holds no point of the segment's box is outside all along it: an
        // intersected one leaves nothing, a subtracted one changes nothing.
        const std::array<double, 6> box{std::min(a.x, b.x), std::max(a.x, b.x),
                                        std::min(a.y, b.y), std::max(a.y, b.y),
                                        std::min(a.z, b.z), std::max(a.z, b.z)};
        Active.clear();
        for (size_t j = 0; j < Terms.size(); ++j) {
            if (j == skip1 || j == skip2) continue;
            if (!Apart(*Bodies[j], box))
                Active.push_back(j);
            else if (Terms[j].Sign >= 0)
                return;
        }
        Cuts.assign({0.0, len});
        for (size_t j : Active) {
            Points.clear();
            Codes.clear();
            RayBodyIntersections(a, d, *Bodies[j], Points, Codes);
            for (const TVector& p : Points) {
                double t = Dot(p - a, d);
                if (t > 0 && t < len) Cuts.push_back(t);
            }
        }
        std::sort(Cuts.begin(), Cuts.end());
        bool open = false;
        double start = 0;
        for (size_t k = 0; k + 1 < Cuts.size(); ++k) {
            double t0 = Cuts[k], t1 = Cuts[k + 1];
            if (!(t1 - t0 > 1e-12 * len)) continue;
            bool in = Inside(a + d * (0.5 * (t0 + t1)));
            if (in && !open) open = true, start = t0;
            if (!in && open) open = false, Out.push_back({a + d * start, a + d * t0});
        }
        if (open) Out.push_back({a + d * start, b});
    }

    const TTermList& Terms;
    TGeoData Cut;
    std::vector<const TGeoData*> Bodies;
    TMatrixA3d Points;
    TMatrixAi Codes;
    std::vector<double> Cuts;
    std::vector<size_t> Active; // the terms a segment being clipped can meet
    std::vector<std::vector<TTri>> Triangles;
    std::vector<bool> Made;
};

} // namespace

std::vector<TSegment> ProductOutline(const TGeometry& geo, const TGeoData& cutBox,
                                     const TTermList& terms) {
    for (const TTerm& t : terms)
        if (t.Body >= static_cast<int>(geo.Bodies.size())) return {};
    TOutliner o(geo, cutBox, terms);
    for (size_t i = 0; i < terms.size(); ++i) o.Edges(i);
    for (size_t i = 0; i < terms.size(); ++i)
        for (size_t k = i + 1; k < terms.size(); ++k) o.Seams(i, k);
    return std::move(o.Out);
}

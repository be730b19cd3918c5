#include "LatticeMesh.h"

#include "BodyMesh.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>

namespace {

constexpr uint32_t Empty = UINT32_MAX;

// Boundaries of one axis with the cut box's planes added where they fall inside, and for
// each refined cell the lattice cell it lies in.
struct TRefined {
    std::vector<double> Edge;
    std::vector<uint32_t> Source;
    std::vector<uint8_t> InCut; // the refined cell lies within the cut box's range on this axis
};

TRefined Refine(const std::vector<double>& e, const double* cut) {
    TRefined r;
    r.Edge.push_back(e.front());
    for (size_t j = 0; j + 1 < e.size(); ++j) {
        const double lo = e[j], hi = e[j + 1];
        double split[2];
        int splits = 0;
        if (cut)
            for (int k = 0; k < 2; ++k)
                if (cut[k] > lo && cut[k] < hi && (splits == 0 || split[0] != cut[k]))
                    split[splits++] = cut[k];
        if (splits == 2 && split[0] > split[1]) std::swap(split[0], split[1]);
        for (int k = 0; k <= splits; ++k) {
            const double a = r.Edge.back(), b = k < splits ? split[k] : hi;
            r.Edge.push_back(b);
            r.Source.push_back(static_cast<uint32_t>(j));
            r.InCut.push_back(cut && cut[0] <= a && b <= cut[1]);
        }
    }
    return r;
}

void AddQuad(TBodyMesh& mesh, const TVector (&p)[4]) {
    const uint32_t first = static_cast<uint32_t>(mesh.Points.size());
    for (int k = 0; k < 4; ++k) {
        mesh.Points.push_back(p[k]);
        mesh.Index.push_back(first + static_cast<uint32_t>(k));
    }
    mesh.Count.push_back(4);
}

} // namespace

void LatticeRects(const TLattice& lat, const std::vector<bool>& shown,
                  const std::array<double, 6>* cutBox, std::vector<TLatticeRect>& out) {
    out.clear();
    TRefined ref[3];
    for (int a = 0; a < 3; ++a)
        ref[a] = Refine(lat.Edges(a), cutBox ? cutBox->data() + 2 * a : nullptr);
    const size_t n[3] = {ref[0].Source.size(), ref[1].Source.size(), ref[2].Source.size()};
    auto key = [&](const size_t (&i)[3]) -> uint32_t {
        if (cutBox && ref[0].InCut[i[0]] && ref[1].InCut[i[1]] && ref[2].InCut[i[2]]) return Empty;
        size_t cell = lat.CellIndex(ref[0].Source[i[0]], ref[1].Source[i[1]], ref[2].Source[i[2]]);
        uint32_t slot = lat.MaterialSlot(cell);
        return slot < shown.size() && shown[slot] ? slot : Empty;
    };
    auto cellOf = [&](const size_t (&i)[3]) {
        return lat.CellIndex(ref[0].Source[i[0]], ref[1].Source[i[1]], ref[2].Source[i[2]]);
    };
    // one plane at a time: the faces of each side as a mask, merged greedily into rectangles
    std::vector<uint32_t> mask;
    std::vector<uint8_t> done;
    for (int a = 0; a < 3; ++a) {
        const int a1 = a == 0 ? 1 : 0, a2 = a == 2 ? 1 : 2;
        const size_t n1 = n[a1], n2 = n[a2];
        mask.assign(n1 * n2, Empty);
        done.assign(n1 * n2, 0);
        for (size_t b = 0; b <= n[a]; ++b) {
            for (int side = 0; side < 2; ++side) {
                // side 0: the cell below the plane, facing up; side 1: the cell above, facing down
                if (side == 0 ? b == 0 : b == n[a]) continue;
                bool any = false;
                for (size_t i2 = 0; i2 < n2; ++i2)
                    for (size_t i1 = 0; i1 < n1; ++i1) {
                        size_t own[3], other[3];
                        own[a] = side == 0 ? b - 1 : b;
                        own[a1] = other[a1] = i1;
                        own[a2] = other[a2] = i2;
                        uint32_t k = key(own);
                        uint32_t m = Empty;
                        if (k != Empty) {
                            bool outside = side == 0 ? b == n[a] : b == 0;
                            uint32_t o = Empty;
                            if (!outside) {
                                other[a] = side == 0 ? b : b - 1;
                                o = key(other);
                            }
                            if (o != k) m = k;
                        }
                        mask[i2 * n1 + i1] = m;
                        any |= m != Empty;
                    }
                if (!any) continue;
                std::fill(done.begin(), done.end(), 0);
                for (size_t i2 = 0; i2 < n2; ++i2)
                    for (size_t i1 = 0; i1 < n1; ++i1) {
                        const uint32_t m = mask[i2 * n1 + i1];
                        if (m == Empty || done[i2 * n1 + i1]) continue;
                        size_t w = 1;
                        while (i1 + w < n1 && mask[i2 * n1 + i1 + w] == m && !done[i2 * n1 + i1 + w])
                            ++w;
                        size_t h = 1;
                        for (; i2 + h < n2; ++h) {
                            bool row = true;
                            for (size_t x = 0; x < w && row; ++x)
                                row = mask[(i2 + h) * n1 + i1 + x] == m &&
                                      !done[(i2 + h) * n1 + i1 + x];
                            if (!row) break;
                        }
                        for (size_t y = 0; y < h; ++y)
                            std::fill_n(done.begin() + static_cast<std::ptrdiff_t>((i2 + y) * n1 + i1),
                                        w, 1);
                        size_t first[3];
                        first[a] = side == 0 ? b - 1 : b;
                        first[a1] = i1;
                        first[a2] = i2;
                        TLatticeRect r;
                        r.Axis = a;
                        r.Up = side == 0;
                        r.C = ref[a].Edge[b];
                        r.U0 = ref[a1].Edge[i1];
                        r.U1 = ref[a1].Edge[i1 + w];
                        r.V0 = ref[a2].Edge[i2];
                        r.V1 = ref[a2].Edge[i2 + h];
                        r.Cell = cellOf(first);
                        out.push_back(r);
                    }
            }
        }
    }
}

namespace {

// A coarse copy of the lattice: at most `perAxis` cells along each axis, each coarse cell
// spanning whole cells of the lattice and taking the material of the cell at its middle
// (`fineCell`). False when the lattice is no finer than that.
bool CoarseLattice(const TLattice& lat, size_t perAxis, TLattice& coarse,
                   std::vector<size_t>& fineCell) {
    std::array<std::vector<double>, 3> edges;
    std::array<std::vector<size_t>, 3> middle;
    bool coarser = false;
    for (int a = 0; a < 3; ++a) {
        const std::vector<double>& e = lat.Edges(a);
        const size_t n = lat.Cells(a), step = (n + perAxis - 1) / perAxis;
        coarser = coarser || step > 1;
        for (size_t i = 0; i < n; i += step) {
            edges[a].push_back(e[i]);
            middle[a].push_back(std::min(i + step / 2, n - 1));
        }
        edges[a].push_back(e[n]);
    }
    if (!coarser || !coarse.SetEdges(edges[0], edges[1], edges[2])) return false;
    std::vector<int32_t> numbers;
    fineCell.clear();
    for (size_t kz : middle[2])
        for (size_t jy : middle[1])
            for (size_t ix : middle[0]) {
                fineCell.push_back(lat.CellIndex(ix, jy, kz));
                numbers.push_back(lat.Material(fineCell.back()));
            }
    coarse.SetMaterials(numbers);
    return true;
}

// The rectangles of a lattice's shown cells, as meshes by colour (Cell of each rectangle
// mapped through `fineCell` when given, for the colours).
void FacesOf(TGeometry& geo, const TLattice& lat, const std::vector<size_t>* fineCell,
             int viewType, bool cutOn, const TGeoData& cutBox,
             std::vector<TLatticeFaces>& faces) {
    const TLattice& model = *geo.Zones.Lattice;
    const std::vector<int32_t>& table = lat.MaterialTable();
    std::vector<bool> shown(table.size(), false);
    for (size_t s = 0; s < table.size(); ++s) {
        const int32_t m = table[s];
        if (viewType == 0) {
            shown[s] = true;
        } else if (viewType == 1) {
            shown[s] = m >= 1;
        } else {
            for (const TMaterialLook& look : geo.Materials)
                if (look.Number == m && m > 0) shown[s] = look.Visible;
        }
    }
    std::array<double, 6> cut{};
    for (size_t k = 0; k < 6; ++k) cut[k] = cutBox.Params[k];
    std::vector<TLatticeRect> rects;
    LatticeRects(lat, shown, cutOn ? &cut : nullptr, rects);

    auto colourOf = [&](size_t cell) -> TColor {
        if (viewType == 2) {
            const int32_t m = model.Material(cell);
            for (const TMaterialLook& look : geo.Materials)
                if (look.Number == m) return look.Color;
            return PaletteColor(m);
        }
        const auto& looks = viewType == 1 ? geo.ZoneLooks : geo.BodyLooks;
        return cell < looks.size() ? looks[cell].Color : PaletteColor(static_cast<int64_t>(cell));
    };
    std::map<TColor, size_t> slotOf;
    static std::atomic<uint64_t> stamps{uint64_t{1} << 62};
    for (const TLatticeRect& r : rects) {
        const TColor c = colourOf(fineCell ? (*fineCell)[r.Cell] : r.Cell);
        auto [it, added] = slotOf.emplace(c, faces.size());
        if (added) {
            faces.emplace_back();
            faces.back().Color = c;
        }
        TBodyMesh& mesh = faces[it->second].Faces.MeshGrid;
        const int a1 = r.Axis == 0 ? 1 : 0, a2 = r.Axis == 2 ? 1 : 2;
        auto at = [&](double u, double v) {
            double p[3];
            p[r.Axis] = r.C, p[a1] = u, p[a2] = v;
            return TVector{p[0], p[1], p[2]};
        };
        // counter-clockwise seen from the side the face looks to: (u, v) turn with the axis order
        // (x: y z, y: x z, z: x y); y's pair runs the other way round
        const bool ccw = r.Up != (r.Axis == 1);
        if (ccw) {
            const TVector q[4] = {at(r.U0, r.V0), at(r.U1, r.V0), at(r.U1, r.V1), at(r.U0, r.V1)};
            AddQuad(mesh, q);
        } else {
            const TVector q[4] = {at(r.U0, r.V0), at(r.U0, r.V1), at(r.U1, r.V1), at(r.U1, r.V0)};
            AddQuad(mesh, q);
        }
    }
    for (TLatticeFaces& f : faces) {
        TBodyMesh& mesh = f.Faces.MeshGrid;
        mesh.Stamp = ++stamps;
        mesh.Box = {1, -1, 1, -1, 1, -1};
        for (const TVector& p : mesh.Points) {
            const double c[3] = {p.x, p.y, p.z};
            for (size_t a = 0; a < 3; ++a) {
                if (mesh.Box[2 * a] > mesh.Box[2 * a + 1]) mesh.Box[2 * a] = mesh.Box[2 * a + 1] = c[a];
                mesh.Box[2 * a] = std::min(mesh.Box[2 * a], c[a]);
                mesh.Box[2 * a + 1] = std::max(mesh.Box[2 * a + 1], c[a]);
            }
        }
    }
}

} // namespace

void BuildLatticeFaces(TGeometry& geo, int viewType, bool cutOn, const TGeoData& cutBox) {
    geo.LatticeFaces.clear();
    geo.LatticeQuickFaces.clear();
    const TLattice* lat = geo.Zones.Lattice.get();
    if (!lat) return;
    FacesOf(geo, *lat, nullptr, viewType, cutOn, cutBox, geo.LatticeFaces);
    // dragging frames: the faces of at most 64 cells along each axis
    TLattice coarse;
    std::vector<size_t> fineCell;
    if (CoarseLattice(*lat, 64, coarse, fineCell))
        FacesOf(geo, coarse, &fineCell, viewType, cutOn, cutBox, geo.LatticeQuickFaces);
    const std::array<double, 6> box = lat->Box();
    auto far = [](double lo, double hi) { return std::max(lo * lo, hi * hi); };
    const double reach = std::sqrt(far(box[0], box[1]) + far(box[2], box[3]) + far(box[4], box[5]));
    if (std::isfinite(reach)) geo.MeshReach = std::max(geo.MeshReach, reach);
}

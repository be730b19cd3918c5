// The drawn surface of a lattice: faces only between shown cells of different materials, merged
// into rectangles, facing away from their cells, and the cut box taken out exactly.
#include "render/mesh/LatticeMesh.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>

namespace {

std::shared_ptr<TLattice> Make(std::vector<double> x, std::vector<double> y,
                               std::vector<double> z, const std::vector<int32_t>& m) {
    auto lat = std::make_shared<TLattice>();
    EXPECT_TRUE(lat->SetEdges(std::move(x), std::move(y), std::move(z)));
    lat->SetMaterials(m);
    return lat;
}

double Area(const TLatticeRect& r) {
    return (r.U1 - r.U0) * (r.V1 - r.V0);
}

// Face area per (axis, facing, material slot) counted cell face by cell face.
std::map<std::tuple<int, bool, uint32_t>, double> BruteFaces(const TLattice& lat,
                                                              const std::vector<bool>& shown) {
    std::map<std::tuple<int, bool, uint32_t>, double> area;
    const size_t n[3] = {lat.Cells(0), lat.Cells(1), lat.Cells(2)};
    auto key = [&](long i, long j, long k) -> long {
        if (i < 0 || j < 0 || k < 0 || i >= long(n[0]) || j >= long(n[1]) || k >= long(n[2]))
            return -1;
        uint32_t s = lat.MaterialSlot(lat.CellIndex(size_t(i), size_t(j), size_t(k)));
        return shown[s] ? long(s) : -1;
    };
    for (long k = 0; k < long(n[2]); ++k)
        for (long j = 0; j < long(n[1]); ++j)
            for (long i = 0; i < long(n[0]); ++i) {
                long own = key(i, j, k);
                if (own < 0) continue;
                const double d[3] = {lat.Edges(0)[size_t(i) + 1] - lat.Edges(0)[size_t(i)],
                                     lat.Edges(1)[size_t(j) + 1] - lat.Edges(1)[size_t(j)],
                                     lat.Edges(2)[size_t(k) + 1] - lat.Edges(2)[size_t(k)]};
                for (int a = 0; a < 3; ++a)
                    for (int up = 0; up < 2; ++up) {
                        long s = up ? 1 : -1;
                        long o = key(i + (a == 0) * s, j + (a == 1) * s, k + (a == 2) * s);
                        if (o == own) continue;
                        double face = a == 0 ? d[1] * d[2] : a == 1 ? d[0] * d[2] : d[0] * d[1];
                        area[{a, up == 1, uint32_t(own)}] += face;
                    }
            }
    return area;
}

TEST(LatticeMesh, FacesPartDifferentMaterialsAndMerge) {
    // one material: the six sides of the box, one rectangle each
    auto one = Make({0, 1, 2, 3}, {0, 1, 2}, {0, 0.5, 1}, std::vector<int32_t>(12, 7));
    std::vector<TLatticeRect> rects;
    LatticeRects(*one, {true}, nullptr, rects);
    EXPECT_EQ(rects.size(), 6u);

    // random materials on uneven boundaries, one of them hidden: the same face area per
    // direction and material as cell by cell, in far fewer rectangles than cell faces
    std::mt19937 rng(3);
    std::vector<int32_t> m(6 * 5 * 4);
    for (size_t k = 0; k < m.size(); ++k) m[k] = k < 60 ? 1 + int32_t(rng() % 2) : 3;
    auto lat = Make({0, 0.5, 2, 2.25, 3, 4, 7}, {-1, 0, 1, 3, 3.5, 4}, {0, 1, 1.5, 2.5, 5}, m);
    std::vector<bool> shown(lat->MaterialTable().size(), true);
    shown[0] = false;
    LatticeRects(*lat, shown, nullptr, rects);
    std::map<std::tuple<int, bool, uint32_t>, double> got;
    size_t faces = 0;
    for (const TLatticeRect& r : rects) {
        got[{r.Axis, r.Up, lat->MaterialSlot(r.Cell)}] += Area(r);
        EXPECT_TRUE(shown[lat->MaterialSlot(r.Cell)]);
    }
    auto want = BruteFaces(*lat, shown);
    ASSERT_EQ(got.size(), want.size());
    for (const auto& [k, a] : want) {
        EXPECT_NEAR(got[k], a, 1e-12 * a);
        faces += 1;
    }
    EXPECT_GT(faces, 0u);
}

TEST(LatticeMesh, CutBoxIsTakenOutExactly) {
    // a 4x4x4 block cut at a corner through the middle of cells: the surface keeps the cube's
    // area (the corner's three inner faces replace its three outer ones), on the cut planes
    auto lat = Make({0, 1, 2, 3, 4}, {0, 1, 2, 3, 4}, {0, 1, 2, 3, 4}, std::vector<int32_t>(64, 1));
    const std::array<double, 6> cut = {2.5, 9, 2.5, 9, 2.5, 9};
    std::vector<TLatticeRect> rects;
    LatticeRects(*lat, {true}, &cut, rects);
    double area = 0;
    bool onPlane = false;
    for (const TLatticeRect& r : rects) {
        area += Area(r);
        onPlane |= r.C == 2.5 && r.Up; // the kept cells below the plane face up into the cut
    }
    EXPECT_DOUBLE_EQ(area, 6 * 16.0);
    EXPECT_TRUE(onPlane);
    // a box around everything leaves nothing
    const std::array<double, 6> all = {-1, 5, -1, 5, -1, 5};
    LatticeRects(*lat, {true}, &all, rects);
    EXPECT_TRUE(rects.empty());
}

// Quadrilaterals are counter-clockwise seen from outside their cell, in the display type's
// colours: materials by their look, zones by the zone colour of the face's cell.
TEST(LatticeMesh, FacesLookAwayFromTheirCellsInTheirColours) {
    TGeometry geo;
    geo.Zones.Lattice = Make({0, 1, 3}, {0, 2}, {0, 1, 2}, {4, 0, 5, 5});
    geo.Materials = {{4, 0x0000FF, true}, {5, 0x00FF00, true}};
    TGeoData cut;
    BuildLatticeFaces(geo, 2, false, cut);
    ASSERT_EQ(geo.LatticeFaces.size(), 2u);
    size_t quads = 0;
    for (const TLatticeFaces& f : geo.LatticeFaces) {
        EXPECT_TRUE(f.Color == 0x0000FF || f.Color == 0x00FF00);
        const TBodyMesh& mesh = f.Faces.MeshGrid;
        for (size_t q = 0; q < mesh.size(); ++q, ++quads) {
            TMatrixA3d p = mesh.Polygon(q);
            ASSERT_EQ(p.size(), 4u);
            TVector n = Cross(p[1] - p[0], p[2] - p[0]);
            TVector mid = (p[0] + p[2]) * 0.5;
            // the region of material 4 is cell 0 (x 0..1, z 0..1); material 5 is z 1..2
            TVector inside = f.Color == 0x0000FF ? TVector{0.5, 1, 0.5} : TVector{1.5, 1, 1.5};
            EXPECT_GT(Dot(n, mid - inside), 0);
        }
    }
    EXPECT_EQ(quads, 6u + 6u); // the void cell shows nothing; material 5 is one box
    EXPECT_GT(geo.MeshReach, 3.0);
    BuildLatticeFaces(geo, 1, false, cut);
    for (const TLatticeFaces& f : geo.LatticeFaces)
        EXPECT_TRUE(f.Color == PaletteColor(0) || f.Color == PaletteColor(2) ||
                    f.Color == PaletteColor(3));
    // hidden material: not drawn
    geo.Materials[1].Visible = false;
    BuildLatticeFaces(geo, 2, false, cut);
    ASSERT_EQ(geo.LatticeFaces.size(), 1u);
    EXPECT_EQ(geo.LatticeFaces[0].Color, 0x0000FFu);
}

// Dragging frames draw a coarse copy: at most 64 cells along each axis, whole cells to a block;
// where the material regions follow the blocks it has the same surface, fewer rectangles, and
// the cut box taken out as well. A lattice no finer than that has no copy.
TEST(LatticeMesh, DraggingFramesHaveACoarseCopy) {
    auto areaOf = [](const std::vector<TLatticeFaces>& faces, size_t& quads, TVector* cutLo,
                     TVector* cutHi) {
        double area = 0;
        quads = 0;
        for (const TLatticeFaces& f : faces)
            for (size_t q = 0; q < f.Faces.MeshGrid.size(); ++q, ++quads) {
                TMatrixA3d p = f.Faces.MeshGrid.Polygon(q);
                area += Length(Cross(p[1] - p[0], p[2] - p[0]));
                const TVector mid = (p[0] + p[2]) * 0.5;
                if (cutLo) {
                    EXPECT_FALSE(mid.x > cutLo->x && mid.x < cutHi->x && mid.y > cutLo->y &&
                                 mid.y < cutHi->y && mid.z > cutLo->z && mid.z < cutHi->z);
                }
                EXPECT_TRUE(mid.x >= 0 && mid.x <= 200 && mid.y >= 0 && mid.y <= 2);
            }
        return area;
    };
    TGeometry geo;
    TGeoData cut;
    geo.Zones.Lattice = Make({0, 1, 3}, {0, 2}, {0, 1, 2}, {4, 0, 5, 5});
    geo.Materials = {{4, 0x0000FF, true}, {5, 0x00FF00, true}};
    BuildLatticeFaces(geo, 2, false, cut);
    EXPECT_TRUE(geo.LatticeQuickFaces.empty());

    std::vector<double> x;
    for (int i = 0; i <= 200; ++i) x.push_back(i);
    std::vector<int32_t> m;
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 200; ++i) m.push_back(i < 100 ? 4 : 5);
    geo.Zones.Lattice = Make(x, {0, 1, 2}, {0, 1}, m);
    BuildLatticeFaces(geo, 2, false, cut);
    size_t quads = 0, quickQuads = 0;
    const double area = areaOf(geo.LatticeFaces, quads, nullptr, nullptr);
    const double quickArea = areaOf(geo.LatticeQuickFaces, quickQuads, nullptr, nullptr);
    EXPECT_NEAR(quickArea, area, 1e-9 * area);
    EXPECT_GT(quickQuads, 0u);
    EXPECT_LE(quickQuads, quads);

    cut.Params[0] = 50, cut.Params[1] = 150, cut.Params[2] = -1, cut.Params[3] = 1;
    cut.Params[4] = -1, cut.Params[5] = 2;
    TVector lo{50, -1, -1}, hi{150, 1, 2};
    BuildLatticeFaces(geo, 2, true, cut);
    areaOf(geo.LatticeQuickFaces, quickQuads, &lo, &hi);
    EXPECT_GT(quickQuads, 0u);
}

} // namespace

#include "SliceCore.h"
#include "geometry/Lattice.h"

#include "CheckFormat.h"
#include "CheckRay.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

std::array<int, 2> SliceAxes(int axis) {
    switch (axis) {
    case 0:
        return {1, 2};
    case 1:
        return {0, 2};
    default:
        return {0, 1};
    }
}

TVector SlicePoint(const TSlicePlane& plane, double u, double v) {
    double c[3] = {0, 0, 0};
    std::array<int, 2> a = SliceAxes(plane.Axis);
    c[std::clamp(plane.Axis, 0, 2)] = plane.C;
    c[a[0]] = u;
    c[a[1]] = v;
    return {c[0], c[1], c[2]};
}

TVector SlicePixelCentre(const TSlicePlane& plane, int width, int height, int i, int j) {
    double u = plane.Umin + (i + 0.5) * ((plane.Umax - plane.Umin) / width);
    double v = plane.Vmax - (j + 0.5) * ((plane.Vmax - plane.Vmin) / height);
    return SlicePoint(plane, u, v);
}

bool ParseSlicePlane(const std::string& text, int& axis, double& c) {
    if (text.size() < 3 || text[1] != '=') return false;
    char a = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    if (a < 'x' || a > 'z') return false;
    std::string number = text.substr(2);
    if (number.find_first_of(" \t") != std::string::npos) return false;
    std::optional<double> v = ParseReal(number);
    if (!v || !std::isfinite(*v)) return false;
    axis = a - 'x';
    c = *v;
    return true;
}

std::array<double, 6> SceneBox(const TAGeoData& bodies, double fallback) {
    constexpr double Inf = std::numeric_limits<double>::infinity();
    std::array<double, 6> box = {Inf, -Inf, Inf, -Inf, Inf, -Inf};
    bool any = false;
    for (const TGeoData& b : bodies) {
        const TBodyPrep& p = b.Prep;
        if (!p.Ready || !p.Bounded || p.Box[0] > p.Box[1] || p.Box[2] > p.Box[3] ||
            p.Box[4] > p.Box[5])
            continue;
        for (size_t a = 0; a < 3; ++a) {
            box[2 * a] = std::min(box[2 * a], p.Box[2 * a]);
            box[2 * a + 1] = std::max(box[2 * a + 1], p.Box[2 * a + 1]);
        }
        any = true;
    }
    if (!any) {
        double h = fallback > 0 && std::isfinite(fallback) ? fallback : 1.0;
        return {-h, h, -h, h, -h, h};
    }
    return box;
}

std::array<double, 6> SceneBox(const TAGeoData& bodies, const TAZoneData& zones,
                               double fallback) {
    return zones.Lattice ? zones.Lattice->Box() : SceneBox(bodies, fallback);
}

void DefaultSliceWindow(const std::array<double, 6>& box, int width, int height,
                        TSlicePlane& plane) {
    std::array<int, 2> a = SliceAxes(plane.Axis);
    double u0 = box[static_cast<size_t>(2 * a[0])], u1 = box[static_cast<size_t>(2 * a[0] + 1)];
    double v0 = box[static_cast<size_t>(2 * a[1])], v1 = box[static_cast<size_t>(2 * a[1] + 1)];
    double du = u1 - u0, dv = v1 - v0;
    // A flat box still gets a window: the other side's extent, or 1.
    if (!(du > 0) && !(dv > 0)) du = dv = std::max({std::fabs(u0), std::fabs(v0), 1.0});
    if (!(du > 0)) du = dv * width / height;
    if (!(dv > 0)) dv = du * height / width;
    double perPixel = std::max(du / width, dv / height);
    double cu = u0 / 2 + u1 / 2, cv = v0 / 2 + v1 / 2;
    if (!std::isfinite(cu)) cu = 0;
    if (!std::isfinite(cv)) cv = 0;
    plane.Umin = cu - perPixel * width / 2;
    plane.Umax = cu + perPixel * width / 2;
    plane.Vmin = cv - perPixel * height / 2;
    plane.Vmax = cv + perPixel * height / 2;
}

// ---- progressive classification ----

namespace {
constexpr int TopLevel = 4; // first spacing 16 pixels

// Whether sample row j of level l (spacing s) holds only the odd multiples of s (the even ones
// belong to a coarser level).
inline bool OddColumnsOnly(int level, int top, int j, int s) {
    return level < top && j % (2 * s) == 0;
}
} // namespace

void TSliceRender::Start(const TAGeoData& bodies, const TAZoneData& zones,
                         const TZoneIndex& index, const TSlicePlane& plane, int width,
                         int height) {
    Bodies = &bodies;
    Zones = &zones;
    Index = &index;
    Set = plane;
    W = std::max(width, 0);
    H = std::max(height, 0);
    Cls.assign(static_cast<size_t>(W) * static_cast<size_t>(H), SliceNotYet);
    Top = TopLevel;
    Level = (W > 0 && H > 0) ? Top : -1;
    Row = 0;
    Computed = 0;
    ++Rev;
}

void TSliceRender::Stop() {
    std::vector<int32_t>().swap(Cls);
    W = H = 0;
    Level = -1;
    Computed = 0;
    ++Rev;
}

double TSliceRender::Progress() const {
    double total = static_cast<double>(W) * H;
    return total > 0 ? static_cast<double>(Computed) / total : 1.0;
}

bool TSliceRender::Advance(double seconds) {
    using Clock = std::chrono::steady_clock;
    const auto t0 = Clock::now();
    while (Level >= 0) {
        const auto b0 = Clock::now();
        const int s = 1 << Level;
        const int rows = (H + s - 1) / s;
        if (Row >= rows) {
            --Level;
            Row = 0;
            continue;
        }
        const int perRow = (W + s - 1) / s;
        const int batch = std::min(rows - Row, std::max(1, Batch / std::max(perRow, 1)));
        const int first = Row, level = Level, top = Top;
        std::vector<int64_t> done(static_cast<size_t>(batch), 0);
        ParallelSlices(batch, Threads, 1, [&](int begin, int end, int) {
            thread_local TMatrixAi hits;
            for (int r = begin; r < end; ++r) {
                const int j = (first + r) * s;
                const bool odd = OddColumnsOnly(level, top, j, s);
                const int step = odd ? 2 * s : s;
                int64_t n = 0;
                for (int i = odd ? s : 0; i < W; i += step) {
                    TVector p = SlicePixelCentre(Set, W, H, i, j);
                    int32_t c = PointZoneClass(*Bodies, *Zones, *Index, hits, p.x, p.y, p.z);
                    const int i1 = std::min(i + s, W), j1 = std::min(j + s, H);
                    for (int y = j; y < j1; ++y)
                        std::fill(Cls.begin() + static_cast<ptrdiff_t>(y) * W + i,
                                  Cls.begin() + static_cast<ptrdiff_t>(y) * W + i1, c);
                    ++n;
                }
                done[static_cast<size_t>(r)] = n;
            }
        });
        for (int64_t n : done) Computed += n;
        Row += batch;
        ++Rev;
        // Slow geometries get smaller batches, so that a caller's time slice holds.
        const double took = std::chrono::duration<double>(Clock::now() - b0).count();
        if (took < 0.005)
            Batch = std::min(Batch * 2, 1 << 16);
        else if (took > 0.02)
            Batch = std::max(Batch / 2, 64);
        if (std::chrono::duration<double>(Clock::now() - t0).count() >= seconds) break;
    }
    return Level < 0;
}

TSliceCounts CountSlice(const std::vector<int32_t>& classes, size_t zoneCount) {
    TSliceCounts c;
    // as far as the zones in the picture reach: a lattice has millions of zones
    int32_t last = -1;
    for (int32_t k : classes)
        if (static_cast<size_t>(k) < zoneCount) last = std::max(last, k);
    c.PerZone.assign(static_cast<size_t>(last + 1), 0);
    c.Pixels = static_cast<int64_t>(classes.size());
    for (int32_t k : classes) {
        if (k == SliceUndefined)
            ++c.Undefined;
        else if (k == SliceOverlap)
            ++c.Overlap;
        else if (k >= 0 && static_cast<size_t>(k) < zoneCount)
            ++c.PerZone[static_cast<size_t>(k)];
    }
    return c;
}

// ---- colours and legend ----

namespace {
const TMaterialLook* MaterialOf(const TGeometry& g, int32_t number) {
    for (const TMaterialLook& m : g.Materials)
        if (m.Number == number) return &m;
    return nullptr;
}
} // namespace

std::vector<TColor> SliceZoneColors(const TGeometry& g, TSliceColorBy by, TColor voidColor) {
    const size_t count = ZoneCount(g.Zones);
    std::vector<TColor> colors(count);
    for (size_t z = 0; z < count; ++z) {
        if (by == TSliceColorBy::Zone) {
            colors[z] = z < g.ZoneLooks.size() ? g.ZoneLooks[z].Color
                                               : PaletteColor(static_cast<int64_t>(z));
            continue;
        }
        int32_t m = ZoneMaterial(g.Zones, z);
        const TMaterialLook* look = MaterialOf(g, m);
        colors[z] = look ? look->Color : m <= 0 ? voidColor : PaletteColor(m);
    }
    return colors;
}

TColor SlicePixelColor(int32_t cls, const std::vector<TColor>& zoneColors, int i, int j) {
    if (cls >= 0 && static_cast<size_t>(cls) < zoneColors.size())
        return zoneColors[static_cast<size_t>(cls)];
    if (cls == SliceOverlap) return SliceOverlapColors[((i + j) >> 2) & 1];
    return SliceUndefinedColors[((i >> 2) + (j >> 2)) & 1];
}

void PaintSlice(const std::vector<int32_t>& classes, int width, int height,
                const std::vector<TColor>& zoneColors, TColor pending,
                std::vector<uint8_t>& rgb) {
    rgb.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    uint8_t* out = rgb.data();
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i, out += 3) {
            int32_t k = classes[static_cast<size_t>(j) * static_cast<size_t>(width) +
                                static_cast<size_t>(i)];
            TColor c = k == SliceNotYet ? pending : SlicePixelColor(k, zoneColors, i, j);
            out[0] = static_cast<uint8_t>(c & 0xFF);
            out[1] = static_cast<uint8_t>((c >> 8) & 0xFF);
            out[2] = static_cast<uint8_t>((c >> 16) & 0xFF);
        }
}

std::vector<TSliceLegendEntry> SliceLegend(const TGeometry& g, TSliceColorBy by,
                                           const TSliceCounts& counts,
                                           const std::vector<TColor>& zoneColors) {
    std::vector<TSliceLegendEntry> out;
    const size_t nz = std::min({ZoneCount(g.Zones), counts.PerZone.size(), zoneColors.size()});
    if (by == TSliceColorBy::Zone) {
        for (size_t z = 0; z < nz; ++z) {
            if (counts.PerZone[z] == 0) continue;
            int32_t m = ZoneMaterial(g.Zones, z);
            std::string text = ZoneName(g.Zones, z) + (m > 0 ? "  material " + std::to_string(m)
                                                         : std::string("  void"));
            out.push_back({text, static_cast<int32_t>(z), zoneColors[z], counts.PerZone[z]});
        }
    } else {
        // One entry per material number in the order of the material table, void last.
        std::vector<int32_t> numbers;
        for (const TMaterialLook& m : g.Materials) numbers.push_back(m.Number);
        for (size_t z = 0; z < nz; ++z) {
            int32_t m = ZoneMaterial(g.Zones, z);
            if (m > 0 && std::find(numbers.begin(), numbers.end(), m) == numbers.end())
                numbers.push_back(m);
        }
        numbers.push_back(0);
        for (int32_t number : numbers) {
            TSliceLegendEntry e{number > 0 ? "material " + std::to_string(number) : "void", -1, 0,
                                0};
            for (size_t z = 0; z < nz; ++z) {
                int32_t m = ZoneMaterial(g.Zones, z);
                if ((number > 0 ? m == number : m <= 0) && counts.PerZone[z] > 0) {
                    if (e.Pixels == 0) e.Class = static_cast<int32_t>(z), e.Color = zoneColors[z];
                    e.Pixels += counts.PerZone[z];
                }
            }
            if (e.Pixels > 0) out.push_back(e);
        }
    }
    if (counts.Undefined > 0)
        out.push_back({"undefined (no zone)", SliceUndefined, SliceUndefinedColors[0],
                       counts.Undefined});
    if (counts.Overlap > 0)
        out.push_back({"overlap (several zones)", SliceOverlap, SliceOverlapColors[0],
                       counts.Overlap});
    return out;
}

bool ParseSliceColorBy(const std::string& text, TSliceColorBy& by) {
    if (text != "zone" && text != "material") return false;
    by = text == "zone" ? TSliceColorBy::Zone : TSliceColorBy::Material;
    return true;
}

// ---- point inspector ----

int32_t PointZoneClass(const TAGeoData& bodies, const TAZoneData& zones, const TZoneIndex& index,
                       TMatrixAi& hits, double x, double y, double z) {
    int found = FindZone(bodies, zones, index, hits, x, y, z);
    return found == 0 ? SliceUndefined : found == 1 ? hits[0] : SliceOverlap;
}

void LocateZones(const TAGeoData& bodies, const TAZoneData& zones, const TZoneIndex& index,
                 const double* xyz, size_t count, int32_t* out, int threads) {
    // ParallelSlices counts in int: very long lists go in pieces
    constexpr size_t Piece = size_t{1} << 30;
    for (size_t first = 0; first < count; first += Piece) {
        const int n = static_cast<int>(std::min(Piece, count - first));
        ParallelSlices(n, threads, 256, [&](int begin, int end, int) {
            thread_local TMatrixAi hits;
            for (int k = begin; k < end; ++k) {
                const double* p = xyz + 3 * (first + static_cast<size_t>(k));
                out[first + static_cast<size_t>(k)] =
                    PointZoneClass(bodies, zones, index, hits, p[0], p[1], p[2]);
            }
        });
    }
}

TPointInfo InspectPoint(const TAGeoData& bodies, const TAZoneData& zones,
                        const TZoneIndex& index, double x, double y, double z) {
    TPointInfo info;
    TMatrixAi hits;
    FindZone(bodies, zones, index, hits, x, y, z);
    info.Zones.assign(hits.begin(), hits.end());
    for (int32_t k : info.Zones) info.Materials.push_back(ZoneMaterial(zones, static_cast<size_t>(k)));
    BodiesAt(bodies, zones, x, y, z, info.Bodies);
    return info;
}

std::string ZoneNamesText(const TAZoneData& zones, const std::vector<int32_t>& positions) {
    if (positions.empty()) return "none";
    std::string s;
    for (int32_t k : positions) {
        if (!s.empty()) s += ' ';
        s += k >= 0 && static_cast<size_t>(k) < ZoneCount(zones)
                 ? ZoneName(zones, static_cast<size_t>(k))
                 : std::string("?");
    }
    return s;
}

std::string NumbersText(const std::vector<int32_t>& numbers) {
    if (numbers.empty()) return "none";
    std::string s;
    for (int32_t n : numbers) {
        if (!s.empty()) s += ' ';
        s += std::to_string(n);
    }
    return s;
}

std::vector<std::string> PointInfoLines(const TAZoneData& zones, const TPointInfo& info) {
    return {"zones: " + ZoneNamesText(zones, info.Zones),
            "materials: " + NumbersText(info.Materials), "bodies: " + NumbersText(info.Bodies)};
}

std::string ShortNumber(double v) {
    char buf[40];
    for (int p = 1; p <= 17; ++p) {
        std::snprintf(buf, sizeof buf, "%.*g", p, v);
        if (std::strtod(buf, nullptr) == v) break;
    }
    return buf;
}

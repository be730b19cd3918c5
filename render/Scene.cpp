#include "Scene.h"

#include "GLDraw.h"
#include "SceneCull.h"

#include <GL/gl.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>

namespace {

const TColor White = 0xFFFFFF;

// Calls draw(zone, colour) for every visible zone in drawing order of the display type.
template <class F> void ForVisibleZones(const TSceneGeometry& s, F draw) {
    const TGeometry& geo = s.Geo;
    // A zone whose surface is empty holds no point (A - A): its terms draw nothing either.
    const std::vector<uint32_t>* counts = s.Surfaces ? &s.Surfaces->Zones.OwnerTriangles : nullptr;
    auto empty = [&](int z) {
        return counts && static_cast<size_t>(z) < counts->size() &&
               (*counts)[static_cast<size_t>(z)] == 0;
    };
    switch (s.Settings.ViewInfoType) {
    case 1:
        for (int z = static_cast<int>(geo.Zones.size()) - 1; z >= 0; --z) {
            size_t k = static_cast<size_t>(z);
            if (k < geo.ZoneLooks.size() && geo.ZoneLooks[k].Visible && !empty(z))
                draw(z, geo.ZoneLooks[k].Color);
        }
        break;
    case 2:
        for (int m = static_cast<int>(geo.Materials.size()) - 1; m >= 0; --m) {
            const TMaterialLook& mat = geo.Materials[static_cast<size_t>(m)];
            if (!mat.Visible) continue;
            for (int z = static_cast<int>(geo.Zones.size()) - 1; z >= 0; --z)
                if (geo.Zones[static_cast<size_t>(z)].Material == mat.Number && !empty(z))
                    draw(z, mat.Color);
        }
        break;
    default:
        break;
    }
}

// Geometry passes only: blending on for the translucent colours.
void DrawByViewType(const TSceneGeometry& s) {
    if (s.Geo.Zones.Lattice)
        DrawLatticeFaces(s);
    else if (s.Settings.ViewInfoType == 0)
        DrawBodies(s);
    else
        ForVisibleZones(s, [&](int z, TColor colour) { DrawZone(s, z, colour); });
}

// The groups of a zone that are drawn, as term lists without the cut box.
template <class F> void ForDrawnGroups(const TSceneGeometry& s, const TZoneData& zone, F f) {
    for (size_t g = 0; g < zone.BodyIndex.size(); ++g) {
        if (g < zone.GroupOp.size()) {
            unsigned char op = static_cast<unsigned char>(zone.GroupOp[g]);
            if (op <= ' ') continue; // blank letter: the group is not drawn
        }
        TTermList terms = GroupTerms(s.Geo, zone, g);
        if (!terms.empty()) f(terms);
    }
}

} // namespace

TAxisLayout AxisLayoutForViewMode(int viewMode) {
    switch (viewMode) {
    case 0:
        return TAxisLayout::XY;
    case 1:
        return TAxisLayout::XZ;
    case 3:
        return TAxisLayout::YZ;
    case 5:
        return TAxisLayout::ZY;
    default:
        return TAxisLayout::None;
    }
}

double SceneDepthReach(const TGLUnit& gl, const TGeometry& geometry,
                       const TDisplaySettings& settings) {
    double reach = geometry.MeshReach;
    // Without depth clamping the cut box must not be clipped either; with it, a cut box
    // reaching past the meshes keeps its order in depth and costs no precision.
    if (settings.CutOn && !gl.DepthClamps()) {
        const auto& p = settings.CutBox.Params;
        auto far = [](double lo, double hi) { return std::max(lo * lo, hi * hi); };
        double c = std::sqrt(far(p[0], p[1]) + far(p[2], p[3]) + far(p[4], p[5]));
        if (std::isfinite(c)) reach = std::max(reach, c);
    }
    return reach;
}

TSurfaceOptions ZoneSurfaceOptions(const TDisplaySettings& settings) {
    TSurfaceOptions o;
    if (settings.CutOn) o.CutBox = &settings.CutBox;
    return o;
}

void DrawGeometry(const TSceneGeometry& s, bool plain) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    s.GL.Lists().NextFrame();
    TCullFrame cull;
    if (!plain && cull.SetUp(s)) {
        DrawByViewType({s.GL, s.Geo, s.Settings, &cull, s.Surfaces});
        cull.SyncNormal();
    } else {
        DrawByViewType({s.GL, s.Geo, s.Settings, nullptr, s.Surfaces});
    }
    glDisable(GL_BLEND);
}

void PaintScene(TGLUnit& gl, const TGeometry& geometry, const TTracks& tracks,
                const TDisplaySettings& settings, const TCheckErrorSegments& checkErrors,
                const TSceneOptions& options) {
    gl.DepthReach = SceneDepthReach(gl, geometry, settings);
    gl.BeginFrame(settings.BackColor);
    if (!gl.Ready()) return;
    if ((!geometry.Bodies.empty() || geometry.Zones.Lattice) && !options.ZoomDragging) {
        if (options.Quick && geometry.Zones.Lattice) {
            // the coarse copy's faces; the frame counter stays, so the full faces' lists are
            // kept however long the drag
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            DrawLatticeFaces({gl, geometry, settings}, true);
            glDisable(GL_BLEND);
        } else if (options.Quick)
            DrawQuickGeometry({gl, geometry, settings});
        else if (options.Surfaces && !options.Plain && settings.ViewInfoType != 0 &&
                 gl.DrawMode == 1 && !geometry.Zones.Lattice)
            DrawZoneSurfaces(gl, *options.Surfaces, geometry, settings);
        else
            DrawGeometry({gl, geometry, settings, nullptr, options.Surfaces}, options.Plain);
        if (options.AxesOn) DrawAxes(gl, settings, options.AxisLayout);
        DrawTracks(gl, tracks, settings, options.Quick);
        DrawCheckErrors(gl, checkErrors);
        DrawMarks(gl, options.Marks);
    }
    gl.Present();
}

void DrawMarks(TGLUnit& gl, const std::vector<TSceneMark>& marks) {
    if (marks.empty()) return;
    gl.SetLineStyle(1, 0, 2.0f);
    for (const TSceneMark& m : marks) {
        gl.SetColor(TGLUnit::ColorToRGBA(m.Color, 1.0));
        gl.DrawLine(m.A, m.B);
    }
    gl.ResetLineStyle();
}

void DrawCheckErrors(TGLUnit& gl, const TCheckErrorSegments& errors) {
    gl.SetColor(TGLUnit::ColorToRGBA(White, 1.0));
    int n = std::min<int>(errors.Count, static_cast<int>(errors.Entry.size()));
    for (int k = 0; k < n; ++k) {
        const TCheckErrorEntry& e = errors.Entry[static_cast<size_t>(k)];
        gl.DrawLine(e.Start, e.End);
    }
}

void DrawBodies(const TSceneGeometry& s) {
    const TGeometry& geo = s.Geo;
    for (int i = static_cast<int>(geo.Bodies.size()) - 1; i >= 0; --i) {
        size_t k = static_cast<size_t>(i);
        if (k >= geo.BodyLooks.size() || !geo.BodyLooks[k].Visible) continue;
        TRGBA c = TGLUnit::ColorToRGBA(geo.BodyLooks[k].Color, GeometryAlpha);
        s.GL.SetMaterial(c);
        s.GL.SetColor(c);
        if (s.Settings.CutOn)
            DrawCSG(s, {{i, +1}, {-1, -1}});
        else
            DrawBody(s, i, +1);
    }
}

void DrawZone(const TSceneGeometry& s, int zoneIndex, TColor colour) {
    if (zoneIndex < 0 || static_cast<size_t>(zoneIndex) >= s.Geo.Zones.size()) return;
    const TZoneData& zone = s.Geo.Zones[static_cast<size_t>(zoneIndex)];
    TRGBA c = TGLUnit::ColorToRGBA(colour, GeometryAlpha);
    s.GL.SetMaterial(c);
    s.GL.SetColor(c);
    ForDrawnGroups(s, zone, [&](TTermList& terms) {
        if (s.Settings.CutOn) terms.push_back({-1, -1});
        DrawCSG(s, terms);
    });
}

void DrawQuickGeometry(const TSceneGeometry& s) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    s.GL.Lists().NextFrame();
    if (s.Settings.ViewInfoType == 0) {
        for (int i = static_cast<int>(s.Geo.Bodies.size()) - 1; i >= 0; --i) {
            size_t k = static_cast<size_t>(i);
            if (k >= s.Geo.BodyLooks.size() || !s.Geo.BodyLooks[k].Visible) continue;
            TRGBA c = TGLUnit::ColorToRGBA(s.Geo.BodyLooks[k].Color, GeometryAlpha);
            s.GL.SetMaterial(c);
            s.GL.SetColor(c);
            DrawBody(s, i, +1);
        }
    } else {
        // Each body once, and a half-space as its plane face as in "Body" display: its
        // stand-in box would cover the frame over and over.
        TDisplaySettings bodyView = s.Settings;
        bodyView.ViewInfoType = 0;
        const TSceneGeometry asBodies{s.GL, s.Geo, bodyView, nullptr};
        std::vector<bool> drawn(s.Geo.Bodies.size(), false);
        ForVisibleZones(s, [&](int z, TColor colour) {
            TRGBA c = TGLUnit::ColorToRGBA(colour, GeometryAlpha);
            ForDrawnGroups(s, s.Geo.Zones[static_cast<size_t>(z)], [&](const TTermList& terms) {
                size_t b = static_cast<size_t>(terms[0].Body);
                if (drawn[b]) return;
                drawn[b] = true;
                s.GL.SetMaterial(c);
                s.GL.SetColor(c);
                DrawBody(asBodies, terms[0].Body, +1);
            });
        });
    }
    glDisable(GL_BLEND);
}

const TGeoData* TermMesh(const TSceneGeometry& s, int bodyIndex, int sign, int& polygon) {
    polygon = -1;
    if (bodyIndex < 0) return &s.Settings.CutBox;
    size_t k = static_cast<size_t>(bodyIndex);
    const TGeoData& body = s.Geo.Bodies[k];
    if (s.Settings.ViewInfoType == 0 && body.Symbol == "HAF") {
        polygon = 0;
        return &body;
    }
    if (sign > 0) return &body;
    return k < s.Geo.GrownBodies.size() ? &s.Geo.GrownBodies[k] : nullptr;
}

TTermList GroupTerms(const TGeometry& geo, const TZoneData& zone, size_t group) {
    TTermList terms;
    if (group >= zone.BodyIndex.size()) return terms;
    const int bodyCount = static_cast<int>(geo.Bodies.size());
    const TMatrixAi& idx = zone.BodyIndex[group];
    for (size_t t = 0; t < idx.size(); ++t) {
        int sign =
            group < zone.Sign.size() && t < zone.Sign[group].size() ? zone.Sign[group][t] : 1;
        if (idx[t] < 0 || idx[t] >= bodyCount) {
            // A missing body contains no point: inside it nothing is, outside it everything.
            if (sign >= 0) return {};
            continue;
        }
        terms.push_back({idx[t], sign});
    }
    // The stencil passes draw the base term's surface: an intersected term, when there is one.
    auto base =
        std::find_if(terms.begin(), terms.end(), [](const TTerm& t) { return t.Sign >= 0; });
    if (base != terms.end()) std::rotate(terms.begin(), base, base + 1);
    return terms;
}

void DrawBody(const TSceneGeometry& s, int bodyIndex, int sign) {
    int polygon;
    const TGeoData* mesh = TermMesh(s, bodyIndex, sign, polygon);
    s.GL.SetLineStyle(1, 0, static_cast<float>(s.Settings.GeoWidth));
    if (mesh) {
        if (polygon < 0)
            s.GL.Lists().Draw(s.GL, *mesh);
        else
            DrawMeshBatched(s.GL, *mesh, polygon);
        if (s.Cull) s.Cull->Drew(mesh, polygon, s.GL);
    }
    s.GL.ResetLineStyle();
}

void DrawTermShape(const TSceneGeometry& s, int bodyIndex, int sign,
                   const TMeshLists::TChunkFilter& keep) {
    int polygon;
    const TGeoData* mesh = TermMesh(s, bodyIndex, sign, polygon);
    if (!mesh) return;
    if (polygon < 0)
        s.GL.Lists().DrawShape(s.GL, *mesh, keep);
    else
        DrawMeshShape(*mesh, polygon);
}

namespace {

// Outlines of the term lists drawn in Line display, for one set of meshes and one cut box.
struct TOutlineCache {
    const TGeometry* Geo = nullptr;
    uint64_t Generation = 0;
    std::array<double, 6> Cut{};
    std::map<std::vector<int>, std::vector<TSegment>> Products;
};

const std::vector<TSegment>& CachedOutline(const TSceneGeometry& s, const TTermList& terms) {
    static TOutlineCache cache;
    std::array<double, 6> cut;
    std::copy_n(s.Settings.CutBox.Params.begin(), 6, cut.begin());
    if (cache.Geo != &s.Geo || cache.Generation != s.Geo.MeshGeneration || cache.Cut != cut) {
        cache.Geo = &s.Geo;
        cache.Generation = s.Geo.MeshGeneration;
        cache.Cut = cut;
        cache.Products.clear();
    }
    std::vector<int> key;
    for (const TTerm& t : terms) key.insert(key.end(), {t.Body, t.Sign});
    auto it = cache.Products.find(key);
    if (it == cache.Products.end())
        it = cache.Products.emplace(key, ProductOutline(s.Geo, s.Settings.CutBox, terms)).first;
    return it->second;
}

void DrawOutline(const TSceneGeometry& s, const TTermList& terms) {
    const std::vector<TSegment>& lines = CachedOutline(s, terms);
    s.GL.SetLineStyle(1, 0, static_cast<float>(s.Settings.GeoWidth));
    glDisable(GL_LIGHTING);
    glBegin(GL_LINES);
    for (const TSegment& l : lines) {
        glVertex3d(l.A.x, l.A.y, l.A.z);
        glVertex3d(l.B.x, l.B.y, l.B.z);
    }
    glEnd();
    s.GL.ResetLineStyle();
}

} // namespace

void DrawCSG(const TSceneGeometry& s, const TTermList& terms) {
    const int n = static_cast<int>(terms.size());
    if (n == 0) return;
    // Outlines cannot be clipped by the stencil passes: a line's pixels have no inside.
    if (s.GL.DrawMode == 0) {
        DrawOutline(s, terms);
        return;
    }
    if (s.Cull && DrawCSGCulled(s, terms)) return;
    // Only the colour passes need the lit surface; the others draw the bare shape.
    auto colour = [&](int i) {
        const TTerm& t = terms[static_cast<size_t>(i)];
        DrawBody(s, t.Body, t.Sign);
    };
    auto draw = [&](int i) {
        const TTerm& t = terms[static_cast<size_t>(i)];
        DrawTermShape(s, t.Body, t.Sign);
    };
    auto stencil = [](GLenum func, GLint ref, GLenum fail, GLenum zfail, GLenum zpass) {
        glStencilFunc(func, ref, 255);
        glStencilOp(fail, zfail, zpass);
    };

    // Phase A: the visible surface of the base term, clipped by all other terms.
    glEnable(GL_STENCIL_TEST);
    glClearStencil(255);
    glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    stencil(GL_ALWAYS, 0, GL_KEEP, GL_KEEP, GL_REPLACE);
    glDisable(GL_CULL_FACE);
    draw(0);
    glEnable(GL_CULL_FACE);
    glDepthMask(GL_FALSE);
    for (int i = 1; i < n; ++i) {
        int r = 255 - i;
        if (terms[static_cast<size_t>(i)].Sign < 0) {
            stencil(GL_GEQUAL, r, GL_KEEP, GL_KEEP, GL_REPLACE);
            glCullFace(GL_FRONT);
            draw(i);
            stencil(GL_EQUAL, r, GL_KEEP, GL_KEEP, GL_ZERO);
            glCullFace(GL_BACK);
            draw(i);
        } else {
            stencil(GL_GEQUAL, r, GL_KEEP, GL_REPLACE, GL_KEEP);
            glCullFace(GL_BACK);
            draw(0);
            stencil(GL_EQUAL, r, GL_KEEP, GL_KEEP, GL_ZERO);
            glCullFace(GL_BACK);
            draw(i);
            stencil(GL_GREATER, r, GL_KEEP, GL_KEEP, GL_REPLACE);
            glCullFace(GL_FRONT);
            draw(i);
        }
    }
    glDepthMask(GL_TRUE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDisable(GL_DEPTH_TEST);
    stencil(GL_EQUAL, 0, GL_KEEP, GL_KEEP, GL_KEEP);
    glDisable(GL_CULL_FACE);
    colour(0);
    glEnable(GL_CULL_FACE);

    // Phase B: the walls that the other terms contribute inside the base term.
    for (int j = 1; j < n; ++j) {
        int k = 254;
        glClearStencil(255);
        glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glEnable(GL_STENCIL_TEST);
        glEnable(GL_DEPTH_TEST);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        stencil(GL_ALWAYS, 0, GL_KEEP, GL_KEEP, GL_REPLACE);
        glCullFace(GL_BACK);
        draw(j);
        glDepthMask(GL_FALSE);
        stencil(GL_GEQUAL, k, GL_KEEP, GL_KEEP, GL_REPLACE);
        glCullFace(GL_BACK);
        draw(0);
        stencil(GL_EQUAL, k, GL_KEEP, GL_KEEP, GL_ZERO);
        glCullFace(GL_FRONT);
        draw(0);
        for (int l = 1; l < n; ++l) {
            if (l == j) continue;
            if (terms[static_cast<size_t>(l)].Sign < 0) {
                stencil(GL_EQUAL, k, GL_KEEP, GL_KEEP, GL_DECR);
                glCullFace(GL_FRONT);
                draw(l);
                stencil(GL_EQUAL, k - 1, GL_KEEP, GL_KEEP, GL_INCR);
                glCullFace(GL_BACK);
                draw(l);
                stencil(GL_EQUAL, k - 1, GL_KEEP, GL_KEEP, GL_ZERO);
                glCullFace(GL_BACK);
                draw(l);
                glCullFace(GL_FRONT);
                draw(l);
            } else {
                stencil(GL_EQUAL, k, GL_KEEP, GL_KEEP, GL_DECR);
                glCullFace(GL_BACK);
                draw(l);
                stencil(GL_EQUAL, k - 1, GL_KEEP, GL_KEEP, GL_ZERO);
                glCullFace(GL_FRONT);
                draw(l);
                k = k - 1;
            }
        }
        glDepthMask(GL_TRUE);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glDisable(GL_DEPTH_TEST);
        stencil(GL_EQUAL, k, GL_KEEP, GL_KEEP, GL_KEEP);
        glCullFace(GL_BACK);
        colour(j);
    }
    glDisable(GL_CULL_FACE);
    glDisable(GL_STENCIL_TEST);
}

#include "SceneCull.h"

#include "GLDraw.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Above this many terms the stencil values of the passes run out; such lists are drawn
// plainly.
constexpr int MaxCulledTerms = 250;

using TBox = std::array<double, 6>;

bool EmptyBox(const TBox& b) {
    return b[0] > b[1] || b[2] > b[3] || b[4] > b[5];
}

bool BoxesMeet(const TBox& a, const TBox& b) {
    if (EmptyBox(a) || EmptyBox(b)) return false;
    return a[0] <= b[1] && b[0] <= a[1] && a[2] <= b[3] && b[2] <= a[3] && a[4] <= b[5] &&
           b[4] <= a[5];
}

std::array<double, 16> Multiply(const double* a, const double* b) { // a x b, column-major
    std::array<double, 16> m{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double v = 0;
            for (int k = 0; k < 4; ++k) v += a[k * 4 + r] * b[c * 4 + k];
            m[static_cast<size_t>(c * 4 + r)] = v;
        }
    return m;
}

template <class F> void ForCorners(const TBox& b, F f) {
    for (int k = 0; k < 8; ++k) f(b[k & 1 ? 1 : 0], b[k & 2 ? 3 : 2], b[k & 4 ? 5 : 4]);
}

void Unite(TBox& into, const TBox& b) {
    if (EmptyBox(b)) return;
    if (EmptyBox(into)) {
        into = b;
        return;
    }
    for (int a = 0; a < 3; ++a) {
        into[2 * a] = std::min(into[2 * a], b[2 * a]);
        into[2 * a + 1] = std::max(into[2 * a + 1], b[2 * a + 1]);
    }
}

TBox Common(const TBox& a, const TBox& b) {
    if (!BoxesMeet(a, b)) return {1, -1, 1, -1, 1, -1};
    TBox c;
    for (int k = 0; k < 3; ++k) {
        c[2 * k] = std::max(a[2 * k], b[2 * k]);
        c[2 * k + 1] = std::min(a[2 * k + 1], b[2 * k + 1]);
    }
    return c;
}

void Scissor(const TPixelRect& r) {
    glScissor(r.X0, r.Y0, r.X1 - r.X0, r.Y1 - r.Y0);
}

// The outward face planes of a mesh of few polygons that bounds a convex solid (a box, a
// half-space's stand-in box, a wedge); empty for any other mesh.
struct TPlane {
    TVector N; // outward, unit
    double D;  // N . x = D on the plane
};
std::vector<TPlane> ConvexPlanes(const TGeoData* mesh) {
    constexpr size_t MaxFaces = 32;
    std::vector<TPlane> planes;
    if (!mesh || mesh->MeshGrid.size() == 0 || mesh->MeshGrid.size() > MaxFaces) return planes;
    const TBodyMesh& m = mesh->MeshGrid;
    const TBodyMesh& src = m.Source();
    std::vector<TVector> points;
    for (const TVector& p : src.Points) points.push_back(m.Place(p));
    TVector centre{0, 0, 0};
    for (const TVector& p : points) centre = centre + p * (1.0 / double(points.size()));
    double extent = 0;
    for (const TVector& p : points)
        extent = std::max(extent, std::sqrt(Dot(p - centre, p - centre)));
    if (!(extent > 0) || !std::isfinite(extent)) return {};
    const double tolerance = 1e-9 * extent;
    for (size_t k = 0; k < src.Count.size(); ++k) {
        TMatrixA3d poly = m.Polygon(k);
        if (poly.size() < 3) return {};
        TVector n = Cross(poly[1] - poly[0], poly[2] - poly[1]);
        double length = std::sqrt(Dot(n, n));
        if (!(length > 0)) return {};
        n = n * (1.0 / length);
        double d = Dot(n, poly[0]);
        if (Dot(n, centre) > d) n = n * -1.0, d = -d;
        // every point on the inner side (or on the plane): convex, and the face is planar
        for (const TVector& p : points)
            if (Dot(n, p) > d + tolerance) return {};
        planes.push_back({n, d});
    }
    return planes;
}

// Whether every point of the box lies strictly inside the convex solid of the planes: then the
// solid's surface, the points that a pass tests, stays outside the box.
bool BoxInside(const TBox& box, const std::vector<TPlane>& planes) {
    if (planes.empty() || EmptyBox(box)) return false;
    bool inside = true;
    ForCorners(box, [&](double x, double y, double z) {
        for (const TPlane& p : planes)
            if (!(Dot(p.N, TVector{x, y, z}) < p.D)) inside = false;
    });
    return inside;
}

bool NormalOf(const TGeoData* mesh, int polygon, TGLUnit& gl, TVector& n) {
    if (gl.DrawMode != 1) return false;
    if (polygon < 0) {
        const TMeshLists::TEntry& e = gl.Lists().Look(gl, *mesh);
        n = e.LastNormal;
        return e.HasNormal;
    }
    TMatrixA3d p = mesh->MeshGrid.Polygon(static_cast<size_t>(polygon));
    if (p.size() != 4) return false;
    n = QuadNormal(p[0], p[1], p[2]);
    return true;
}

bool SameBits(const TVector& a, const TVector& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

TPixelRect TPixelRect::operator&(const TPixelRect& o) const {
    return {std::max(X0, o.X0), std::max(Y0, o.Y0), std::min(X1, o.X1), std::min(Y1, o.Y1)};
}

bool TCullFrame::SetUp(const TSceneGeometry& s) {
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    if (depthBits <= 0 || depthBits > 32) return false;
    double mv[16], pr[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    glGetDoublev(GL_PROJECTION_MATRIX, pr);
    MVP = Multiply(pr, mv);
    Width = s.GL.ViewWidth;
    Height = s.GL.ViewHeight;
    if (Width <= 0 || Height <= 0) return false;
    // The camera turns and shifts; the smallest axis scale turns eye distances into world ones.
    double scale = 1e300;
    for (int c = 0; c < 3; ++c)
        scale = std::min(scale, std::sqrt(mv[c * 4] * mv[c * 4] + mv[c * 4 + 1] * mv[c * 4 + 1] +
                                          mv[c * 4 + 2] * mv[c * 4 + 2]));
    double det = std::fabs(pr[10] * pr[15] - pr[14] * pr[11]);
    if (!(scale > 1e-12) || !(det > 0) || !(std::fabs(pr[0]) > 0) || !(std::fabs(pr[5]) > 0))
        return false;

    TBox scene{1, -1, 1, -1, 1, -1};
    for (const TGeoData& b : s.Geo.Bodies) Unite(scene, b.MeshGrid.Box);
    for (const TGeoData& b : s.Geo.GrownBodies) Unite(scene, b.MeshGrid.Box);
    Unite(scene, s.Settings.CutBox.MeshGrid.Box);
    double wMax = 1, extent = std::fabs(mv[12]) + std::fabs(mv[13]) + std::fabs(mv[14]);
    if (!EmptyBox(scene))
        ForCorners(scene, [&](double x, double y, double z) {
            wMax = std::max(wMax, std::fabs(MVP[3] * x + MVP[7] * y + MVP[11] * z + MVP[15]));
            extent = std::max({extent, std::fabs(x), std::fabs(y), std::fabs(z)});
        });
    // Depth values are compared after quantisation: two points closer in depth than a step
    // can swap order. One step is 2 w^2 / (|ad - bc| 2^bits) in eye z at clip w.
    double step = 2 * wMax * wMax / (det * std::ldexp(1.0, depthBits));
    // Wide lines and the rasteriser's rounding reach a little beyond a point's own pixel.
    PixelPad = std::max(1.0, s.Settings.GeoWidth) / 2 + 2;
    double pixel = 2 * wMax / std::min(std::fabs(pr[0]) * Width, std::fabs(pr[5]) * Height);
    Slack = (2 * step + PixelPad * pixel) / scale + 1e-6 * extent;
    if (!std::isfinite(Slack)) return false;

    DepthClamp = glIsEnabled(GL_DEPTH_CLAMP) == GL_TRUE;
    double n[4] = {0, 0, 1, 0};
    glGetDoublev(GL_CURRENT_NORMAL, n);
    PlainNormal = CurrentNormal = {n[0], n[1], n[2]};
    return true;
}

TPixelRect TCullFrame::Rect(const TBox& box) const {
    if (EmptyBox(box)) return {};
    double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
    bool behind = false;
    ForCorners(box, [&](double x, double y, double z) {
        double w = MVP[3] * x + MVP[7] * y + MVP[11] * z + MVP[15];
        if (!(w > 0)) {
            behind = true;
            return;
        }
        double cx = (MVP[0] * x + MVP[4] * y + MVP[8] * z + MVP[12]) / w;
        double cy = (MVP[1] * x + MVP[5] * y + MVP[9] * z + MVP[13]) / w;
        x0 = std::min(x0, cx), x1 = std::max(x1, cx);
        y0 = std::min(y0, cy), y1 = std::max(y1, cy);
    });
    TPixelRect full{0, 0, Width, Height};
    if (behind) return full; // reaches behind the eye: the whole view
    auto column = [&](double ndc) { return std::clamp((ndc + 1) * Width / 2, -1.0, Width + 1.0); };
    auto row = [&](double ndc) { return std::clamp((ndc + 1) * Height / 2, -1.0, Height + 1.0); };
    TPixelRect r{static_cast<int>(std::floor(column(x0) - PixelPad)),
                 static_cast<int>(std::floor(row(y0) - PixelPad)),
                 static_cast<int>(std::ceil(column(x1) + PixelPad)) + 1,
                 static_cast<int>(std::ceil(row(y1) + PixelPad)) + 1};
    return r & full;
}

bool TCullFrame::InDepthRange(const TBox& box) const {
    if (EmptyBox(box)) return true;
    bool inside = true;
    ForCorners(box, [&](double x, double y, double z) {
        double w = MVP[3] * x + MVP[7] * y + MVP[11] * z + MVP[15];
        double d = MVP[2] * x + MVP[6] * y + MVP[10] * z + MVP[14];
        if (!(w > 0) || (!DepthClamp && !(std::fabs(d) < w))) inside = false;
    });
    return inside;
}

void TCullFrame::Drew(const TGeoData* mesh, int polygon, TGLUnit& gl) {
    TVector n;
    if (NormalOf(mesh, polygon, gl, n)) PlainNormal = CurrentNormal = n;
}

void TCullFrame::Skipped(const TGeoData* mesh, int polygon, TGLUnit& gl) {
    TVector n;
    if (mesh && NormalOf(mesh, polygon, gl, n)) PlainNormal = n;
}

void TCullFrame::SyncNormal() {
    if (SameBits(PlainNormal, CurrentNormal)) return;
    glNormal3d(PlainNormal.x, PlainNormal.y, PlainNormal.z);
    CurrentNormal = PlainNormal;
}

// The passes of DrawCSG in the same order. A pass that cannot change a pixel is skipped:
// - a term whose box misses the box it is tested against leaves the stencil as it was, since
//   along every view ray all its surfaces lie on one side of the tested point;
// - an intersected term that misses the base (or, in phase B, the wall) leaves nothing alive;
// - a pass only touches the projected rectangle of its mesh, and only pixels the phase's
//   first draw marked can change, so every pass and clear keeps to that rectangle.
bool DrawCSGCulled(const TSceneGeometry& s, const TTermList& terms) {
    const int n = static_cast<int>(terms.size());
    if (n > MaxCulledTerms) return false;
    TCullFrame& c = *s.Cull;
    struct TInfo {
        const TGeoData* Mesh;
        int Polygon;
        TBox Box;
        TPixelRect Rect;
        bool Minus;
        std::vector<TPlane> Planes; // of a convex mesh that the passes test points on
        bool Whole;                 // not cut by the near or far plane
    };
    std::vector<TInfo> t(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        TInfo& e = t[static_cast<size_t>(i)];
        const TTerm& term = terms[static_cast<size_t>(i)];
        e.Mesh = TermMesh(s, term.Body, term.Sign, e.Polygon);
        e.Box = e.Mesh ? e.Mesh->MeshGrid.Box : TBox{1, -1, 1, -1, 1, -1};
        e.Rect = c.Rect(e.Box);
        if (!EmptyBox(e.Box))
            for (int a = 0; a < 3; ++a) e.Box[2 * a] -= c.Slack, e.Box[2 * a + 1] += c.Slack;
        e.Minus = term.Sign < 0;
        if (i == 0 || !e.Minus) e.Planes = ConvexPlanes(e.Mesh);
        e.Whole = c.InDepthRange(e.Box);
    }
    auto T = [&](int i) -> const TInfo& { return t[static_cast<size_t>(i)]; };
    auto meets = [&](int a, int b) { return BoxesMeet(T(a).Box, T(b).Box); };
    // A subtracted term tested against points of a surface changes nothing where its box misses
    // that surface: its box misses the surface's box, or lies inside the convex solid.
    auto reaches = [&](int minus, int surface) {
        if (!T(minus).Whole) return true; // without all its surfaces the argument fails
        return meets(minus, surface) && !BoxInside(T(minus).Box, T(surface).Planes);
    };
    auto stencil = [](GLenum func, GLint ref, GLenum fail, GLenum zfail, GLenum zpass) {
        glStencilFunc(func, ref, 255);
        glStencilOp(fail, zfail, zpass);
    };
    // A stencil pass draws the bare shape, which leaves the current normal alone; a colour
    // pass draws the lit surface, whose last normal the plain drawing leaves current.
    auto pass = [&](int i, const TPixelRect& region, bool on, bool colour = false) {
        TPixelRect r = region & T(i).Rect;
        if (!on || r.Empty()) {
            if (colour) c.Skipped(T(i).Mesh, T(i).Polygon, s.GL);
            return;
        }
        Scissor(r);
        const TTerm& term = terms[static_cast<size_t>(i)];
        if (colour)
            DrawBody(s, term.Body, term.Sign);
        else
            DrawTermShape(s, term.Body, term.Sign,
                          [&](const TBox& box) { return !(c.Rect(box) & r).Empty(); });
    };
    auto clear = [&](const TPixelRect& r) {
        Scissor(r);
        glClearStencil(255);
        glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    };

    // Every pixel that a phase colours shows a point inside the base and every intersected
    // term: within the screen rectangle of the boxes' common part. Outside it a phase's passes
    // can only mark pixels that its colour pass does not draw.
    // A term cut by the near or far plane loses surfaces that its passes count on; then the
    // plain passes can colour pixels outside it, and only the base's own rectangle holds.
    bool group = true, whole = T(0).Whole;
    TBox common = T(0).Box;
    for (int i = 1; i < n && group; ++i)
        if (!T(i).Minus) {
            if (!meets(0, i)) group = false;
            common = Common(common, T(i).Box);
            whole = whole && T(i).Whole;
        }
    const TPixelRect A = !group ? TPixelRect{} : whole ? T(0).Rect & c.Rect(common) : T(0).Rect;
    group = group && !A.Empty();
    glEnable(GL_SCISSOR_TEST);

    // Phase A
    if (group) {
        glEnable(GL_STENCIL_TEST);
        clear(A);
        glEnable(GL_DEPTH_TEST);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        stencil(GL_ALWAYS, 0, GL_KEEP, GL_KEEP, GL_REPLACE);
        glDisable(GL_CULL_FACE);
    }
    pass(0, A, group);
    if (group) {
        glEnable(GL_CULL_FACE);
        glDepthMask(GL_FALSE);
    }
    for (int i = 1; i < n; ++i) {
        int r = 255 - i;
        if (T(i).Minus) {
            bool on = group && reaches(i, 0);
            if (on) stencil(GL_GEQUAL, r, GL_KEEP, GL_KEEP, GL_REPLACE), glCullFace(GL_FRONT);
            pass(i, A, on);
            if (on) stencil(GL_EQUAL, r, GL_KEEP, GL_KEEP, GL_ZERO), glCullFace(GL_BACK);
            pass(i, A, on);
        } else {
            if (group) stencil(GL_GEQUAL, r, GL_KEEP, GL_REPLACE, GL_KEEP), glCullFace(GL_BACK);
            pass(0, A, group);
            if (group) stencil(GL_EQUAL, r, GL_KEEP, GL_KEEP, GL_ZERO), glCullFace(GL_BACK);
            pass(i, A, group);
            if (group) stencil(GL_GREATER, r, GL_KEEP, GL_KEEP, GL_REPLACE), glCullFace(GL_FRONT);
            pass(i, A, group);
        }
    }
    // The colour passes write where the stencil holds ref, with the normal plain would leave.
    auto colourPass = [&](GLint ref) {
        glDepthMask(GL_TRUE);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glDisable(GL_DEPTH_TEST);
        stencil(GL_EQUAL, ref, GL_KEEP, GL_KEEP, GL_KEEP);
        c.SyncNormal();
    };
    if (group) {
        colourPass(0);
        glDisable(GL_CULL_FACE);
    }
    pass(0, A, group, true);
    if (group) glEnable(GL_CULL_FACE);

    // Phase B
    for (int j = 1; j < n; ++j) {
        bool on = group && meets(0, j);
        TPixelRect R = T(j).Rect & A;
        if (whole) R = R & c.Rect(Common(T(j).Box, common));
        on = on && !R.Empty();
        for (int l = 1; l < n && on; ++l)
            if (l != j && !T(l).Minus && (!meets(l, j) || (R & T(l).Rect).Empty())) on = false;
        int k = 254;
        if (on) {
            clear(R);
            glEnable(GL_STENCIL_TEST);
            glEnable(GL_DEPTH_TEST);
            glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
            stencil(GL_ALWAYS, 0, GL_KEEP, GL_KEEP, GL_REPLACE);
            glCullFace(GL_BACK);
        }
        pass(j, R, on);
        if (on) {
            glDepthMask(GL_FALSE);
            stencil(GL_GEQUAL, k, GL_KEEP, GL_KEEP, GL_REPLACE);
            glCullFace(GL_BACK);
        }
        pass(0, R, on);
        if (on) stencil(GL_EQUAL, k, GL_KEEP, GL_KEEP, GL_ZERO), glCullFace(GL_FRONT);
        pass(0, R, on);
        for (int l = 1; l < n; ++l) {
            if (l == j) continue;
            if (T(l).Minus) {
                bool lon = on && reaches(l, j);
                if (lon) stencil(GL_EQUAL, k, GL_KEEP, GL_KEEP, GL_DECR), glCullFace(GL_FRONT);
                pass(l, R, lon);
                if (lon) stencil(GL_EQUAL, k - 1, GL_KEEP, GL_KEEP, GL_INCR), glCullFace(GL_BACK);
                pass(l, R, lon);
                // The plain drawing's next pass, the front faces again setting k - 1 to zero,
                // changes nothing: where k - 1 is left, no front face passed the unchanged
                // depth test the pass before.
                if (lon) {
                    stencil(GL_EQUAL, k - 1, GL_KEEP, GL_KEEP, GL_ZERO);
                    glCullFace(GL_FRONT);
                }
                pass(l, R, lon);
            } else {
                if (on) stencil(GL_EQUAL, k, GL_KEEP, GL_KEEP, GL_DECR), glCullFace(GL_BACK);
                pass(l, R, on);
                if (on) stencil(GL_EQUAL, k - 1, GL_KEEP, GL_KEEP, GL_ZERO), glCullFace(GL_FRONT);
                pass(l, R, on);
                k = k - 1;
            }
        }
        if (on) {
            colourPass(k);
            glCullFace(GL_BACK);
        }
        pass(j, R, on, true);
    }
    // the state the plain passes leave, whatever was skipped
    glDisable(GL_SCISSOR_TEST);
    glDepthMask(GL_TRUE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_STENCIL_TEST);
    c.SyncNormal();
    return true;
}

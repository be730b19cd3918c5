// Coordinate axes with scale marks, labels, arrowheads and names, and the stroke text they use.
#include "Scene.h"
#include "StrokeFont.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// Where the marks and texts of one axis go in one layout. Offsets are multiples of DivSize
// (or of DivSpace where UseSpace is set) added to the axis point.
struct TAxisPlace {
    int MarkDir;               // 0 x, 1 y, 2 z
    std::array<int, 3> Offset; // -1, 0 or +1 per coordinate
    bool UseSpace;
    int LabelAnchor;
    std::array<double, 3> LabelTurn; // AngleX, AngleY, AngleZ
    int NameAnchor;
    std::array<double, 3> NameTurn;
};

using TLayoutTable = std::array<TAxisPlace, 3>; // x, y, z axes

const TLayoutTable& LayoutOf(TAxisLayout layout) {
    static const TLayoutTable xz = {{
        {2, {0, 0, -1}, false, 4, {90, 0, 0}, 2, {90, 0, 0}},
        {2, {0, 0, -1}, false, 4, {90, 0, 90}, 2, {90, 0, 90}},
        {0, {-1, 0, 0}, false, 8, {90, 0, 0}, 6, {90, 0, 0}},
    }};
    static const TLayoutTable xy = {{
        {1, {0, -1, 0}, false, 4, {0, 0, 0}, 2, {0, 0, 0}},
        {0, {-1, 0, 0}, false, 8, {0, 0, 0}, 6, {0, 0, 0}},
        {0, {-1, 0, 0}, false, 8, {90, 0, 0}, 6, {90, 0, 0}},
    }};
    static const TLayoutTable yz = {{
        {2, {0, 0, -1}, true, 4, {90, 0, 180}, 8, {90, 0, 180}},
        {2, {0, 0, -1}, true, 4, {90, 0, 90}, 2, {90, 0, 90}},
        {1, {0, 1, 0}, true, 2, {90, 0, 90}, 6, {90, 0, 90}},
    }};
    static const TLayoutTable zy = {{
        {1, {0, -1, 0}, false, 4, {0, 0, 0}, 2, {0, 0, 0}},
        {2, {0, 0, -1}, false, 8, {0, -90, 0}, 6, {0, -90, 0}},
        {1, {0, -1, 0}, false, 4, {0, -90, 0}, 2, {0, -90, 0}},
    }};
    switch (layout) {
    case TAxisLayout::XZ:
        return xz;
    case TAxisLayout::YZ:
        return yz;
    case TAxisLayout::ZY:
        return zy;
    default:
        return xy;
    }
}

TVector AxisPoint(int axis, double v) {
    TVector p;
    if (axis == 0)
        p.x = v;
    else if (axis == 1)
        p.y = v;
    else
        p.z = v;
    return p;
}

// Upper bound on marks per axis side, so that a tiny spacing cannot stall the frame.
constexpr int MaxMarks = 100000;

// Direction of a text's baseline after the turns of DrawText (z, then y, then x; x keeps it).
TVector Baseline(const std::array<double, 3>& turn) {
    const double rad = 3.14159265358979323846 / 180;
    double cy = std::cos(turn[1] * rad), sy = std::sin(turn[1] * rad);
    double cz = std::cos(turn[2] * rad), sz = std::sin(turn[2] * rad);
    return {cz * cy, sz * cy, -sy};
}

// Every how many major marks a label goes, so that neighbouring labels keep at least half a
// character between them: 1, 2, 5, 10, 20, ... Labels written along their axis need their
// width, labels across it their height.
int LabelEvery(const TAxisPlace& place, int axis, double majorStep, double strSize,
               size_t longest) {
    const double along = std::fabs(axis == 0   ? Baseline(place.LabelTurn).x
                                   : axis == 1 ? Baseline(place.LabelTurn).y
                                               : Baseline(place.LabelTurn).z);
    const double need =
        (along > 0.5 ? static_cast<double>(longest) + 0.5 : 1.5) * std::fabs(strSize);
    for (int m = 1; m < MaxMarks; m *= 10)
        for (int k : {1, 2, 5})
            if (k * m * majorStep >= need) return k * m;
    return MaxMarks;
}

// Text-box corners of a name in its own units, after the anchor shift (anchors as DrawText).
std::array<TVector, 4> NameBox(int anchor, size_t chars) {
    double n = static_cast<double>(chars);
    double dx = anchor >= 7 && anchor <= 9 ? -n : anchor >= 4 && anchor <= 6 ? -0.5 * n : 0;
    double dy = anchor % 3 == 1 ? -1 : anchor % 3 == 2 ? -0.5 : 0;
    if (anchor < 1 || anchor > 9) dx = dy = 0;
    return {TVector{dx, dy, 0}, {dx + n, dy, 0}, {dx, dy + 1, 0}, {dx + n, dy + 1, 0}};
}

// The largest text scale, at most strSize, at which a name drawn at tip stays inside the
// frame of the current camera. A tip outside the frame (zoomed in) keeps strSize.
double NameScaleInside(const TGLUnit& gl, const TVector& tip, const TAxisPlace& place, size_t chars,
                       double strSize) {
    const double rad = 3.14159265358979323846 / 180;
    auto turn = [&](TVector p) { // the turns of DrawText: x, then y, then z
        const auto& t = place.NameTurn;
        p = {p.x, p.y * std::cos(t[0] * rad) - p.z * std::sin(t[0] * rad),
             p.y * std::sin(t[0] * rad) + p.z * std::cos(t[0] * rad)};
        p = {p.x * std::cos(t[1] * rad) + p.z * std::sin(t[1] * rad), p.y,
             -p.x * std::sin(t[1] * rad) + p.z * std::cos(t[1] * rad)};
        return TVector{p.x * std::cos(t[2] * rad) - p.y * std::sin(t[2] * rad),
                       p.x * std::sin(t[2] * rad) + p.y * std::cos(t[2] * rad), p.z};
    };
    auto eye = [&](const TVector& p, bool shift) { // screen x, y of a world point or direction
        const TGLMatrix& r = gl.Rotation;
        TVector e{r[0] * p.x + r[4] * p.y + r[8] * p.z, r[1] * p.x + r[5] * p.y + r[9] * p.z, 0};
        if (shift) e.x += gl.Translation[12], e.y += gl.Translation[13];
        return e;
    };
    const double w = std::max(1, (int)gl.ViewWidth), h = std::max(1, (int)gl.ViewHeight);
    const double unit = 0.98 * gl.ViewUnit();
    const double halfW = h > w ? unit : unit * w / h, halfH = h > w ? unit * h / w : unit;
    TVector base = eye(tip, true);
    if (std::fabs(base.x) > halfW || std::fabs(base.y) > halfH) return strSize;
    double fit = std::fabs(strSize);
    for (const TVector& c : NameBox(place.NameAnchor, chars)) {
        TVector d = eye(turn(c), false);
        if (d.x > 0) fit = std::min(fit, (halfW - base.x) / d.x);
        if (d.x < 0) fit = std::min(fit, (-halfW - base.x) / d.x);
        if (d.y > 0) fit = std::min(fit, (halfH - base.y) / d.y);
        if (d.y < 0) fit = std::min(fit, (-halfH - base.y) / d.y);
    }
    // a name too small to read helps nobody: a quarter of its size at least
    return std::copysign(std::max(fit, 0.25 * std::fabs(strSize)), strSize);
}

} // namespace

float AxisUnitFactor(const std::string& units) {
    if (units == "mm") return 10.0f;
    if (units == "m") return 0.01f;
    if (units == "km") return 0.00001f;
    return 1.0f;
}

std::string AxisLabelText(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.5G", value);
    // %G writes a two-digit exponent; the labels use at least three digits
    std::string s = text;
    size_t e = s.find('E');
    if (e == std::string::npos) return s;
    std::string mantissa = s.substr(0, e);
    char sign = s[e + 1];
    int exponent = std::atoi(s.c_str() + e + 2);
    std::snprintf(text, sizeof text, "%sE%c%03d", mantissa.c_str(), sign, exponent);
    return text;
}

void DrawText(const std::string& text, int anchor, double scale, double x, double y, double z,
              double angleX, double angleY, double angleZ) {
    glPushMatrix();
    glTranslated(x, y, z);
    if (angleZ != 0) glRotated(angleZ, 0, 0, 1);
    if (angleY != 0) glRotated(angleY, 0, 1, 0);
    if (angleX != 0) glRotated(angleX, 1, 0, 0);
    glScaled(scale, scale, scale);
    double n = static_cast<double>(text.size());
    double dx = 0, dy = 0;
    switch (anchor) {
    case 1:
        dy = -1;
        break;
    case 2:
        dy = -0.5;
        break;
    case 4:
        dx = -0.5 * n, dy = -1;
        break;
    case 5:
        dx = -0.5 * n, dy = -0.5;
        break;
    case 6:
        dx = -0.5 * n;
        break;
    case 7:
        dx = -n, dy = -1;
        break;
    case 8:
        dx = -n, dy = -0.5;
        break;
    case 9:
        dx = -n;
        break;
    default:
        break;
    }
    glTranslated(dx, dy, 0);
    for (size_t k = 0; k < text.size(); ++k) {
        int code = static_cast<unsigned char>(text[k]) - StrokeFirstCode;
        if (code < 0 || code >= StrokeGlyphCount) continue; // no glyph for this byte
        const TStrokeGlyph& g = StrokeGlyphs[static_cast<size_t>(code)];
        for (const auto& strip : g.Strips) {
            if (strip[0] > strip[1]) continue;
            glBegin(GL_LINE_STRIP);
            for (int i = strip[0]; i <= strip[1]; ++i)
                glVertex3d(static_cast<double>(k) + StrokePoints[i].X, StrokePoints[i].Y, 0.0);
            glEnd();
        }
    }
    glPopMatrix();
}

void DrawAxes(TGLUnit& gl, const TDisplaySettings& ds, TAxisLayout layout) {
    gl.SetColor(TGLUnit::ColorToRGBA(ds.ForeColor, 1.0));
    glDisable(GL_LIGHTING);
    const double len = ds.AxisLength;
    for (int a = 0; a < 3; ++a) gl.DrawLine(AxisPoint(a, len), AxisPoint(a, -len));

    if (layout != TAxisLayout::None) {
        const TLayoutTable& table = LayoutOf(layout);
        const double d = ds.DivSize, space = ds.DivSpace;
        const float u = AxisUnitFactor(ds.Units);
        // A spacing of 0 or less (or NaN) would never end the loop: no marks then.
        if (space > 0) {
            size_t longest = 0;
            if (ds.StrSpace > 0)
                for (int i = ds.StrSpace; i <= MaxMarks && i * space <= len; i += ds.StrSpace)
                    longest = std::max(longest, AxisLabelText(-i * space * u).size());
            std::array<int, 3> every{};
            for (int a = 0; a < 3; ++a)
                every[static_cast<size_t>(a)] =
                    ds.StrSpace > 0
                        ? ds.StrSpace * LabelEvery(table[static_cast<size_t>(a)], a,
                                                   ds.StrSpace * space, ds.StrSize, longest)
                        : 0;
            for (int i = 1; i <= MaxMarks; ++i) {
                double v = i * space;
                if (!(v <= len)) break;
                // a StrSpace of 0 or less labels no mark
                bool major = ds.StrSpace > 0 && i % ds.StrSpace == 0;
                for (int a = 0; a < 3; ++a) {
                    const TAxisPlace& pl = table[static_cast<size_t>(a)];
                    TVector dir = AxisPoint(pl.MarkDir, major ? d : d / 2);
                    double off = pl.UseSpace ? space : d;
                    TVector shift{pl.Offset[0] * off, pl.Offset[1] * off, pl.Offset[2] * off};
                    for (double sv : {v, -v}) {
                        TVector p = AxisPoint(a, sv);
                        gl.DrawLine(p - dir, p + dir);
                        if (!major || i % every[static_cast<size_t>(a)] != 0) continue;
                        TVector q = p + shift;
                        DrawText(AxisLabelText(sv * u), pl.LabelAnchor, ds.StrSize, q.x, q.y, q.z,
                                 pl.LabelTurn[0], pl.LabelTurn[1], pl.LabelTurn[2]);
                    }
                }
            }
        }
        const double base = len - 0.2 * ds.AllowSize, tip = len + ds.AllowSize;
        for (int a = 0; a < 3; ++a) {
            TVector side = AxisPoint(table[static_cast<size_t>(a)].MarkDir, ds.AllowSize / 2);
            TVector b = AxisPoint(a, base), t = AxisPoint(a, tip);
            gl.DrawLine(b + side, t);
            gl.DrawLine(b - side, t);
            gl.DrawLine(AxisPoint(a, len), t);
        }
        static const char* const names[3] = {"X[", "Y[", "Z["};
        for (int a = 0; a < 3; ++a) {
            const TAxisPlace& pl = table[static_cast<size_t>(a)];
            TVector t = AxisPoint(a, tip);
            std::string name = names[a] + ds.Units + "]";
            // smaller rather than cut off at the frame's edge
            double scale = NameScaleInside(gl, t, pl, name.size(), ds.StrSize);
            DrawText(name, pl.NameAnchor, scale, t.x, t.y, t.z, pl.NameTurn[0], pl.NameTurn[1],
                     pl.NameTurn[2]);
        }
    }
    glEnable(GL_LIGHTING);
}

// Coordinate axes with scale marks, labels, arrowheads and names, and the stroke text they use.
#include "Scene.h"
#include "StrokeFont.h"

#include <GL/gl.h>

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
                        if (!major) continue;
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
            DrawText(names[a] + ds.Units + "]", pl.NameAnchor, ds.StrSize, t.x, t.y, t.z,
                     pl.NameTurn[0], pl.NameTurn[1], pl.NameTurn[2]);
        }
    }
    glEnable(GL_LIGHTING);
}

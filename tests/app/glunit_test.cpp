#include "render/MyGLUnit.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <dirent.h>
#include <numbers>

namespace {

constexpr double Pi = std::numbers::pi;

// e = M v for the rotation part of a column-major matrix.
TVector Apply(const TGLMatrix& m, const TVector& v) {
    return {m[0] * v.x + m[4] * v.y + m[8] * v.z, m[1] * v.x + m[5] * v.y + m[9] * v.z,
            m[2] * v.x + m[6] * v.y + m[10] * v.z};
}

void ExpectVec(const TVector& a, const TVector& b, const char* what) {
    EXPECT_NEAR(a.x, b.x, 1e-12) << what;
    EXPECT_NEAR(a.y, b.y, 1e-12) << what;
    EXPECT_NEAR(a.z, b.z, 1e-12) << what;
}

void ExpectMatrix(const TGLMatrix& a, const TGLMatrix& b) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], 1e-12) << "element " << i;
}

int OpenFds() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}

class GLUnitTest : public ::testing::Test {
  protected:
    TOffscreenControl Surface{64, 48};
    TGLUnit GL{&Surface, 1000.0};
};

} // namespace

TEST_F(GLUnitTest, CreationState) {
    EXPECT_EQ(GL.Size, 1000.0);
    EXPECT_EQ(GL.Projection, 0);
    EXPECT_EQ(GL.ViewMode, 0);
    EXPECT_EQ(GL.DrawMode, 0);
    EXPECT_EQ(GL.ViewWidth, 64);
    EXPECT_EQ(GL.ViewHeight, 48);
    ExpectMatrix(GL.Translation, TGLUnit::IdentityMatrix());
    ExpectMatrix(GL.Rotation, TGLUnit::IdentityMatrix());
    EXPECT_EQ(GL.VisualAttribs, (std::array<int32_t, 11>{4, 8, 1, 9, 1, 10, 1, 13, 1, 5, 0}));
    EXPECT_EQ(GL.WindowVisualAttribs, (std::array<int32_t, 11>{4, 8, 1, 9, 1, 10, 1, 13, 0, 5, 0}));
    EXPECT_EQ(GL.SphSlices, 30);
    EXPECT_EQ(GL.RccStacks, 1);
    EXPECT_TRUE(GL.Ready()) << "no direct GLX context on this display";
}

TEST_F(GLUnitTest, SetViewModesGiveTheirScreenAxes) {
    struct Case {
        int Mode;
        TVector Right, Up; // world axes that end up screen right and screen up
    } cases[] = {{0, {1, 0, 0}, {0, 1, 0}}, {1, {1, 0, 0}, {0, 0, 1}}, {2, {0, 1, 0}, {1, 0, 0}},
                 {3, {0, 1, 0}, {0, 0, 1}}, {4, {0, 0, 1}, {1, 0, 0}}, {5, {0, 0, 1}, {0, 1, 0}}};
    for (const auto& c : cases) {
        GL.Translate(5, 6, 7);
        GL.RotateX(0.3);
        GL.SetView(c.Mode);
        EXPECT_EQ(GL.ViewMode, c.Mode);
        ExpectMatrix(GL.Translation, TGLUnit::IdentityMatrix());
        ExpectVec(Apply(GL.Rotation, c.Right), {1, 0, 0}, "right");
        ExpectVec(Apply(GL.Rotation, c.Up), {0, 1, 0}, "up");
    }
    // A negative mode keeps the orientation and discards rotation and translation.
    GL.SetView(3);
    TGLMatrix r3 = GL.Rotation;
    GL.Projection = 1;
    GL.RotateY(1.0);
    GL.Translate(1, 2, 3);
    GL.SetView(-1);
    EXPECT_EQ(GL.ViewMode, 3);
    ExpectMatrix(GL.Rotation, r3);
    ExpectMatrix(GL.Translation, TGLUnit::IdentityMatrix());
}

TEST_F(GLUnitTest, RotationsTurnAboutFixedScreenAxes) {
    // After a quarter turn about x, a turn about y still turns about the screen's y axis.
    GL.RotateX(Pi / 2);
    GL.RotateY(Pi / 2);
    // world z: x-turn sends it to -y (screen down); y-turn keeps screen y.
    ExpectVec(Apply(GL.Rotation, {0, 0, 1}), {0, -1, 0}, "z");
    // world x: unchanged by x-turn, then y-turn sends screen x to -z.
    ExpectVec(Apply(GL.Rotation, {1, 0, 0}), {0, 0, -1}, "x");
    // Composition is E x M: the same as composing explicitly.
    TGLMatrix e{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 3, 4, 5, 1};
    TGLMatrix m = GL.Rotation;
    TGLMatrix r = TGLUnit::Compose(e, m);
    EXPECT_NEAR(r[12], 3, 1e-12);
    EXPECT_NEAR(r[0], m[0], 1e-12);
    // Translations add up in eye axes.
    GL.Translate(1, 2, 3);
    GL.Translate(-4, 0.5, 1);
    EXPECT_NEAR(GL.Translation[12], -3, 1e-12);
    EXPECT_NEAR(GL.Translation[13], 2.5, 1e-12);
    EXPECT_NEAR(GL.Translation[14], 4, 1e-12);
}

TEST(GLUnitMath, ProjectionBounds) {
    // taller than wide: full width 2s, extended vertically
    auto tall = TGLUnit::OrthoBounds(100, 200, 400, 0);
    EXPECT_DOUBLE_EQ(tall[0], -150);
    EXPECT_DOUBLE_EQ(tall[1], 150);
    EXPECT_DOUBLE_EQ(tall[2], -300);
    EXPECT_DOUBLE_EQ(tall[3], 300);
    auto wide = TGLUnit::OrthoBounds(100, 400, 200, 0);
    EXPECT_DOUBLE_EQ(wide[0], -300);
    EXPECT_DOUBLE_EQ(wide[3], 150);
    // depth: the scene's reach (with a margin) about the camera's depth, whatever the zoom
    for (double size : {1.0, 100.0, 1e4}) {
        auto b = TGLUnit::OrthoBounds(size, 400, 200, 50, 2);
        EXPECT_NEAR(b[4], -52.5 - 2, 1e-12);
        EXPECT_NEAR(b[5], 52.5 - 2, 1e-12);
        // a 24-bit depth buffer then resolves far less than the 0.005 growth of subtracted
        // bodies for a scene of reach 1000
        EXPECT_LT((TGLUnit::OrthoBounds(size, 400, 200, 1000)[5] * 2) / (1 << 24), 0.0005);
    }
    // frustum: 40 degree field of view, far plane at 8 Size
    TGLMatrix f = TGLUnit::FrustumMatrix(10, 200, 100);
    double n = 0.1, far = 80, t = n * 0.364, r = t * 2;
    EXPECT_DOUBLE_EQ(f[0], 2 * n / (2 * r));
    EXPECT_DOUBLE_EQ(f[5], 2 * n / (2 * t));
    EXPECT_DOUBLE_EQ(f[10], -(far + n) / (far - n));
    EXPECT_DOUBLE_EQ(f[11], -1);
    EXPECT_DOUBLE_EQ(f[14], -2 * far * n / (far - n));
    EXPECT_DOUBLE_EQ(f[15], 0);
}

// Two surfaces a thousandth of the scene size apart near the origin must land on different
// steps of a 24-bit depth buffer, or the stencil passes of the zone display break up.
TEST_F(GLUnitTest, PerspectiveDepthResolvesTheScene) {
    for (double size : {0.5, 42.0, 1e4}) {
        TGLMatrix f = TGLUnit::FrustumMatrix(size, 200, 100);
        auto depth = [&](double eyeDist) { // window depth in [0, 1] of a point on the axis
            double zc = f[10] * -eyeDist + f[14], wc = eyeDist;
            return (zc / wc + 1) / 2;
        };
        double step = depth(4 * size + 0.001 * size) - depth(4 * size);
        EXPECT_GT(step, 4.0 / (1 << 24)) << "size " << size;
    }
}

TEST_F(GLUnitTest, MouseDragRules) {
    // left drag of 100 pixels to the right: 0.9 radian about the vertical screen axis
    GL.MouseDown(TMouseButton::Left, 10, 10);
    EXPECT_EQ(GL.Rotating, 1);
    GL.MouseMove(110, 10);
    TGLUnit ref(&Surface, 1000.0);
    ref.RotateX(0);
    ref.RotateY(0.9);
    ExpectMatrix(GL.Rotation, ref.Rotation);
    // right added while left is held: pan
    GL.MouseDown(TMouseButton::Right, 110, 10);
    EXPECT_EQ(GL.Rotating, 0);
    EXPECT_EQ(GL.Translating, 1);
    GL.MouseMove(120, 10);
    EXPECT_NEAR(GL.Translation[12], 2 * 1500.0 * 10 / 48, 1e-9);
    GL.MouseUp();
    EXPECT_EQ(GL.Rotating + GL.Translating + GL.Scaling, 0);
    // left added while right is held: pan; middle alone: pan
    GL.MouseDown(TMouseButton::Right, 0, 0);
    GL.MouseDown(TMouseButton::Left, 0, 0);
    EXPECT_EQ(GL.Scaling, 0);
    EXPECT_EQ(GL.Translating, 1);
    GL.MouseUp();
    GL.MouseDown(TMouseButton::Middle, 0, 0);
    EXPECT_EQ(GL.Translating, 1);
    GL.MouseMove(0, -24); // up half the height in perspective: the pan unit changes
    GL.MouseUp();
    // right drag: scale; a step that would make Size zero or negative is ignored
    GL.MouseDown(TMouseButton::Right, 0, 0);
    GL.MouseMove(0, 10);
    EXPECT_NEAR(GL.Size, 1000 * (1 - 0.066), 1e-9);
    double before = GL.Size;
    GL.MouseMove(0, 10 + 200);
    EXPECT_EQ(GL.Size, before);
    EXPECT_EQ(GL.LastY, 210);
    GL.MouseUp();
    // no button: only the last position changes
    TGLMatrix r = GL.Rotation, t = GL.Translation;
    GL.MouseMove(33, 44);
    EXPECT_EQ(GL.LastX, 33);
    ExpectMatrix(GL.Rotation, r);
    ExpectMatrix(GL.Translation, t);
}

TEST_F(GLUnitTest, FrameHasBackgroundColour) {
    ASSERT_TRUE(GL.Ready());
    GL.BeginFrame(0xFF0000); // blue in the highest byte
    GL.Present();
    std::vector<uint8_t> rgb = GL.FrameRGB();
    ASSERT_EQ(rgb.size(), 64u * 48u * 3u);
    for (size_t i = 0; i < rgb.size(); i += 3) {
        ASSERT_EQ(rgb[i], 0);
        ASSERT_EQ(rgb[i + 1], 0);
        ASSERT_EQ(rgb[i + 2], 255);
    }
    // Present again without a frame shows the same image
    GL.Present();
    EXPECT_EQ(GL.FrameRGB(), rgb);
    // a line drawn over the background appears in the read-back frame (top row first)
    GL.Projection = 0;
    GL.BeginFrame(0x000000);
    GL.SetColor(TGLUnit::ColorToRGBA(0x0000FF, 1.0));
    GL.DrawLine({-3000, 0, 0}, {3000, 0, 0}); // horizontal through the middle
    GL.Present();
    rgb = GL.FrameRGB();
    int redRows = 0;
    for (int y = 0; y < 48; ++y)
        if (rgb[(y * 64 + 32) * 3] == 255) ++redRows;
    EXPECT_GE(redRows, 1);
    EXPECT_LE(redRows, 2);
    // the zoom rectangle outline in client pixels, origin top left, over the last frame,
    // which itself stays as it was
    std::vector<uint8_t> frame = GL.FrameRGB();
    GL.PresentWithRect(20, 15, 10, 5, 0xFFFFFF);
    std::vector<uint8_t> shown = GL.PackedRGB(GL.ShownBuffer());
    EXPECT_EQ(GL.FrameRGB(), frame);
    ASSERT_EQ(shown.size(), frame.size());
    EXPECT_EQ(shown[(5 * 64 + 15) * 3 + 1], 255);
    EXPECT_EQ(shown[(15 * 64 + 10) * 3 + 1], 255);
    EXPECT_EQ(shown[(10 * 64 + 15) * 3 + 1], 0);
    int shownRed = 0; // the red line under it
    for (int y = 0; y < 48; ++y) shownRed += shown[(y * 64 + 32) * 3] == 255;
    EXPECT_EQ(shownRed, redRows);
    // a new frame shows without the rectangle
    GL.Present();
    EXPECT_EQ(GL.PackedRGB(GL.ShownBuffer()), frame);
}

TEST_F(GLUnitTest, PerspectiveFrameCutsFarScene) {
    GL.Projection = 1;
    GL.Size = 10;
    auto centreAfter = [&](double z) {
        GL.BeginFrame(0x000000);
        GL.SetColor(TGLUnit::ColorToRGBA(0xFFFFFF, 1.0));
        glPointSize(5);
        GL.DrawPoint({0, 0, z});
        GL.Present();
        std::vector<uint8_t> rgb = GL.FrameRGB();
        return rgb[(24 * 64 + 32) * 3];
    };
    // the eye stands 4 Size in front of the origin: just before it is seen, behind it not
    EXPECT_EQ(centreAfter(39), 255);
    EXPECT_EQ(centreAfter(41), 0);
    EXPECT_EQ(centreAfter(-20), 255);
    // far beyond 8 Size from the eye it is cut (the tiny near plane blurs the exact depth)
    EXPECT_EQ(centreAfter(-100), 0);
}

TEST_F(GLUnitTest, ResizeFollowsClientAndLeaksNothing) {
    ASSERT_TRUE(GL.Ready());
    GL.BeginFrame(0);
    GL.Present();
    int fds = OpenFds();
    for (int i = 0; i < 40; ++i) {
        Surface.Width = 50 + (i % 7) * 13 + 1; // odd widths need padded rows
        Surface.Height = 30 + (i % 5) * 11;
        GL.BeginFrame(0x00FF00);
        GL.Present();
        ASSERT_EQ(GL.ViewWidth, Surface.Width);
        ASSERT_EQ(GL.ViewHeight, Surface.Height);
        ASSERT_EQ(GL.RowStride() % 4, 0);
        ASSERT_GE(GL.RowStride(), Surface.Width * 3);
        ASSERT_EQ(GL.FrameBuffer().size(), (size_t)GL.RowStride() * Surface.Height);
        std::vector<uint8_t> rgb = GL.FrameRGB();
        ASSERT_EQ(rgb.size(), (size_t)Surface.Width * Surface.Height * 3);
        size_t last = rgb.size() - 3; // bottom right pixel
        ASSERT_EQ(rgb[last + 1], 255) << "size " << Surface.Width << "x" << Surface.Height;
    }
    EXPECT_EQ(OpenFds(), fds);
    // camera untouched by resizes
    EXPECT_EQ(GL.Size, 1000.0);
}

TEST(GLUnitMath, ColoursAndPatterns) {
    TRGBA c = TGLUnit::ColorToRGBA(0x336699, 0.3);
    EXPECT_FLOAT_EQ(c[0], 0x99 / 255.0f);
    EXPECT_FLOAT_EQ(c[1], 0x66 / 255.0f);
    EXPECT_FLOAT_EQ(c[2], 0x33 / 255.0f);
    EXPECT_FLOAT_EQ(c[3], 0.3f);
    EXPECT_EQ(TGLUnit::LinePattern(0), 0xFFFF);
    EXPECT_EQ(TGLUnit::LinePattern(1), 0x5555);
    EXPECT_EQ(TGLUnit::LinePattern(2), 0xFFFA);
    EXPECT_EQ(TGLUnit::LinePattern(3), 0xFF15);
    EXPECT_EQ(TGLUnit::PaletteColor(0), BasicPalette[2]);
}

namespace {
// A window id no X server hands out: every surface on it fails.
class TBogusWindow : public TGLControl {
  public:
    int W = 40, H = 30;
    int ClientWidth() const override { return W; }
    int ClientHeight() const override { return H; }
    unsigned long NativeWindow() const override { return 0x1fffffffUL; }
};
} // namespace

TEST(GLUnitFailure, NoSurfaceSaysSoOnceAndDrawsNothing) {
    std::vector<std::string> messages;
    SetMessageHook([&](const std::string& t) { messages.push_back(t); });
    {
        TBogusWindow window;
        TGLUnit gl(&window, 10);
        EXPECT_FALSE(gl.Ready());
        for (int i = 0; i < 3; ++i) {
            window.W += 7; // resizes retry the surface, without further messages
            gl.BeginFrame(0xFFFFFF);
            gl.DrawLine({0, 0, 0}, {1, 1, 1});
            gl.Present();
        }
        EXPECT_FALSE(gl.Ready());
    }
    SetMessageHook(nullptr);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("nothing will be drawn"), std::string::npos) << messages[0];
}

namespace {
// Window pixel (origin top left) of a world point under the current GL matrices.
std::array<double, 2> Project(const TVector& p, int w, int h) {
    double mv[16], pr[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    glGetDoublev(GL_PROJECTION_MATRIX, pr);
    double e[4], c[4], v[4] = {p.x, p.y, p.z, 1};
    for (int r = 0; r < 4; ++r)
        e[r] = mv[r] * v[0] + mv[4 + r] * v[1] + mv[8 + r] * v[2] + mv[12 + r];
    for (int r = 0; r < 4; ++r)
        c[r] = pr[r] * e[0] + pr[4 + r] * e[1] + pr[8 + r] * e[2] + pr[12 + r] * e[3];
    return {(c[0] / c[3] + 1) * w / 2, (1 - c[1] / c[3]) * h / 2};
}
} // namespace

// The points of the plane z = 0 (the origin's depth) under the dragged rectangle's corners
// land on the window's corners after the zoom, in both projections.
TEST(GLUnitZoom, RectangleFillsTheWindow) {
    const int w = 200, h = 100;
    TOffscreenControl surface{w, h};
    TGLUnit gl{&surface, 10.0};
    if (!gl.Ready()) GTEST_SKIP() << "no X display with GLX";
    for (int projection : {0, 1}) {
        SCOPED_TRACE(projection);
        gl.Projection = projection;
        gl.Size = 10;
        gl.SetView(0);
        gl.Translate(1.5, -0.5, 0);
        gl.BeginFrame(0);
        // the world point under a pixel: the projection is linear on the plane z = 0
        auto o = Project({0, 0, 0}, w, h), ex = Project({1, 0, 0}, w, h),
             ey = Project({0, 1, 0}, w, h);
        auto under = [&](double px, double py) {
            return TVector{(px - o[0]) / (ex[0] - o[0]), (py - o[1]) / (ey[1] - o[1]), 0};
        };
        const int x0 = 120, y0 = 30, x1 = 160, y1 = 50; // the window's shape
        TVector a = under(x0, y0), b = under(x1, y1);
        gl.ZoomToRect(x1, y1, x0, y0);
        gl.BeginFrame(0);
        auto pa = Project(a, w, h), pb = Project(b, w, h);
        EXPECT_NEAR(pa[0], 0, 2);
        EXPECT_NEAR(pa[1], 0, 2);
        EXPECT_NEAR(pb[0], w, 2);
        EXPECT_NEAR(pb[1], h, 2);
    }
}

// A scale of 0 (a scene without extent) still frames a picture and can be zoomed out of.
TEST_F(GLUnitTest, ZeroSizeFallsBackToAPositiveScale) {
    GL.Size = 0;
    GL.BeginFrame(0x000000);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    GL.MouseDown(TMouseButton::Right, 10, 10);
    GL.MouseMove(10, 30);
    GL.MouseUp();
    EXPECT_GT(GL.Size, 0);
}

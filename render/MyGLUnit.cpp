#include "MyGLUnit.h"

#include "GLDraw.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <unistd.h>

namespace {

// X errors of our own connection must not end the program (Xlib's default handler exits):
// they are trapped around the calls that can fail and turned into a result.
int TrappedError = 0;
int TrapHandler(Display*, XErrorEvent* e) {
    TrappedError = e->error_code;
    return 0;
}
struct TErrorTrap {
    Display* Dpy;
    int (*Old)(Display*, XErrorEvent*);
    explicit TErrorTrap(Display* d) : Dpy(d) {
        XSync(Dpy, False);
        TrappedError = 0;
        Old = XSetErrorHandler(TrapHandler);
    }
    int Finish() {
        XSync(Dpy, False);
        XSetErrorHandler(Old);
        Old = nullptr;
        return TrappedError;
    }
    ~TErrorTrap() {
        if (Old) Finish();
    }
};

XVisualInfo* VI(void* p) {
    return static_cast<XVisualInfo*>(p);
}

// Of the current context.
bool HasDepthClamp() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    int major = 0, minor = 0;
    if (version && std::sscanf(version, "%d.%d", &major, &minor) == 2 &&
        (major > 3 || (major == 3 && minor >= 2)))
        return true;
    const char* ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    return ext && (std::strstr(ext, "GL_ARB_depth_clamp") || std::strstr(ext, "GL_NV_depth_clamp"));
}

// What a scene of no extent (a lone half-space through the origin, a point) is framed with.
constexpr double StandInSize = 1000.0;

} // namespace

TGLUnit::TGLUnit(TGLControl* control, double size)
    : Control(control), VisualAttribs{GLX_RGBA, GLX_RED_SIZE,     1,   GLX_GREEN_SIZE,
                                      1,        GLX_BLUE_SIZE,    1,   GLX_STENCIL_SIZE,
                                      1,        GLX_DOUBLEBUFFER, None},
      WindowVisualAttribs{GLX_RGBA, GLX_RED_SIZE,     1, GLX_GREEN_SIZE,   1,   GLX_BLUE_SIZE,
                          1,        GLX_STENCIL_SIZE, 0, GLX_DOUBLEBUFFER, None},
      Translation(IdentityMatrix()), Rotation(IdentityMatrix()), Size(size) {
    ViewWidth = Control ? Control->ClientWidth() : 0;
    ViewHeight = Control ? Control->ClientHeight() : 0;
    InitContext();
}

TGLUnit::~TGLUnit() {
    ReleaseContext();
}

TMeshLists& TGLUnit::Lists() {
    if (!MeshLists) MeshLists = std::make_unique<TMeshLists>();
    return *MeshLists;
}

void TGLUnit::Fail(const std::string& text) {
    Valid = false;
    if (!Reported) {
        Reported = true;
        ShowEngineMessage(text);
    }
}

void TGLUnit::InitContext() {
    WindowDrawable = Control ? Control->NativeWindow() : 0;
    if (!Dpy) {
        // A busy server may refuse a connection for a moment: a few tries before giving up.
        for (int attempt = 0; attempt < 5 && !Dpy; ++attempt) {
            if (attempt) usleep(20000);
            Dpy = XOpenDisplay(nullptr);
        }
        if (!Dpy) {
            Fail("Cannot open the X display for OpenGL drawing.");
            return;
        }
    }
    Display* dpy = Dpy;
    int screen = XDefaultScreen(dpy);
    if (!OffVisual) OffVisual = glXChooseVisual(dpy, screen, VisualAttribs.data());
    if (!WinVisual && WindowDrawable)
        WinVisual = glXChooseVisual(dpy, screen, WindowVisualAttribs.data());
    if (!OffVisual || (WindowDrawable && !WinVisual)) {
        Fail("No OpenGL visual with a stencil buffer is available on this display; "
             "nothing will be drawn.");
        return;
    }
    // Direct rendering: current X servers refuse indirect contexts.
    if (!OffContext) OffContext = glXCreateContext(dpy, VI(OffVisual), nullptr, True);
    if (!WinContext && WindowDrawable)
        WinContext = glXCreateContext(dpy, VI(WinVisual), nullptr, True);
    if (!OffContext || (WindowDrawable && !WinContext)) {
        Fail("Cannot create an OpenGL context; nothing will be drawn.");
        return;
    }
    CreateSurface();
}

void TGLUnit::CreateSurface() {
    Display* dpy = Dpy;
    Valid = false;
    int w = std::max(1, (int)ViewWidth), h = std::max(1, (int)ViewHeight);
    Drawable parent =
        WindowDrawable ? (Drawable)WindowDrawable : RootWindow(dpy, DefaultScreen(dpy));
    TErrorTrap trap(dpy);
    XPixmapId = XCreatePixmap(dpy, parent, w, h, VI(OffVisual)->depth);
    GLXPixmapId = glXCreateGLXPixmap(dpy, VI(OffVisual), XPixmapId);
    if (trap.Finish() != 0) {
        ReleaseSurface();
        Fail("Cannot create the off-screen drawing surface; nothing will be drawn.");
        return;
    }
    // The window side is tried once per surface: a window whose visual does not suit the
    // window context cannot take the picture through GL.
    WindowUsable = false;
    if (WindowDrawable) {
        TErrorTrap wtrap(dpy);
        bool ok = glXMakeCurrent(dpy, WindowDrawable, WinContext);
        WindowUsable = ok && wtrap.Finish() == 0;
    }
    TErrorTrap ctrap(dpy);
    bool ok = glXMakeCurrent(dpy, GLXPixmapId, OffContext);
    // Only the result counts here: the driver's own shared-memory probing may raise and
    // handle X errors of its own while making the context current.
    ctrap.Finish();
    if (!ok) {
        Fail("glXMakeCurrent on = FALSE");
        return;
    }
    Valid = true;
    Buffer.assign((size_t)RowStride() * (size_t)std::max(0, (int)ViewHeight), 0);
    DepthClamp = HasDepthClamp();
}

void TGLUnit::ReleaseSurface() {
    if (!Dpy) return;
    // A surface that failed half-way may hold ids the server never accepted.
    TErrorTrap trap(Dpy);
    glXMakeCurrent(Dpy, None, nullptr);
    if (GLXPixmapId) glXDestroyGLXPixmap(Dpy, GLXPixmapId);
    if (XPixmapId) XFreePixmap(Dpy, XPixmapId);
    GLXPixmapId = 0;
    XPixmapId = 0;
    Valid = false;
    trap.Finish();
}

void TGLUnit::ReleaseContext() {
    MeshLists.reset(); // its lists go with the context
    if (!Dpy) return;
    ReleaseSurface();
    if (OffContext) glXDestroyContext(Dpy, OffContext);
    if (WinContext) glXDestroyContext(Dpy, WinContext);
    OffContext = WinContext = nullptr;
    if (OffVisual) XFree(OffVisual);
    if (WinVisual) XFree(WinVisual);
    OffVisual = WinVisual = nullptr;
    XCloseDisplay(Dpy);
    Dpy = nullptr;
    Buffer.clear();
}

void TGLUnit::ApplyProjection() {
    if (Control && (Control->ClientWidth() != ViewWidth || Control->ClientHeight() != ViewHeight)) {
        ViewWidth = Control->ClientWidth();
        ViewHeight = Control->ClientHeight();
        // The display connection, visuals and contexts stay; only the surface follows the
        // new size, so repeated resizes do not pile up X or GLX resources.
        if (Dpy && OffContext) {
            ReleaseSurface();
            CreateSurface();
        } else {
            ReleaseContext();
            InitContext();
        }
    }
    if (!Valid) return;
    int w = std::max(1, (int)ViewWidth), h = std::max(1, (int)ViewHeight);
    glViewport(0, 0, ViewWidth, ViewHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double size = FramedSize();
    if (Projection == 0) {
        auto b = OrthoBounds(size, w, h, DepthReach, Translation[14]);
        if (UseWindow) std::copy(Window.begin(), Window.end(), b.begin());
        glOrtho(b[0], b[1], b[2], b[3], b[4], b[5]);
        // Tracks, axes and labels beyond the meshes' reach are drawn without depth test:
        // clamped instead of clipped they stay in the picture.
        if (DepthClamp) glEnable(GL_DEPTH_CLAMP);
    } else {
        if (DepthClamp) glDisable(GL_DEPTH_CLAMP);
        TGLMatrix f = FrustumMatrix(size, w, h);
        glMultMatrixd(f.data());
        glTranslated(0, 0, -4 * size);
    }
    glMatrixMode(GL_MODELVIEW);
}

double TGLUnit::FramedSize() const {
    return Size > 0 && std::isfinite(Size) ? Size : StandInSize;
}

// The depth range is cut to the scene's own depth: a 24-bit depth buffer over the whole range
// has steps of 2 reach / 2^24, which must stay well below the 0.005 by which subtracted bodies
// are enlarged, or the stencil passes fail in patches. The view's scale (size) plays no part,
// so zooming in never clips the scene.
std::array<double, 6> TGLUnit::OrthoBounds(double size, int w, int h, double depthReach,
                                           double eyeZ) {
    double s = size * 1.5;
    double reach = depthReach > 0 && std::isfinite(depthReach) ? depthReach * 1.05 : 3 * s;
    double nearZ = -(eyeZ + reach), farZ = reach - eyeZ;
    if (h > w) return {-s, s, -s * h / w, s * h / w, nearZ, farZ};
    return {-s * w / h, s * w / h, -s, s, nearZ, farZ};
}

// The near plane sits at a hundredth of the scene size rather than at 1e-5: with the eye
// 4 Size from the origin a near plane of 1e-5 leaves a 24-bit depth buffer steps of about
// Size^2 / 10, so depth and stencil tests fail all over the picture. The field of view
// is unchanged because the frustum's top scales with the near distance.
TGLMatrix TGLUnit::FrustumMatrix(double size, int w, int h) {
    double n = size > 0 ? 0.01 * size : 1e-5, f = 8 * size;
    double t = n * 0.364, b = -t;
    double r = t * w / h, l = -r;
    return {2 * n / (r - l),
            0,
            0,
            0,
            0,
            2 * n / (t - b),
            0,
            0,
            (r + l) / (r - l),
            (t + b) / (t - b),
            -(f + n) / (f - n),
            -1,
            0,
            0,
            -2 * f * n / (f - n),
            0};
}

void TGLUnit::BeginFrame(TColor clearColour) {
    ApplyProjection();
    if (!Valid) return;
    TRGBA c = ColorToRGBA(clearColour, 1.0);
    glClearColor(c[0], c[1], c[2], 1.0f);
    glClearDepth(1.0);
    glClearStencil(255);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glLoadIdentity();
    glMultMatrixd(Translation.data());
    glMultMatrixd(Rotation.data());
    SetSceneLight();
    // Triangles take the current normal: the one left by the previous frame must not count.
    glNormal3d(0, 0, 1);
}

void TGLUnit::Present() {
    if (!Valid) return;
    glFlush();
    glXSwapBuffers(Dpy, GLXPixmapId);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    size_t need = (size_t)RowStride() * (size_t)ViewHeight;
    if (Buffer.size() != need) Buffer.assign(need, 0);
    if (ViewWidth > 0 && ViewHeight > 0)
        glReadPixels(0, 0, ViewWidth, ViewHeight, GL_RGB, GL_UNSIGNED_BYTE, Buffer.data());
    Shown.clear();
    ShowOnWindow(Buffer);
}

void TGLUnit::ShowOnWindow(const std::vector<uint8_t>& frame) {
    if (!WindowDrawable || ViewWidth <= 0 || ViewHeight <= 0) return;
    if (!WindowUsable) {
        PutImageToWindow(frame);
        return;
    }
    glXMakeCurrent(Dpy, WindowDrawable, WinContext);
    glViewport(0, 0, ViewWidth, ViewHeight);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glRasterPos2i(-1, -1);
    glDrawPixels(ViewWidth, ViewHeight, GL_RGB, GL_UNSIGNED_BYTE, frame.data());
    glXSwapBuffers(Dpy, WindowDrawable);
    glXMakeCurrent(Dpy, GLXPixmapId, OffContext);
}

// Copy without GL for windows whose visual the window context cannot draw on: the frame
// goes through Xlib as a 32-bit true-colour image.
void TGLUnit::PutImageToWindow(const std::vector<uint8_t>& frame) {
    XWindowAttributes wa;
    if (!XGetWindowAttributes(Dpy, WindowDrawable, &wa) || wa.depth < 24 || !wa.visual ||
        wa.visual->c_class != TrueColor)
        return;
    auto shift = [](unsigned long mask) {
        int n = 0;
        while (mask && !(mask & 1)) mask >>= 1, ++n;
        return n;
    };
    int rs = shift(wa.visual->red_mask), gs = shift(wa.visual->green_mask),
        bs = shift(wa.visual->blue_mask);
    std::vector<uint8_t> rgb = PackedRGB(frame);
    char* data = static_cast<char*>(std::malloc((size_t)ViewWidth * ViewHeight * 4));
    if (!data) return;
    auto* px = reinterpret_cast<uint32_t*>(data);
    for (size_t i = 0, n = (size_t)ViewWidth * ViewHeight; i < n; ++i)
        px[i] = ((uint32_t)rgb[i * 3] << rs) | ((uint32_t)rgb[i * 3 + 1] << gs) |
                ((uint32_t)rgb[i * 3 + 2] << bs);
    XImage* img =
        XCreateImage(Dpy, wa.visual, wa.depth, ZPixmap, 0, data, ViewWidth, ViewHeight, 32, 0);
    if (!img) {
        std::free(data);
        return;
    }
    GC gc = XCreateGC(Dpy, WindowDrawable, 0, nullptr);
    XPutImage(Dpy, WindowDrawable, gc, img, 0, 0, 0, 0, ViewWidth, ViewHeight);
    XFreeGC(Dpy, gc);
    XDestroyImage(img); // frees data
    XFlush(Dpy);
}

std::vector<uint8_t> TGLUnit::FrameRGB() const {
    return PackedRGB(Buffer);
}

std::vector<uint8_t> TGLUnit::PackedRGB(const std::vector<uint8_t>& frame) const {
    std::vector<uint8_t> out;
    if (ViewWidth <= 0 || ViewHeight <= 0 || frame.size() < (size_t)RowStride() * ViewHeight)
        return out;
    size_t row = (size_t)ViewWidth * 3;
    out.resize(row * ViewHeight);
    for (int y = 0; y < ViewHeight; ++y)
        std::memcpy(out.data() + row * y, frame.data() + (size_t)RowStride() * (ViewHeight - 1 - y),
                    row);
    return out;
}

// --- camera ---

TGLMatrix TGLUnit::IdentityMatrix() {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

TGLMatrix TGLUnit::Compose(const TGLMatrix& e, const TGLMatrix& m) {
    TGLMatrix r{};
    for (int c = 0; c < 4; ++c)
        for (int rw = 0; rw < 4; ++rw) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += e[k * 4 + rw] * m[c * 4 + k];
            r[c * 4 + rw] = s;
        }
    return r;
}

void TGLUnit::Translate(double x, double y, double z) {
    TGLMatrix e = IdentityMatrix();
    e[12] = x;
    e[13] = y;
    e[14] = z;
    Translation = Compose(e, Translation);
}

namespace {
// Rotation E given by its upper 3x3 rows.
TGLMatrix RotationFromRows(double a00, double a01, double a02, double a10, double a11, double a12,
                           double a20, double a21, double a22) {
    return {a00, a10, a20, 0, a01, a11, a21, 0, a02, a12, a22, 0, 0, 0, 0, 1};
}
} // namespace

void TGLUnit::RotateX(double a) {
    double c = std::cos(a), s = std::sin(a);
    Rotation = Compose(RotationFromRows(1, 0, 0, 0, c, -s, 0, s, c), Rotation);
}
void TGLUnit::RotateY(double a) {
    double c = std::cos(a), s = std::sin(a);
    Rotation = Compose(RotationFromRows(c, 0, s, 0, 1, 0, -s, 0, c), Rotation);
}
void TGLUnit::RotateZ(double a) {
    double c = std::cos(a), s = std::sin(a);
    Rotation = Compose(RotationFromRows(c, -s, 0, s, c, 0, 0, 0, 1), Rotation);
}

void TGLUnit::SetView(int mode) {
    if (mode >= 0 && mode <= 5) ViewMode = mode;
    Translation = IdentityMatrix();
    Rotation = IdentityMatrix();
    const double pi = std::numbers::pi;
    switch (ViewMode) {
    case 1:
        RotateX(-pi / 2);
        break;
    case 2:
        RotateZ(-pi / 2);
        RotateX(pi);
        break;
    case 3:
        RotateY(-pi / 2);
        RotateZ(-pi / 2);
        break;
    case 4:
        RotateX(pi / 2);
        RotateZ(pi / 2);
        break;
    case 5:
        RotateY(pi / 2);
        break;
    default:
        break;
    }
}

double TGLUnit::ViewUnit() const {
    const double size = FramedSize();
    return Projection == 0 ? size * 1.5 : size * 4 * 0.364;
}

// --- mouse ---

void TGLUnit::MouseDown(TMouseButton button, int x, int y) {
    LastX = x;
    LastY = y;
    if (button == TMouseButton::Middle) {
        Translating = 1;
    } else if (Rotating == 1 && button == TMouseButton::Right) {
        Rotating = 0;
        Translating = 1;
    } else if (Scaling == 1 && button == TMouseButton::Left) {
        Scaling = 0;
        Translating = 1;
    } else if (button == TMouseButton::Left) {
        Rotating = 1;
    } else if (button == TMouseButton::Right) {
        Scaling = 1;
    }
}

void TGLUnit::MouseMove(int x, int y) {
    int h = Control ? Control->ClientHeight() : ViewHeight;
    if (h <= 0) h = 1;
    double dx = x - LastX, dy = y - LastY;
    if (Translating == 1) {
        double u = ViewUnit();
        Translate(2 * u * dx / h, -2 * u * dy / h, 0);
    } else if (Scaling == 1) {
        // A step that would make the scale zero or negative is dropped.
        const double size = FramedSize();
        double s = size - 0.0066 * dy * size;
        if (s > 0) Size = s;
    } else if (Rotating == 1) {
        RotateX(0.009 * dy);
        RotateY(0.009 * dx);
    }
    LastX = x;
    LastY = y;
}

void TGLUnit::MouseUp() {
    if (Rotating == 1 || Translating == 1 || Scaling == 1) Rotating = Translating = Scaling = 0;
}

// --- colours, light, material ---

TRGBA TGLUnit::ColorToRGBA(TColor colour, double alpha) {
    TColor c = colour & 0xFFFFFFu;
    return {(float)((c & 0xFF) / 255.0), (float)(((c >> 8) & 0xFF) / 255.0),
            (float)(((c >> 16) & 0xFF) / 255.0), (float)alpha};
}

TRGBA TGLUnit::MakeRGBA(double r, double g, double b, double a) {
    return {(float)r, (float)g, (float)b, (float)a};
}

void TGLUnit::SetColor(const TRGBA& rgba) {
    glColor4fv(rgba.data());
}

void TGLUnit::SetMaterial(const TRGBA& k) {
    auto scaled = [&](float f) { return TRGBA{k[0] * f, k[1] * f, k[2] * f, k[3]}; };
    TRGBA v = scaled(1.0f);
    glMaterialfv(GL_FRONT, GL_SPECULAR, v.data());
    v = scaled(0.8f);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, v.data());
    v = scaled(0.6f);
    glMaterialfv(GL_FRONT, GL_AMBIENT, v.data());
    glMaterialf(GL_FRONT, GL_SHININESS, 100.0f);
    v = scaled(0.4f);
    glMaterialfv(GL_BACK, GL_SPECULAR, v.data());
    v = scaled(0.2f);
    glMaterialfv(GL_BACK, GL_DIFFUSE, v.data());
    v = scaled(0.1f);
    glMaterialfv(GL_BACK, GL_AMBIENT, v.data());
    glMaterialf(GL_BACK, GL_SHININESS, 0.0f);
}

void TGLUnit::SetLight(int index, const TRGBA& diffuse, double x, double y, double z,
                       const TRGBA& ambient, const TRGBA& specular) {
    GLenum light = GL_LIGHT0 + index;
    float pos[4] = {(float)x, (float)y, (float)z, 1.0f};
    glLightfv(light, GL_POSITION, pos);
    glLightfv(light, GL_DIFFUSE, diffuse.data());
    glLightfv(light, GL_AMBIENT, ambient.data());
    glLightfv(light, GL_SPECULAR, specular.data());
    glEnable(light);
}

void TGLUnit::SetSceneLight() {
    if (!Valid) return;
    double p = 2 * FramedSize();
    SetLight(0, MakeRGBA(0.5, 0.5, 0.5, 1.0), p, p, p, MakeRGBA(1, 1, 1, 1), MakeRGBA(1, 1, 1, 1));
}

TColor TGLUnit::PaletteColor(int64_t index) {
    return ::PaletteColor(index);
}

// --- lines and points ---

uint16_t TGLUnit::LinePattern(int kind) {
    switch (kind) {
    case 1:
        return 0x5555;
    case 2:
        return 0xFFFA;
    case 3:
        return 0xFF15;
    default:
        return 0xFFFF;
    }
}

void TGLUnit::SetLineStyle(int factor, int kind, float width) {
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(factor, LinePattern(kind));
    glLineWidth(width);
}

void TGLUnit::ResetLineStyle() {
    glLineWidth(1.0f);
    glDisable(GL_LINE_STIPPLE);
}

void TGLUnit::DrawPoint(const TVector& p) {
    glDisable(GL_LIGHTING);
    glBegin(GL_POINTS);
    glVertex3d(p.x, p.y, p.z);
    glEnd();
}

void TGLUnit::DrawLine(const TVector& p1, const TVector& p2) {
    glDisable(GL_LIGHTING);
    glBegin(GL_LINES);
    glVertex3d(p1.x, p1.y, p1.z);
    glVertex3d(p2.x, p2.y, p2.z);
    glEnd();
}

bool TGLUnit::ShowLastFrame() {
    if (!Valid || ViewWidth <= 0 || ViewHeight <= 0) return false;
    if (Control && (Control->ClientWidth() != ViewWidth || Control->ClientHeight() != ViewHeight))
        return false;
    const std::vector<uint8_t>& frame = ShownBuffer();
    if (frame.size() != (size_t)RowStride() * (size_t)ViewHeight) return false;
    ShowOnWindow(frame);
    return true;
}

void TGLUnit::PresentWithRect(int x0, int y0, int x1, int y1, TColor colour) {
    if (!Valid || ViewWidth <= 0 || ViewHeight <= 0) return;
    Shown = Buffer;
    if (Shown.size() < (size_t)RowStride() * ViewHeight) return;
    TRGBA c = ColorToRGBA(colour, 1.0);
    auto put = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= ViewWidth || y >= ViewHeight) return;
        uint8_t* p = Shown.data() + (size_t)RowStride() * (ViewHeight - 1 - y) + (size_t)x * 3;
        for (int k = 0; k < 3; ++k) p[k] = (uint8_t)std::lround(c[(size_t)k] * 255);
    };
    if (x0 > x1) std::swap(x0, x1);
    if (y0 > y1) std::swap(y0, y1);
    for (int x = std::max(x0, 0); x <= std::min(x1, (int)ViewWidth - 1); ++x)
        put(x, y0), put(x, y1);
    for (int y = std::max(y0, 0); y <= std::min(y1, (int)ViewHeight - 1); ++y)
        put(x0, y), put(x1, y);
    ShowOnWindow(Shown);
}

void TGLUnit::ZoomToRect(int x0, int y0, int x1, int y1) {
    if (x0 == x1 && y0 == y1) return;
    double w = std::max(1, Control ? Control->ClientWidth() : (int)ViewWidth);
    double h = std::max(1, Control ? Control->ClientHeight() : (int)ViewHeight);
    double u = ViewUnit();
    Translate(u * (w - x1 - x0) / h, u * (y1 + y0 - h) / h, 0);
    // The view's half-height at the origin is proportional to Size in both projections.
    double f = std::max(std::abs(x1 - x0) / w, std::abs(y1 - y0) / h);
    if (f > 0) Size = FramedSize() * f;
}

// --- polygons ---

void TGLUnit::DrawTriangle(const TVector& p1, const TVector& p2, const TVector& p3,
                           TPolyStyle style) {
    glDisable(GL_LIGHTING);
    if (style == TPolyStyle::Filled) {
        glEnable(GL_LIGHTING);
        glBegin(GL_TRIANGLES);
    } else {
        glBegin(GL_LINE_LOOP);
    }
    glVertex3d(p1.x, p1.y, p1.z);
    glVertex3d(p2.x, p2.y, p2.z);
    glVertex3d(p3.x, p3.y, p3.z);
    glEnd();
}

namespace {
TVector UnitOrSame(TVector v) {
    double l = Length(v);
    if (l < 1e-6) return v;
    return v * (1.0 / l);
}
} // namespace

void TGLUnit::DrawQuad(const TVector& p1, const TVector& p2, const TVector& p3, const TVector& p4,
                       TPolyStyle style) {
    glDisable(GL_LIGHTING);
    if (style == TPolyStyle::Filled) {
        glEnable(GL_LIGHTING);
        TVector n = UnitOrSame(Cross(UnitOrSame(p2 - p1), UnitOrSame(p3 - p2)));
        glNormal3d(n.x, n.y, n.z);
        glBegin(GL_QUADS);
    } else {
        glBegin(GL_LINE_LOOP);
    }
    glVertex3d(p1.x, p1.y, p1.z);
    glVertex3d(p2.x, p2.y, p2.z);
    glVertex3d(p3.x, p3.y, p3.z);
    glVertex3d(p4.x, p4.y, p4.z);
    glEnd();
}

void TGLUnit::DrawMesh(const TGeoData& body, int polygonIndex) {
    TPolyStyle style = DrawMode == 1 ? TPolyStyle::Filled : TPolyStyle::Outline;
    auto one = [&](size_t k) {
        TMatrixA3d p = body.MeshGrid.Polygon(k);
        if (p.size() == 3)
            DrawTriangle(p[0], p[1], p[2], style);
        else if (p.size() == 4)
            DrawQuad(p[0], p[1], p[2], p[3], style);
    };
    if (polygonIndex < 0) {
        for (size_t k = 0; k < body.MeshGrid.size(); ++k) one(k);
    } else if ((size_t)polygonIndex < body.MeshGrid.size()) {
        one((size_t)polygonIndex);
    }
}

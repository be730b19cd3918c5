// The OpenGL drawing object: off-screen GLX context, camera, colours, light, material and the
// low-level primitives used by the scene, track and axis drawing. No Qt: the window it draws
// into is described by TGLControl, so the command-line renderer can use it without a window.
#pragma once

#include "geometry/MyCGUnit.h"
#include "geometry/MyFunctions.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Opaque X/GLX handles, so that this header does not drag Xlib macros into Qt code.
struct _XDisplay;
struct __GLXcontextRec;
class TMeshLists;

using TRGBA = std::array<float, 4>;
using TGLMatrix = std::array<double, 16>; // OpenGL column-major order

enum class TMouseButton { Left, Right, Middle };

// Polygon drawing style of DrawTriangle / DrawQuad.
enum class TPolyStyle { Outline, Filled };

// What the drawing object needs from the surface it draws on.
class TGLControl {
  public:
    virtual ~TGLControl() = default;
    virtual int ClientWidth() const = 0;
    virtual int ClientHeight() const = 0;
    // Native X window id of the client area; 0 means off-screen only (no window: Present
    // only reads the frame back into memory).
    virtual unsigned long NativeWindow() const = 0;
};

// A surface of a fixed size without any window, for headless rendering and pixel tests.
class TOffscreenControl : public TGLControl {
  public:
    TOffscreenControl(int width, int height) : Width(width), Height(height) {}
    int ClientWidth() const override { return Width; }
    int ClientHeight() const override { return Height; }
    unsigned long NativeWindow() const override { return 0; }
    int Width, Height;
};

class TGLUnit {
  public:
    TGLUnit(TGLControl* control, double size); // Create
    ~TGLUnit();                                // Destroy
    TGLUnit(const TGLUnit&) = delete;
    TGLUnit& operator=(const TGLUnit&) = delete;

    // --- fields ---
    TGLControl* Control;
    int32_t LastX = 0, LastY = 0;
    int32_t ViewWidth = 0, ViewHeight = 0;
    std::array<int32_t, 11> VisualAttribs;
    std::array<int32_t, 11> WindowVisualAttribs;
    int32_t Rotating = 0, Translating = 0, Scaling = 0;
    TGLMatrix Translation;
    TGLMatrix Rotation;
    int32_t SphSlices = 30, SphStacks = 30, RccSlices = 30, RccStacks = 1, TrcSlices = 30,
            TrcStacks = 1, TorSlices = 30, TorStacks = 30, RecSlices = 30, RecStacks = 1,
            TecSlices = 30, TecStacks = 1, EllSlices = 30, EllStacks = 30, GelSlices = 30,
            GelStacks = 30;
    int32_t Projection = 0; // 0 parallel, 1 perspective
    int32_t ViewMode = 0;   // axis-pair orientation 0..5
    int32_t DrawMode = 0;   // 0 outlines, 1 filled and lit
    double Size;            // half-extent the camera frames
    // Distance from the world origin within which every mesh of the stencil passes lies; the
    // parallel projection's depth range is cut to it (0: not known, a few times Size is used).
    double DepthReach = 0;
    // When set, the parallel projection shows exactly this rectangle of eye coordinates
    // (left, right, bottom, top) instead of framing Size.
    bool UseWindow = false;
    std::array<double, 4> Window{};

    // --- resources ---
    void InitContext();
    void ReleaseContext();
    // True when a GL context could be made; when false nothing is drawn.
    bool Ready() const { return Valid; }

    // --- per frame ---
    void ApplyProjection();
    // Clears, loads the camera and then sets the scene light, so that the light stands in the
    // scene and every frame of one view is lit alike (first frame or not, viewer or command line).
    void BeginFrame(TColor clearColour);
    void Present();

    // The last frame read back by Present: rows bottom-up, RowStride() bytes each (RGB,
    // rows padded to 4 bytes). FrameRGB gives tightly packed RGB rows top-down.
    const std::vector<uint8_t>& FrameBuffer() const { return Buffer; }
    int RowStride() const { return (ViewWidth * 3 + 3) & ~3; }
    std::vector<uint8_t> FrameRGB() const;
    // A frame in the layout of FrameBuffer as tightly packed RGB rows top-down.
    std::vector<uint8_t> PackedRGB(const std::vector<uint8_t>& frame) const;

    // --- camera ---
    void SetView(int mode);
    void Translate(double x, double y, double z);
    void RotateX(double angle);
    void RotateY(double angle);
    void RotateZ(double angle);
    // Half-height of the view at the origin's depth: Size*1.5 parallel, Size*4*0.364 perspective.
    double ViewUnit() const;
    // Centres the view on a box (xmin, xmax, ymin, ymax, zmin, zmax) and sets Size to the
    // box's half-extent on the screen, keeping the rotation (render/ViewFit.cpp).
    void FrameBox(const std::array<double, 6>& box);
    // Size times factor, keeping the scene point under client pixel (x, y) in place (at the
    // depth of the origin in perspective).
    void ZoomAt(double factor, int x, int y);

    // --- mouse (camera drags) ---
    void MouseDown(TMouseButton button, int x, int y);
    void MouseMove(int x, int y);
    void MouseUp();

    // --- colours, light, material ---
    static TRGBA ColorToRGBA(TColor colour, double alpha);
    static TRGBA MakeRGBA(double r, double g, double b, double a);
    void SetColor(const TRGBA& rgba);
    void SetMaterial(const TRGBA& rgba);
    void SetLight(int index, const TRGBA& diffuse, double x, double y, double z,
                  const TRGBA& ambient, const TRGBA& specular);
    // The scene light of every frame: light 0 at 2*Size on every axis, placed with the current
    // model-view matrix (BeginFrame sets it after loading the camera).
    void SetSceneLight();
    static TColor PaletteColor(int64_t index);

    // --- line and point primitives ---
    void SetLineStyle(int factor, int kind, float width);
    void ResetLineStyle();
    void DrawPoint(const TVector& p);
    void DrawLine(const TVector& p1, const TVector& p2);
    static uint16_t LinePattern(int kind); // 0 Solid .. 3 DashDotDot

    // Shows the last presented frame with the outline of a rectangle in client pixels (origin
    // top left, 1 pixel wide) over it: the zoom rectangle over the picture it frames. The frame
    // itself is kept, so the next call draws its rectangle over the same picture.
    void PresentWithRect(int x0, int y0, int x1, int y1, TColor colour);
    // Shows what the last Present or PresentWithRect showed again, without drawing; false
    // when there is no such frame of the control's present size.
    bool ShowLastFrame();
    // What the last Present or PresentWithRect showed, in the layout of FrameBuffer.
    const std::vector<uint8_t>& ShownBuffer() const { return Shown.empty() ? Buffer : Shown; }

    // Zoom to a rectangle dragged from (x0, y0) to (x1, y1) in client pixels: its centre
    // moves to the window's centre and the larger of its relative sides fills the window.
    // A rectangle of no size is ignored.
    void ZoomToRect(int x0, int y0, int x1, int y1);

    // --- polygons ---
    void DrawTriangle(const TVector& p1, const TVector& p2, const TVector& p3, TPolyStyle style);
    void DrawQuad(const TVector& p1, const TVector& p2, const TVector& p3, const TVector& p4,
                  TPolyStyle style);
    // All polygons of the body's mesh (polygonIndex < 0) or just one; DrawMode picks the style.
    void DrawMesh(const TGeoData& body, int polygonIndex);
    // The meshes uploaded into this context (render/GLDraw.h).
    TMeshLists& Lists();

    // Matrix helpers (column-major 4x4), exposed for the camera tests.
    static TGLMatrix IdentityMatrix();
    static TGLMatrix Compose(const TGLMatrix& e, const TGLMatrix& m); // E x M
    // Frustum matrix of the perspective projection for the given size and client size.
    static TGLMatrix FrustumMatrix(double size, int width, int height);
    // glOrtho bounds (left, right, bottom, top, near, far) of the parallel projection; the
    // depth range holds everything within depthReach of the origin, shifted by the camera's
    // depth offset eyeZ.
    static std::array<double, 6> OrthoBounds(double size, int width, int height, double depthReach,
                                             double eyeZ = 0);
    // Size when it can frame a picture, else a positive stand-in.
    double FramedSize() const;
    // True when the context clamps depth instead of clipping at the near and far planes.
    bool DepthClamps() const { return DepthClamp; }

  private:
    void CreateSurface();
    void ShowOnWindow(const std::vector<uint8_t>& frame);
    void ReleaseSurface();
    void Fail(const std::string& text);
    void PutImageToWindow(const std::vector<uint8_t>& frame);

    _XDisplay* Dpy = nullptr;
    unsigned long WindowDrawable = 0;
    void* OffVisual = nullptr; // XVisualInfo*
    void* WinVisual = nullptr; // XVisualInfo*
    __GLXcontextRec* OffContext = nullptr;
    __GLXcontextRec* WinContext = nullptr;
    unsigned long XPixmapId = 0;
    unsigned long GLXPixmapId = 0;
    bool Valid = false;
    bool WindowUsable = false; // window context can be made current on the window
    bool DepthClamp = false;   // GL_DEPTH_CLAMP is available
  public:
    // Test hook: copy frames into the window through Xlib instead of the window context.
    void ForceImageCopy() { WindowUsable = false; }

  private:
    bool Reported = false; // the failure message was shown once
    std::vector<uint8_t> Buffer;
    std::vector<uint8_t> Shown; // the frame with a zoom rectangle over it, while one is shown
    std::unique_ptr<TMeshLists> MeshLists;
};

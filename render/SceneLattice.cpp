// A lattice's faces (render/mesh/LatticeMesh.h), drawn like body meshes in their colours.
#include "Scene.h"

void DrawLatticeFaces(const TSceneGeometry& s, bool quick) {
    const std::vector<TLatticeFaces>& faces =
        quick && !s.Geo.LatticeQuickFaces.empty() ? s.Geo.LatticeQuickFaces : s.Geo.LatticeFaces;
    s.GL.SetLineStyle(1, 0, static_cast<float>(s.Settings.GeoWidth));
    for (const TLatticeFaces& f : faces) {
        if (f.Faces.MeshGrid.empty()) continue;
        TRGBA c = TGLUnit::ColorToRGBA(f.Color, GeometryAlpha);
        s.GL.SetMaterial(c);
        s.GL.SetColor(c);
        s.GL.Lists().Draw(s.GL, f.Faces);
    }
    s.GL.ResetLineStyle();
}

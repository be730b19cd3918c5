// Zone and Material display from the precomputed zone surfaces: every visible owner's
// triangles, translucent and lit like the bodies of Body display, in clusters sorted back to
// front each frame so that blending composes them in depth order whatever the numbering.
#include "Scene.h"

#include <GL/gl.h>

#include <algorithm>

void DrawZoneSurfaces(TGLUnit& gl, const TZoneSurfaces& surfaces, const TGeometry& geo,
                      const TDisplaySettings& settings) {
    const bool byMaterial = settings.ViewInfoType == 2;
    const TSurfaceSet& set = byMaterial ? surfaces.Materials : surfaces.Zones;
    const size_t owners = byMaterial ? geo.Materials.size() : geo.Zones.size();
    std::vector<char> visible(owners, 0);
    std::vector<TColor> colour(owners, 0);
    for (size_t o = 0; o < owners; ++o) {
        if (byMaterial) {
            visible[o] = geo.Materials[o].Visible;
            colour[o] = geo.Materials[o].Color;
        } else if (o < geo.ZoneLooks.size()) {
            visible[o] = geo.ZoneLooks[o].Visible;
            colour[o] = geo.ZoneLooks[o].Color;
        }
    }
    // Depth of each cluster's centre in eye coordinates: the farthest (most negative) first.
    GLdouble m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    // Clusters at the same depth (the two sides of one wall) go by colour, so that the
    // numbering of zones and materials never decides the picture.
    struct TEntry {
        float Depth;
        TColor Colour;
        uint32_t Cluster;
        bool operator<(const TEntry& o) const {
            if (Depth != o.Depth) return Depth < o.Depth;
            if (Colour != o.Colour) return Colour < o.Colour;
            return Cluster < o.Cluster;
        }
    };
    std::vector<TEntry> order;
    order.reserve(set.Clusters.size());
    for (size_t k = 0; k < set.Clusters.size(); ++k) {
        const TSurfaceCluster& c = set.Clusters[k];
        if (c.Owner < 0 || static_cast<size_t>(c.Owner) >= owners || !visible[size_t(c.Owner)])
            continue;
        double z = m[2] * c.Centre[0] + m[6] * c.Centre[1] + m[10] * c.Centre[2] + m[14];
        order.push_back({static_cast<float>(z), colour[static_cast<size_t>(c.Owner)],
                         static_cast<uint32_t>(k)});
    }
    if (order.empty()) return;
    std::sort(order.begin(), order.end());

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_DEPTH_TEST);
    // Each owner shows the walls that face the viewer, the ones a solid of its own would show:
    // the surfaces are oriented outwards, so a wall shared by two neighbours is drawn once on
    // each side, in the colour of the owner in front.
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    glEnable(GL_LIGHTING);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, set.Vertex.data());
    glNormalPointer(GL_FLOAT, 0, set.Normal.data());
    int32_t owner = -1;
    for (const auto& entry : order) {
        const TSurfaceCluster& c = set.Clusters[entry.Cluster];
        if (c.Owner != owner) {
            owner = c.Owner;
            TRGBA k = TGLUnit::ColorToRGBA(colour[static_cast<size_t>(owner)], GeometryAlpha);
            gl.SetMaterial(k);
            gl.SetColor(k);
        }
        glDrawArrays(GL_TRIANGLES, static_cast<GLint>(c.First * 3),
                     static_cast<GLsizei>(c.Count * 3));
    }
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
}

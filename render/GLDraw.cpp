#include "GLDraw.h"

#include <GL/gl.h>

#include <cmath>

namespace {

TVector UnitOrSame(const TVector& v) { // shorter than 1e-6: left as it is
    double l = std::sqrt(Dot(v, v));
    return l < 1e-6 ? v : v * (1.0 / l);
}

constexpr GLenum NoPrimitive = 0xFFFF;

} // namespace

TVector QuadNormal(const TVector& p0, const TVector& p1, const TVector& p2) {
    return UnitOrSame(Cross(UnitOrSame(p1 - p0), UnitOrSame(p2 - p1)));
}

void DrawMeshBatched(TGLUnit& gl, const TGeoData& body, int polygonIndex) {
    const TBodyMesh& mesh = body.MeshGrid;
    const TBodyMesh& src = mesh.Source();
    size_t first = 0, last = src.Count.size(), at = 0;
    if (polygonIndex >= 0) {
        if (static_cast<size_t>(polygonIndex) >= last) return;
        first = static_cast<size_t>(polygonIndex);
        last = first + 1;
        at = mesh.First(first);
    }
    const bool filled = gl.DrawMode == 1;
    GLenum open = NoPrimitive;
    auto begin = [&](GLenum mode) {
        if (open == mode) return;
        if (open != NoPrimitive) glEnd();
        glBegin(mode);
        open = mode;
    };
    bool any = false;
    TVector p[4];
    for (size_t k = first; k < last; ++k) {
        const size_t n = src.Count[k];
        const uint32_t* index = src.Index.data() + at;
        at += n;
        if (n != 3 && n != 4) continue;
        for (size_t j = 0; j < n; ++j) p[j] = mesh.Place(src.Points[index[j]]);
        if (!any) {
            if (filled)
                glEnable(GL_LIGHTING);
            else
                glDisable(GL_LIGHTING);
            any = true;
        }
        if (!filled) { // every outline is its own loop
            begin(GL_LINE_LOOP);
            for (size_t j = 0; j < n; ++j) glVertex3d(p[j].x, p[j].y, p[j].z);
            glEnd();
            open = NoPrimitive;
            continue;
        }
        if (n == 3) {
            begin(GL_TRIANGLES);
        } else {
            TVector nn = QuadNormal(p[0], p[1], p[2]);
            begin(GL_QUADS);
            glNormal3d(nn.x, nn.y, nn.z);
        }
        for (size_t j = 0; j < n; ++j) glVertex3d(p[j].x, p[j].y, p[j].z);
    }
    if (open != NoPrimitive) glEnd();
}

TMeshLists::TEntry& TMeshLists::Find(TGLUnit& gl, const TGeoData& body, bool upload) {
    const TBodyMesh& mesh = body.MeshGrid;
    TEntry& e = Entries[&mesh];
    e.UsedFrame = Frame;
    if (e.Stamp == mesh.Stamp && e.Mode == gl.DrawMode && (e.List || !upload)) return e;
    bool fresh = e.Stamp != mesh.Stamp || e.Mode != gl.DrawMode;
    if (fresh) {
        if (e.List) {
            glDeleteLists(e.List, 1);
            ListedVertices -= e.Vertices;
        }
        e = TEntry{};
        e.UsedFrame = Frame;
        e.Stamp = mesh.Stamp;
        e.Mode = gl.DrawMode;
        const TBodyMesh& src = mesh.Source();
        e.Vertices = src.Index.size();
        // the normal the mesh leaves current: that of its last drawable quadrilateral
        if (gl.DrawMode == 1) {
            size_t at = src.Index.size();
            for (size_t k = src.Count.size(); k-- > 0;) {
                at -= src.Count[k];
                if (src.Count[k] != 4) continue;
                e.HasNormal = true;
                e.LastNormal = QuadNormal(mesh.Place(src.Points[src.Index[at]]),
                                          mesh.Place(src.Points[src.Index[at + 1]]),
                                          mesh.Place(src.Points[src.Index[at + 2]]));
                break;
            }
        }
    }
    if (upload && !e.List && ListedVertices + e.Vertices <= VertexBudget) {
        for (int k = 0; k < 8 && glGetError() != GL_NO_ERROR; ++k) {
        }
        GLuint list = glGenLists(1);
        if (list) {
            glNewList(list, GL_COMPILE);
            DrawMeshBatched(gl, body, -1);
            glEndList();
            if (glGetError() == GL_NO_ERROR) {
                e.List = list;
                ListedVertices += e.Vertices;
            } else {
                glDeleteLists(list, 1); // out of memory: drawn directly
            }
        }
    }
    return e;
}

const TMeshLists::TEntry& TMeshLists::Draw(TGLUnit& gl, const TGeoData& body) {
    const TEntry& e = Find(gl, body, true);
    if (e.List)
        glCallList(e.List);
    else
        DrawMeshBatched(gl, body, -1);
    return e;
}

const TMeshLists::TEntry& TMeshLists::Look(TGLUnit& gl, const TGeoData& body) {
    return Find(gl, body, false);
}

void TMeshLists::NextFrame() {
    ++Frame;
    // A mesh unused for some frames is most likely gone (a new load) or hidden.
    for (auto it = Entries.begin(); it != Entries.end();) {
        if (it->second.UsedFrame + 16 < Frame) {
            if (it->second.List) {
                glDeleteLists(it->second.List, 1);
                ListedVertices -= it->second.Vertices;
            }
            it = Entries.erase(it);
        } else {
            ++it;
        }
    }
}

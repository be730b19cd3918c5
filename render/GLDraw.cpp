#include "GLDraw.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

TVector UnitOrSame(const TVector& v) { // shorter than 1e-6: left as it is
    double l = std::sqrt(Dot(v, v));
    return l < 1e-6 ? v : v * (1.0 / l);
}

constexpr GLenum NoPrimitive = 0xFFFF;

constexpr int ChunkTriangles = 8;

} // namespace

namespace {

// Calls f(a, b, c) with the point indices of every triangle of the shape: triangles as they
// are, quadrilaterals as 0-1-2 and 0-2-3.
template <class F>
void ForShapeTriangles(const TBodyMesh& src, size_t first, size_t last, size_t at, F f) {
    for (size_t k = first; k < last; ++k) {
        const size_t n = src.Count[k];
        const uint32_t* index = src.Index.data() + at;
        at += n;
        if (n != 3 && n != 4) continue;
        f(index[0], index[1], index[2]);
        if (n == 4) f(index[0], index[2], index[3]);
    }
}

bool HasVertexBuffers() {
    const char* v = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    int major = 0, minor = 0;
    if (!v || std::sscanf(v, "%d.%d", &major, &minor) != 2) return false;
    return major > 1 || (major == 1 && minor >= 5);
}

// The polygons [first, last) that polygonIndex selects (all when negative) and where the
// first one's points start in the index list; false when it is past the mesh.
bool PolygonRange(const TBodyMesh& mesh, int polygonIndex, size_t& first, size_t& last,
                  size_t& at) {
    first = 0, last = mesh.Source().Count.size(), at = 0;
    if (polygonIndex < 0) return true;
    if (static_cast<size_t>(polygonIndex) >= last) return false;
    first = static_cast<size_t>(polygonIndex);
    last = first + 1;
    at = mesh.First(first);
    return true;
}

void ClearErrors() {
    for (int k = 0; k < 8 && glGetError() != GL_NO_ERROR; ++k) {
    }
}

} // namespace

void DrawMeshShape(const TGeoData& body, int polygonIndex) {
    const TBodyMesh& mesh = body.MeshGrid;
    const TBodyMesh& src = mesh.Source();
    size_t first, last, at;
    if (!PolygonRange(mesh, polygonIndex, first, last, at)) return;
    glDisable(GL_LIGHTING);
    glBegin(GL_TRIANGLES);
    auto vertex = [&](uint32_t i) {
        TVector p = mesh.Place(src.Points[i]);
        glVertex3f(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z));
    };
    ForShapeTriangles(src, first, last, at,
                      [&](uint32_t a, uint32_t b, uint32_t c) { vertex(a), vertex(b), vertex(c); });
    glEnd();
}

TVector QuadNormal(const TVector& p0, const TVector& p1, const TVector& p2) {
    return UnitOrSame(Cross(UnitOrSame(p1 - p0), UnitOrSame(p2 - p1)));
}

void DrawMeshBatched(TGLUnit& gl, const TGeoData& body, int polygonIndex) {
    const TBodyMesh& mesh = body.MeshGrid;
    const TBodyMesh& src = mesh.Source();
    size_t first, last, at;
    if (!PolygonRange(mesh, polygonIndex, first, last, at)) return;
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
        ClearErrors();
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
    Submitted(e.Vertices);
    return e;
}

void TMeshLists::DrawShape(TGLUnit&, const TGeoData& body, const TChunkFilter& keep) {
    if (Buffers < 0) Buffers = HasVertexBuffers() ? 1 : 0;
    const TBodyMesh& mesh = body.MeshGrid;
    const TBodyMesh& src = mesh.Source();
    TShape& e = Shapes[&mesh];
    e.UsedFrame = Frame;
    if (e.Stamp != mesh.Stamp) {
        Release(e);
        e.Stamp = mesh.Stamp;
        ForShapeTriangles(src, 0, src.Count.size(), 0,
                          [&](uint32_t, uint32_t, uint32_t) { e.Indices += 3; });
        size_t bytes = src.Points.size() * 3 * sizeof(float) +
                       static_cast<size_t>(e.Indices) * sizeof(uint32_t);
        if (Buffers == 1 && e.Indices > 0 && ShapeBytes + bytes <= ShapeBudgetBytes) {
            std::vector<float> points;
            std::vector<uint32_t> indices;
            points.reserve(src.Points.size() * 3);
            for (const TVector& q : src.Points) {
                TVector p = mesh.Place(q);
                points.insert(points.end(), {static_cast<float>(p.x), static_cast<float>(p.y),
                                             static_cast<float>(p.z)});
            }
            indices.reserve(static_cast<size_t>(e.Indices));
            ForShapeTriangles(src, 0, src.Count.size(), 0, [&](uint32_t a, uint32_t b, uint32_t c) {
                indices.insert(indices.end(), {a, b, c});
            });
            // Mesh order runs along the surface, so consecutive triangles make compact runs.
            for (size_t t = 0; t < indices.size(); t += 3 * ChunkTriangles) {
                std::array<double, 6> box{1e300, -1e300, 1e300, -1e300, 1e300, -1e300};
                size_t end = std::min(indices.size(), t + 3 * ChunkTriangles);
                for (size_t i = t; i < end; ++i) {
                    const float* p = points.data() + 3 * size_t(indices[i]);
                    for (int a = 0; a < 3; ++a) {
                        box[2 * a] = std::min(box[2 * a], double(p[a]));
                        box[2 * a + 1] = std::max(box[2 * a + 1], double(p[a]));
                    }
                }
                e.Chunks.push_back(box);
            }
            bytes += e.Chunks.size() * sizeof(e.Chunks[0]);
            ClearErrors();
            glGenBuffers(2, e.Buffers);
            glBindBuffer(GL_ARRAY_BUFFER, e.Buffers[0]);
            glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(points.size() * sizeof(float)),
                         points.data(), GL_STATIC_DRAW);
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, e.Buffers[1]);
            glBufferData(GL_ELEMENT_ARRAY_BUFFER,
                         static_cast<GLsizeiptr>(indices.size() * sizeof(uint32_t)), indices.data(),
                         GL_STATIC_DRAW);
            glBindBuffer(GL_ARRAY_BUFFER, 0);
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
            e.Bytes = bytes;
            ShapeBytes += bytes;
            if (glGetError() != GL_NO_ERROR) { // out of memory: drawn directly
                glDeleteBuffers(2, e.Buffers);
                ShapeBytes -= bytes;
                e.Buffers[0] = e.Buffers[1] = 0;
                e.Bytes = 0;
            }
        }
    }
    size_t drawn = static_cast<size_t>(e.Indices);
    if (!e.Buffers[0]) {
        DrawMeshShape(body, -1);
    } else {
        glDisable(GL_LIGHTING);
        glBindBuffer(GL_ARRAY_BUFFER, e.Buffers[0]);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, e.Buffers[1]);
        glEnableClientState(GL_VERTEX_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, nullptr);
        if (!keep) {
            glDrawElements(GL_TRIANGLES, e.Indices, GL_UNSIGNED_INT, nullptr);
        } else {
            RunCounts.clear();
            RunStarts.clear();
            const int step = 3 * ChunkTriangles;
            bool open = false;
            for (size_t k = 0; k < e.Chunks.size(); ++k) {
                if (!keep(e.Chunks[k])) {
                    open = false;
                    continue;
                }
                int first = static_cast<int>(k) * step;
                int count = std::min(step, e.Indices - first);
                if (open) {
                    RunCounts.back() += count;
                } else {
                    RunCounts.push_back(count);
                    RunStarts.push_back(reinterpret_cast<const void*>(
                        static_cast<uintptr_t>(first) * sizeof(uint32_t)));
                    open = true;
                }
            }
            if (!RunCounts.empty())
                glMultiDrawElements(GL_TRIANGLES, RunCounts.data(), GL_UNSIGNED_INT,
                                    RunStarts.data(), static_cast<GLsizei>(RunCounts.size()));
            drawn = 0;
            for (int n : RunCounts) drawn += static_cast<size_t>(n);
        }
        glDisableClientState(GL_VERTEX_ARRAY);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    }
    Submitted(drawn);
}

void TMeshLists::Release(TShape& shape) {
    if (shape.Buffers[0]) glDeleteBuffers(2, shape.Buffers);
    ShapeBytes -= shape.Bytes;
    shape = TShape{};
}

void TMeshLists::Submitted(size_t vertices) {
    Unfinished += vertices;
    if (Unfinished < 2000000) return;
    glFinish();
    Unfinished = 0;
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
    for (auto it = Shapes.begin(); it != Shapes.end();) {
        if (it->second.UsedFrame + 16 < Frame) {
            Release(it->second);
            it = Shapes.erase(it);
        } else {
            ++it;
        }
    }
}

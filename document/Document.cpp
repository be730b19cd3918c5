#include "Document.h"

#include "input/Reader.h"
#include "render/mesh/BodyMesh.h"
#include "render/mesh/LatticeMesh.h"

template <class ReadStep>
bool TDocument::Read(double& sceneSize, const TLoadHooks& hooks, ReadStep&& read) {
    TDataReader reader(Geometry, Tracks, Display, sceneSize);
    reader.Hooks.ShowError = hooks.ShowError;
    reader.Hooks.CutBoxChanged = [this] { RebuildCutBoxMesh(); };
    reader.Hooks.ResetCamera = hooks.ResetCamera;
    reader.Hooks.RebuildBodies = [this] { RebuildMeshes(); };
    reader.Hooks.RefreshLabels = hooks.RefreshLabels;
    return read(reader);
}

bool TDocument::Load(const std::string& dataPath, double& sceneSize, const TLoadHooks& hooks) {
    return Read(sceneSize, hooks, [&](TDataReader& r) { return r.Load(dataPath); });
}

bool TDocument::LoadSample(double& sceneSize, const TLoadHooks& hooks) {
    return Read(sceneSize, hooks, [](TDataReader& r) { return r.LoadSample(); });
}

void TDocument::RebuildCutBoxMesh() {
    BuildMesh(Display.CutBox, true, Display.SceneSize);
}

void TDocument::RebuildMeshes() {
    RebuildSceneMeshes(Geometry, Display.CutBox, Display.SceneSize, Display.ReviseRate,
                       Display.ReviseValue);
    BuildLatticeFaces(Geometry, Display.ViewInfoType, Display.CutOn, Display.CutBox);
}

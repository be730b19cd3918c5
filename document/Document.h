// The data the program works on: the geometry, the tracks, the display settings, the check's
// error pieces and the path of the data file they came from, with the one way to load them
// (reader, scene defaults, meshes). The viewer owns one and hands it to its dialogs; the
// command line, the benchmarks and the tests make their own. No Qt, no GL.
#pragma once

#include "geometry/CheckErrors.h"
#include "geometry/MyCGUnit.h"
#include "input/DisplaySettings.h"
#include "input/Tracks.h"

#include <functional>
#include <string>

// Steps of a load that belong to the window showing the document; each may be left empty.
struct TLoadHooks {
    // Shows the composed error text (default: written to standard error).
    std::function<void(const std::string& text)> ShowError;
    // After a successful read, with the scene defaults in place and before the meshes are
    // built: frames the new scene (the camera).
    std::function<void()> ResetCamera;
    // Last of a successful read: range label and legend.
    std::function<void()> RefreshLabels;
};

class TDocument {
  public:
    TGeometry Geometry;
    TTracks Tracks;
    TDisplaySettings Display;
    TCheckErrorSegments CheckErrors;
    // The data file last loaded, absolute when the viewer opened it; empty for the built-in
    // sample and the geometry editor's hand-over.
    std::string Path;

    // Reads a data file into the document, sets the scene defaults (sizes, cut box, colours)
    // and builds the meshes. sceneSize is the camera's size going in and the scene's after.
    // False after a read error (the model is then empty). Path is set by the caller.
    bool Load(const std::string& dataPath, double& sceneSize, const TLoadHooks& hooks = {});
    // The same with the built-in sample.
    bool LoadSample(double& sceneSize, const TLoadHooks& hooks = {});

    // The cut box's own mesh (inverted), after its parameters changed.
    void RebuildCutBoxMesh();
    // Every body mesh, the grown copies, the cut box and a lattice's faces, after a load or
    // a change of the display settings.
    void RebuildMeshes();

  private:
    template <class ReadStep> bool Read(double& sceneSize, const TLoadHooks& hooks, ReadStep&& read);
};

// Names shown by the main window and the dialogs, and where the settings file lives. No Qt.
#pragma once

#include "geometry/CheckErrors.h"
#include "geometry/MyCGUnit.h"
#include "input/AppPaths.h"
#include "input/DisplaySettings.h"
#include "input/Reader.h" // work file names: DivFileName, LineFileName, DummyFileName
#include "input/Tracks.h"

#include <array>
#include <string>

// Geometry display types (ViewInfoType 0, 1, 2).
extern const std::array<const char*, 3> DisplayTypeNames; // "Body", "Zone", "Material"
// Line kinds 0..3.
extern const std::array<const char*, 4> LineKindNames; // "Solid", "Dot", "DashDot", "DashDotDot"
// Names of the particle kinds 4, 5, 6 by ParticleIndex.
extern const std::array<const char*, 3> ParticleNames; // "Photon", "Electron", "Positron"

inline constexpr const char* SettingsFileName = "trazon.ini";

// Where trazon.ini lives: beside the executable when that directory is writable and not an
// installed bin/ folder, otherwise in the per-user configuration directory ($XDG_CONFIG_HOME
// or ~/.config, then "trazon/").
std::string SettingsFilePath(const std::string& exeDir);

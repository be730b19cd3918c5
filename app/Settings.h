// Reading and writing trazon.ini: display settings, dialog directories, menu choices,
// animation pause and the ten view-point slots. No Qt here; the main window applies the menu
// choices through its menu handlers.
#pragma once

#include "app/IniFile.h"
#include "app/ViewPoints.h"
#include "input/DisplaySettings.h"

#include <string>
#include <vector>

// The four menu choices kept in the file, as stored.
struct TMenuSettings {
    int32_t AxisData = 1;      // 1 axes on, 0 off
    int32_t DrawType = 1;      // 1 filled polygons, 0 lines
    int32_t DirectionType = 5; // 0 X-Y, 1 X-Z, 3 Y-Z, 5 Z-Y
    int32_t ViewMode = 0;      // 0 parallel, 1 perspective
};

// Where the dialogs start and whether the user picked a file in them this run, and the data
// files opened last (section "RecentFiles", keys "File1".., newest first).
struct TDialogDirs {
    std::string OpenDir, SaveDir;
    bool OpenChosen = false, SaveChosen = false;
    std::vector<std::string> RecentFiles;
};

inline constexpr size_t MaxRecentFiles = 8;
// Puts a path at the front of the list (once), keeping at most MaxRecentFiles.
void AddRecentFile(std::vector<std::string>& list, const std::string& path);
void RemoveRecentFile(std::vector<std::string>& list, const std::string& path);

// Reads every key (a missing key gives its default). Menu values are returned as stored;
// values outside their sets are left for the caller to ignore.
void ReadSettings(const TIniFile& ini, const std::string& exeDir, TDisplaySettings& ds,
                  TDialogDirs& dirs, TMenuSettings& menus, TViewSlots& slots);
// The values that are not stored, set at every start.
void ResetUnstoredSettings(TDisplaySettings& ds);
// Writes every key in the order of the file; the directories only when chosen this run,
// the slots only when not empty (the keys of empty slots are removed).
void WriteSettings(TIniFile& ini, const TDisplaySettings& ds, const TDialogDirs& dirs,
                   const TMenuSettings& menus, const TViewSlots& slots);

// Largest colour list read from the file; a garbled count cannot exhaust memory.
inline constexpr int32_t MaxSavedColors = 100000;
// Ranges of the values read from the file (track and geometry line widths in pixels,
// animation pause in milliseconds).
inline constexpr int32_t MaxLineWidth = 20;
inline constexpr double MinGeoWidth = 0.1;
inline constexpr int32_t MaxWaitTime = 60000;

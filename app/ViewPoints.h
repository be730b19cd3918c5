// The ten view-point slots and their key/value form ("EyePos", "TMatrix", "RMatrix"), shared by
// the view-point files and the settings file. No Qt here.
#pragma once

#include <array>
#include <functional>
#include <string>

inline constexpr int ViewSlotCount = 10;

// One stored view: the camera's Size and its translation and rotation matrices in storage order.
// A slot is empty while EyePos is below 0.
struct TViewSlot {
    double EyePos = -1;
    std::array<double, 16> TMatrix;
    std::array<double, 16> RMatrix;
    TViewSlot() {
        TMatrix.fill(-1);
        RMatrix.fill(-1);
    }
    bool Empty() const { return !(EyePos >= 0); }
};

using TViewSlots = std::array<TViewSlot, ViewSlotCount>;

// Slots are numbered 1 to 10; other numbers are ignored (Store) or treated as empty (Restore).
void StoreViewSlot(TViewSlots& slots, int slot, double size, const double* t, const double* r);
// False, leaving the outputs alone, when the slot is empty.
bool RestoreViewSlot(const TViewSlots& slots, int slot, double& size, double* t, double* r);

// Key names: "Data%d" and "Data%d_%d" (slot, element, both from 1).
std::string ViewSlotKey(int slot);
std::string ViewMatrixKey(int slot, int element);

// Section/key/value access to a key/value file.
using TViewKeyWriter =
    std::function<void(const std::string& section, const std::string& key, double value)>;
using TViewKeyReader =
    std::function<double(const std::string& section, const std::string& key, double def)>;

// Writes the non-empty slots: for each its "EyePos" key, then 16 "TMatrix", then 16 "RMatrix".
void WriteViewSlots(const TViewSlots& slots, const TViewKeyWriter& write);
// Replaces every slot; a missing key reads as -1, so a slot missing from the file becomes empty.
void ReadViewSlots(TViewSlots& slots, const TViewKeyReader& read);

class TIniFile;
// Removes the three slot sections, so that a following WriteViewSlots leaves no key of a
// slot that has been emptied since the file was written.
void EraseViewSlotSections(TIniFile& ini);

// The view-point file ("*.viw"): a key/value file with just the three sections, written
// whole through a temporary file (an existing file is replaced, not merged into); false when
// the file cannot be written.
bool SaveViewPointFile(const std::string& path, const TViewSlots& slots);
// Replaces every slot from the file; false, leaving the slots alone, when it cannot be read.
bool LoadViewPointFile(const std::string& path, TViewSlots& slots);

#include "app/ViewPoints.h"

#include "app/IniFile.h"

#include <algorithm>

static bool ValidSlot(int slot) {
    return slot >= 1 && slot <= ViewSlotCount;
}

void StoreViewSlot(TViewSlots& slots, int slot, double size, const double* t, const double* r) {
    if (!ValidSlot(slot)) return;
    TViewSlot& s = slots[static_cast<size_t>(slot - 1)];
    s.EyePos = size;
    std::copy(t, t + 16, s.TMatrix.begin());
    std::copy(r, r + 16, s.RMatrix.begin());
}

bool RestoreViewSlot(const TViewSlots& slots, int slot, double& size, double* t, double* r) {
    if (!ValidSlot(slot)) return false;
    const TViewSlot& s = slots[static_cast<size_t>(slot - 1)];
    if (s.Empty()) return false;
    size = s.EyePos;
    std::copy(s.TMatrix.begin(), s.TMatrix.end(), t);
    std::copy(s.RMatrix.begin(), s.RMatrix.end(), r);
    return true;
}

std::string ViewSlotKey(int slot) {
    return "Data" + std::to_string(slot);
}

std::string ViewMatrixKey(int slot, int element) {
    return "Data" + std::to_string(slot) + "_" + std::to_string(element);
}

void WriteViewSlots(const TViewSlots& slots, const TViewKeyWriter& write) {
    for (int n = 1; n <= ViewSlotCount; ++n) {
        const TViewSlot& s = slots[static_cast<size_t>(n - 1)];
        if (s.Empty()) continue;
        write("EyePos", ViewSlotKey(n), s.EyePos);
        for (int e = 1; e <= 16; ++e)
            write("TMatrix", ViewMatrixKey(n, e), s.TMatrix[static_cast<size_t>(e - 1)]);
        for (int e = 1; e <= 16; ++e)
            write("RMatrix", ViewMatrixKey(n, e), s.RMatrix[static_cast<size_t>(e - 1)]);
    }
}

void ReadViewSlots(TViewSlots& slots, const TViewKeyReader& read) {
    for (int n = 1; n <= ViewSlotCount; ++n) {
        TViewSlot& s = slots[static_cast<size_t>(n - 1)];
        s.EyePos = read("EyePos", ViewSlotKey(n), -1);
        for (int e = 1; e <= 16; ++e)
            s.TMatrix[static_cast<size_t>(e - 1)] = read("TMatrix", ViewMatrixKey(n, e), -1);
        for (int e = 1; e <= 16; ++e)
            s.RMatrix[static_cast<size_t>(e - 1)] = read("RMatrix", ViewMatrixKey(n, e), -1);
    }
}

bool SaveViewPointFile(const std::string& path, const TViewSlots& slots) {
    // A fresh file: whatever the chosen file held (another view-point file, or a picture
    // picked under "All") is replaced whole, never merged into.
    TIniFile ini;
    WriteViewSlots(slots, [&](const std::string& section, const std::string& key, double v) {
        ini.WriteFloat(section, key, v);
    });
    return ini.SaveAs(path);
}

void EraseViewSlotSections(TIniFile& ini) {
    for (const char* section : {"EyePos", "TMatrix", "RMatrix"}) ini.EraseSection(section);
}

bool LoadViewPointFile(const std::string& path, TViewSlots& slots) {
    TIniFile ini(path);
    if (!ini.Loaded()) return false;
    ReadViewSlots(slots, [&](const std::string& section, const std::string& key, double def) {
        return ini.ReadFloat(section, key, def);
    });
    return true;
}

#include "Settings.h"

#include "app/ColorNames.h"
#include "input/Reader.h"

#include <algorithm>

namespace {

const char* const RecentSection = "RecentFiles";

std::string DirWithoutSlash(std::string d) {
    while (d.size() > 1 && d.back() == '/') d.pop_back();
    return d;
}

TColor ReadColor(const TIniFile& ini, const std::string& sec, const std::string& key, TColor def) {
    return StringToColor(ini.ReadString(sec, key, ""), def);
}

// As long as the entries the file holds (up to the last present one, at most `count`); a
// missing entry before it reads as white.
void ReadColorList(const TIniFile& ini, const char* section, int32_t count,
                   std::vector<TColor>& out) {
    count = std::clamp(count, 0, MaxSavedColors);
    int32_t held = 0;
    for (int32_t i = 0; i < count; ++i)
        if (ini.ValueExists(section, std::to_string(i))) held = i + 1;
    out.assign((size_t)held, 0xFFFFFF);
    for (int32_t i = 0; i < held; ++i)
        out[i] = ReadColor(ini, section, std::to_string(i), 0xFFFFFF);
}

void WriteColorList(TIniFile& ini, const char* section, const std::vector<TColor>& list) {
    for (size_t i = 0; i < list.size(); ++i)
        ini.WriteString(section, std::to_string(i), ColorToString(list[i]));
    // entries of a longer earlier list
    for (size_t i = list.size(); ini.ValueExists(section, std::to_string(i)); ++i)
        ini.DeleteKey(section, std::to_string(i));
}

} // namespace

void ReadSettings(const TIniFile& ini, const std::string& exeDir, TDisplaySettings& ds,
                  TDialogDirs& dirs, TMenuSettings& menus, TViewSlots& slots) {
    dirs.OpenDir = ini.ReadString("Dir", "OpenDir", exeDir);
    dirs.SaveDir = ini.ReadString("Dir", "SaveDir", exeDir);
    dirs.OpenChosen = dirs.SaveChosen = false;
    dirs.RecentFiles.clear();
    for (size_t i = 1; i <= MaxRecentFiles; ++i) {
        const std::string path = ini.ReadString(RecentSection, "File" + std::to_string(i), "");
        auto& list = dirs.RecentFiles;
        if (!path.empty() && std::find(list.begin(), list.end(), path) == list.end())
            list.push_back(path);
    }
    ds.ReadMax = ini.ReadInteger("Particle", "ReadMax", 1000);
    for (int kind = KindPhoton; kind <= KindPositron; ++kind) {
        std::string sec = "ParticleView" + std::to_string(kind);
        TParticleStyle def = DefaultParticleStyle(kind);
        TParticleStyle& s = ds.StyleOf(kind);
        s.OnOff = ini.ReadBool(sec, "OnOff", true);
        s.LineKind = ini.ReadInteger(sec, "LineKind", 0);
        if (s.LineKind < 0 || s.LineKind >= LineKindCount) s.LineKind = 0;
        s.LineWidth = std::clamp(ini.ReadInteger(sec, "LineWidth", 1), 1, MaxLineWidth);
        s.Color = ReadColor(ini, sec, "Color", def.Color);
        s.EgyRange = ini.ReadBool(sec, "EgyRange", false);
        s.EgyRangeS = ini.ReadFloat(sec, "EgyRangeS", 0);
        s.EgyRangeE = ini.ReadFloat(sec, "EgyRangeE", 1e15);
    }
    ds.ColorByEnergy = ini.ReadBool("Particle", "ColorByEnergy", false);
    ds.BackColor = ReadColor(ini, "GroundColor", "Back", 0x000000);
    ds.ForeColor = ReadColor(ini, "GroundColor", "Fore", 0xFFFFFF);
    menus.AxisData = ini.ReadInteger("AxisData", "OnOff", 1);
    menus.DrawType = ini.ReadInteger("DrawType", "DrawType", 1);
    menus.DirectionType = ini.ReadInteger("DirectionType", "DirectionType", 5);
    menus.ViewMode = ini.ReadInteger("ViewMode", "ViewMode", 0);
    // a hand-edited file must not distort the picture: each value within its sane range
    ds.ReviseRate = std::clamp(ini.ReadFloat("Revise", "Rate", 1e-6), 0.0, 1.0);
    ds.ReviseValue = std::clamp(ini.ReadFloat("Revise", "Value", 0.005), 0.0, MaxDataReal);
    ds.GeoWidth = std::clamp(ini.ReadFloat("GeoView", "Width", 1.0), MinGeoWidth,
                             static_cast<double>(MaxLineWidth));
    ds.LatchOn = ini.ReadBool("HViewData", "LatchFlg", true);
    ds.BrowserName = ini.ReadString("Browser", "Name", "/usr/bin/mozilla");
    ReadColorList(ini, "GColor", ini.ReadInteger("ColorCount", "Geo", 0), ds.GColor);
    ReadColorList(ini, "ZColor", ini.ReadInteger("ColorCount", "Zone", 0), ds.ZColor);
    ReadColorList(ini, "MColor", ini.ReadInteger("ColorCount", "Mat", 0), ds.MColor);
    ds.WaitTime = std::clamp(ini.ReadInteger("Animation", "Waittime", 1000), 0, MaxWaitTime);
    ReadViewSlots(slots, [&](const std::string& sec, const std::string& key, double def) {
        return ini.ReadFloat(sec, key, def);
    });
}

void ResetUnstoredSettings(TDisplaySettings& ds) {
    ds.ViewInfoType = 0;
    ds.DivSpace = 1.0;
    ds.DivSize = 0.25;
    ds.AllowSize = 1.0;
    ds.StrSize = 1.0;
    ds.Units = "cm";
    ds.StrSpace = 5;
    ds.HistRangeOn = false;
    ds.HistFrom = 0;
    ds.HistTo = 0;
    ds.HistStep = -1;
    ds.LastHistOn = true;
    ds.LastHistCount = 1;
    ds.CutOn = false;
    ds.CutBox = DefaultCutBox();
    ds.TimeOn = false;
}

void WriteSettings(TIniFile& ini, const TDisplaySettings& ds, const TDialogDirs& dirs,
                   const TMenuSettings& menus, const TViewSlots& slots) {
    if (dirs.OpenChosen) ini.WriteString("Dir", "OpenDir", DirWithoutSlash(dirs.OpenDir));
    if (dirs.SaveChosen) ini.WriteString("Dir", "SaveDir", DirWithoutSlash(dirs.SaveDir));
    ini.WriteInteger("Particle", "ReadMax", ds.ReadMax);
    for (int kind = KindPhoton; kind <= KindPositron; ++kind) {
        std::string sec = "ParticleView" + std::to_string(kind);
        const TParticleStyle& s = ds.StyleOf(kind);
        ini.WriteBool(sec, "OnOff", s.OnOff);
        ini.WriteInteger(sec, "LineKind", s.LineKind);
        ini.WriteInteger(sec, "LineWidth", s.LineWidth);
        ini.WriteString(sec, "Color", ColorToString(s.Color));
        ini.WriteBool(sec, "EgyRange", s.EgyRange);
        ini.WriteFloat(sec, "EgyRangeS", s.EgyRangeS);
        ini.WriteFloat(sec, "EgyRangeE", s.EgyRangeE);
    }
    ini.WriteBool("Particle", "ColorByEnergy", ds.ColorByEnergy);
    ini.WriteString("GroundColor", "Back", ColorToString(ds.BackColor));
    ini.WriteString("GroundColor", "Fore", ColorToString(ds.ForeColor));
    ini.WriteInteger("AxisData", "OnOff", menus.AxisData);
    ini.WriteInteger("DrawType", "DrawType", menus.DrawType);
    ini.WriteInteger("DirectionType", "DirectionType", menus.DirectionType);
    ini.WriteInteger("ViewMode", "ViewMode", menus.ViewMode);
    ini.WriteFloat("Revise", "Rate", ds.ReviseRate);
    ini.WriteFloat("Revise", "Value", ds.ReviseValue);
    ini.WriteFloat("GeoView", "Width", ds.GeoWidth);
    ini.WriteBool("HViewData", "LatchFlg", ds.LatchOn);
    ini.WriteString("Browser", "Name", ds.BrowserName);
    ini.WriteInteger("ColorCount", "Geo", (int32_t)ds.GColor.size());
    ini.WriteInteger("ColorCount", "Zone", (int32_t)ds.ZColor.size());
    ini.WriteInteger("ColorCount", "Mat", (int32_t)ds.MColor.size());
    WriteColorList(ini, "GColor", ds.GColor);
    WriteColorList(ini, "ZColor", ds.ZColor);
    WriteColorList(ini, "MColor", ds.MColor);
    ini.WriteInteger("Animation", "Waittime", ds.WaitTime);
    ini.EraseSection(RecentSection);
    for (size_t i = 0; i < dirs.RecentFiles.size() && i < MaxRecentFiles; ++i)
        ini.WriteString(RecentSection, "File" + std::to_string(i + 1), dirs.RecentFiles[i]);
    EraseViewSlotSections(ini);
    WriteViewSlots(slots, [&](const std::string& sec, const std::string& key, double v) {
        ini.WriteFloat(sec, key, v);
    });
}

void AddRecentFile(std::vector<std::string>& list, const std::string& path) {
    RemoveRecentFile(list, path);
    list.insert(list.begin(), path);
    if (list.size() > MaxRecentFiles) list.resize(MaxRecentFiles);
}

void RemoveRecentFile(std::vector<std::string>& list, const std::string& path) {
    list.erase(std::remove(list.begin(), list.end(), path), list.end());
}

#include "app/ColorNames.h"
#include "app/IniFile.h"
#include "app/Settings.h"
#include "app/resource.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
fs::path TempDir(const char* name) {
    fs::path p = fs::temp_directory_path() /
                 (std::string("trazon_app_") + name + "_" + std::to_string(::getpid()));
    fs::remove_all(p);
    fs::create_directories(p);
    return p;
}
} // namespace

TEST(ColorNames, NamedAndHexRoundTrip) {
    EXPECT_EQ(ColorToString(0x000000), "clBlack");
    EXPECT_EQ(ColorToString(0xFFFFFF), "clWhite");
    EXPECT_EQ(ColorToString(0x0000FF), "clRed");
    EXPECT_EQ(ColorToString(0xFF0000), "clBlue");
    EXPECT_EQ(ColorToString(0x00FFFF), "clYellow");
    EXPECT_EQ(ColorToString(0x123456), "$00123456");
    for (TColor c : {0x000000u, 0x0000FFu, 0x808080u, 0xC0C0C0u, 0x123456u, 0xABCDEFu, 0x010203u}) {
        TColor back = 1;
        ASSERT_TRUE(TryStringToColor(ColorToString(c), back)) << c;
        EXPECT_EQ(back, c);
    }
    TColor c = 0;
    EXPECT_TRUE(TryStringToColor("clltgray", c));
    EXPECT_EQ(c, 0xC0C0C0u);
    EXPECT_TRUE(TryStringToColor(" $00FF0000 ", c));
    EXPECT_EQ(c, 0xFF0000u);
    EXPECT_TRUE(TryStringToColor("255", c));
    EXPECT_EQ(c, 255u);
    for (const char* bad : {"", "clNoSuch", "$", "$XYZ", "-5", "$1234567890"})
        EXPECT_FALSE(TryStringToColor(bad, c)) << bad;
    EXPECT_EQ(StringToColor("garbage", 0x42), 0x42u);
}

TEST(IniFile, GeneralRealText) {
    EXPECT_EQ(FloatToStrGeneral(1e-6), "1E-6");
    EXPECT_EQ(FloatToStrGeneral(1e15), "1E15");
    EXPECT_EQ(FloatToStrGeneral(0.005), "0.005");
    EXPECT_EQ(FloatToStrGeneral(1000), "1000");
    EXPECT_EQ(FloatToStrGeneral(-2.5), "-2.5");
    EXPECT_EQ(FloatToStrGeneral(0), "0");
    EXPECT_EQ(FloatToStrGeneral(0.1 + 0.2), "0.3");
    EXPECT_EQ(FloatToStrGeneral(-1), "-1");
    TIniFile ini;
    ini.WriteFloat("S", "third", 1.0 / 3.0);
    EXPECT_NEAR(ini.ReadFloat("S", "third", 0), 1.0 / 3.0, 1e-15);
}

TEST(IniFile, KeepsUnknownKeysAndOrder) {
    TIniFile ini;
    ini.SetText("[Dir]\nMGOpenDir=/data/geo\nOpenDir=/old\n\n[Other]\nx=1\n");
    ini.WriteString("Dir", "OpenDir", "/new");
    ini.WriteString("Dir", "SaveDir", "/save");
    ini.WriteInteger("Fresh", "n", 7);
    EXPECT_EQ(ini.Text(),
              "[Dir]\nMGOpenDir=/data/geo\nOpenDir=/new\nSaveDir=/save\n\n[Other]\nx=1\n"
              "[Fresh]\nn=7\n");
    EXPECT_EQ(ini.ReadString("dir", "mgopendir", ""), "/data/geo"); // case-insensitive
    EXPECT_EQ(ini.ReadInteger("Other", "x", 0), 1);
    EXPECT_EQ(ini.ReadInteger("Other", "missing", 5), 5);
    ini.WriteString("Other", "y", "a=b");
    EXPECT_EQ(ini.ReadString("Other", "y", ""), "a=b");
    ini.WriteString("Other", "z", "two\nlines");
    TIniFile again;
    again.SetText(ini.Text());
    EXPECT_EQ(again.ReadString("Other", "z", ""), "two lines");
}

TEST(IniFile, GarbledOrMissingFileGivesDefaults) {
    fs::path dir = TempDir("garbled");
    TIniFile missing((dir / "none.ini").string());
    EXPECT_FALSE(missing.Loaded());
    EXPECT_EQ(missing.ReadInteger("Particle", "ReadMax", 1000), 1000);

    std::string junk;
    for (int i = 0; i < 5000; ++i) junk += (char)((i * 7919) % 256);
    junk +=
        "\n[Particle\nReadMax=notanumber\n[GroundColor]\nBack=$zz\n[ColorCount]\nGeo=2000000000\n";
    std::ofstream((dir / "bad.ini").string(), std::ios::binary) << junk;
    TIniFile bad((dir / "bad.ini").string());
    TDisplaySettings ds;
    TDialogDirs dirs;
    TMenuSettings menus;
    TViewSlots slots;
    ReadSettings(bad, "/exe/", ds, dirs, menus, slots);
    EXPECT_EQ(ds.ReadMax, 1000);
    EXPECT_EQ(ds.BackColor, 0x000000u);
    EXPECT_TRUE(ds.GColor.empty()); // the file holds no colour: none, not 2e9 white ones
    fs::remove_all(dir);
}

TEST(Settings, DefaultsWithoutFileAndWrittenKeys) {
    TIniFile ini;
    TDisplaySettings ds;
    ds.StyleOf(4).Color = 1; // ensure defaults come from the reader, not the record
    ds.BackColor = 0x123456;
    TDialogDirs dirs;
    TMenuSettings menus;
    menus.DirectionType = 99;
    TViewSlots slots;
    slots[2].EyePos = 5;
    ReadSettings(ini, "/exe/dir/", ds, dirs, menus, slots);
    EXPECT_EQ(ds.StyleOf(4).Color, 0x00FFFFu);
    EXPECT_EQ(ds.StyleOf(5).Color, 0x0000FFu);
    EXPECT_EQ(ds.StyleOf(6).Color, 0xFF0000u);
    for (int k = 4; k <= 6; ++k) {
        EXPECT_TRUE(ds.StyleOf(k).OnOff);
        EXPECT_EQ(ds.StyleOf(k).LineKind, 0);
        EXPECT_EQ(ds.StyleOf(k).LineWidth, 1);
        EXPECT_FALSE(ds.StyleOf(k).EgyRange);
        EXPECT_EQ(ds.StyleOf(k).EgyRangeE, 1e15);
    }
    EXPECT_EQ(ds.BackColor, 0x000000u);
    EXPECT_EQ(ds.ForeColor, 0xFFFFFFu);
    EXPECT_EQ(menus.AxisData, 1);
    EXPECT_EQ(menus.DrawType, 1);
    EXPECT_EQ(menus.DirectionType, 5);
    EXPECT_EQ(menus.ViewMode, 0);
    EXPECT_TRUE(ds.LatchOn);
    EXPECT_EQ(ds.ReadMax, 1000);
    EXPECT_EQ(ds.WaitTime, 1000);
    EXPECT_EQ(ds.ReviseRate, 1e-6);
    EXPECT_EQ(ds.ReviseValue, 0.005);
    EXPECT_EQ(ds.GeoWidth, 1.0);
    EXPECT_EQ(ds.BrowserName, "/usr/bin/mozilla");
    EXPECT_EQ(dirs.OpenDir, "/exe/dir/");
    for (const auto& s : slots) EXPECT_TRUE(s.Empty());

    WriteSettings(ini, ds, dirs, menus, slots);
    const std::string text = ini.Text();
    // every key of the table in its order; no directories (none chosen), no view points
    const char* expected[] = {"[Particle]",      "ReadMax=1000",
                              "[ParticleView4]", "OnOff=1",
                              "LineKind=0",      "LineWidth=1",
                              "Color=clYellow",  "EgyRange=0",
                              "EgyRangeS=0",     "EgyRangeE=1E15",
                              "[ParticleView5]", "Color=clRed",
                              "[ParticleView6]", "Color=clBlue",
                              "[GroundColor]",   "Back=clBlack",
                              "Fore=clWhite",    "[AxisData]",
                              "OnOff=1",         "[DrawType]",
                              "DrawType=1",      "[DirectionType]",
                              "DirectionType=5", "[ViewMode]",
                              "ViewMode=0",      "[Revise]",
                              "Rate=1E-6",       "Value=0.005",
                              "[GeoView]",       "Width=1",
                              "[HViewData]",     "LatchFlg=1",
                              "[Browser]",       "Name=/usr/bin/mozilla",
                              "[ColorCount]",    "Geo=0",
                              "Zone=0",          "Mat=0",
                              "[Animation]",     "Waittime=1000"};
    size_t at = 0;
    for (const char* e : expected) {
        size_t f = text.find(std::string(e) + "\n", at);
        ASSERT_NE(f, std::string::npos) << e << "\n" << text;
        at = f + 1;
    }
    EXPECT_EQ(text.find("[Dir]"), std::string::npos);
    EXPECT_EQ(text.find("EyePos"), std::string::npos);
}

TEST(Settings, RoundTripOfChangedValues) {
    TDisplaySettings ds;
    ds.StyleOf(5) = TParticleStyle{false, 0x123456, 2, 3, true, 0.25, 7.5};
    ds.BackColor = 0xFFFFFF;
    ds.ForeColor = 0x808080;
    ds.ReadMax = 42;
    ds.ReviseRate = 2e-7;
    ds.GeoWidth = 2.5;
    ds.LatchOn = false;
    ds.BrowserName = "/opt/my browser/firefox --new-window";
    ds.GColor = {0x0000FF, 0x00FF00};
    ds.MColor = {0xABCDEF};
    ds.WaitTime = 250;
    ds.ColorByEnergy = true;
    TDialogDirs dirs{"/data/in/", "/data/out", true, true, {"/data/in/run2.pic", "/data/in/run1.pic"}};
    TMenuSettings menus{0, 0, 3, 1};
    TViewSlots slots;
    double t[16], r[16];
    for (int i = 0; i < 16; ++i) t[i] = i * 0.5, r[i] = -i / 3.0;
    StoreViewSlot(slots, 4, 123.25, t, r);
    TIniFile ini;
    ini.SetText("[Dir]\nMGSaveDir=/keep/me\n");
    WriteSettings(ini, ds, dirs, menus, slots);

    TIniFile back;
    back.SetText(ini.Text());
    EXPECT_EQ(back.ReadString("Dir", "MGSaveDir", ""), "/keep/me");
    EXPECT_EQ(back.ReadString("Dir", "OpenDir", ""), "/data/in");
    TDisplaySettings rd;
    TDialogDirs rdirs;
    TMenuSettings rmenus;
    TViewSlots rslots;
    ReadSettings(back, "/x/", rd, rdirs, rmenus, rslots);
    const TParticleStyle& s = rd.StyleOf(5);
    EXPECT_FALSE(s.OnOff);
    EXPECT_EQ(s.Color, 0x123456u);
    EXPECT_EQ(s.LineKind, 2);
    EXPECT_EQ(s.LineWidth, 3);
    EXPECT_TRUE(s.EgyRange);
    EXPECT_EQ(s.EgyRangeS, 0.25);
    EXPECT_EQ(s.EgyRangeE, 7.5);
    EXPECT_EQ(rd.BackColor, 0xFFFFFFu);
    EXPECT_EQ(rd.ForeColor, 0x808080u);
    EXPECT_EQ(rd.ReadMax, 42);
    EXPECT_EQ(rd.ReviseRate, 2e-7);
    EXPECT_EQ(rd.GeoWidth, 2.5);
    EXPECT_FALSE(rd.LatchOn);
    EXPECT_EQ(rd.BrowserName, ds.BrowserName);
    EXPECT_EQ(rd.GColor, ds.GColor);
    EXPECT_TRUE(rd.ZColor.empty());
    EXPECT_EQ(rd.MColor, ds.MColor);
    EXPECT_EQ(rd.WaitTime, 250);
    EXPECT_TRUE(rd.ColorByEnergy);
    EXPECT_EQ(rmenus.AxisData, 0);
    EXPECT_EQ(rmenus.DrawType, 0);
    EXPECT_EQ(rmenus.DirectionType, 3);
    EXPECT_EQ(rmenus.ViewMode, 1);
    EXPECT_EQ(rdirs.SaveDir, "/data/out");
    EXPECT_EQ(rdirs.RecentFiles, dirs.RecentFiles);
    EXPECT_EQ(back.ReadString("RecentFiles", "File1", ""), "/data/in/run2.pic");
    EXPECT_FALSE(rslots[4 - 1].Empty());
    EXPECT_EQ(rslots[4 - 1].EyePos, 123.25);
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(rslots[3].TMatrix[i], t[i], 1e-14);
        EXPECT_NEAR(rslots[3].RMatrix[i], r[i], 1e-14);
    }
    for (int k = 0; k < 10; ++k)
        if (k != 3) {
            EXPECT_TRUE(rslots[k].Empty());
        }

    // a shorter colour list leaves no stale entries behind
    ds.GColor = {0x0000FF};
    WriteSettings(back, ds, dirs, menus, slots);
    EXPECT_FALSE(back.ValueExists("GColor", "1"));
}

TEST(Settings, SavedColourListsAreAsLongAsTheEntriesTheFileHolds) {
    TIniFile ini;
    ini.SetText("[ColorCount]\nGeo=3\nZone=4\nMat=2147483647\n[GColor]\n0=clRed\n"
                "[ZColor]\n0=clRed\n2=clBlue\n7=clBlue\n[MColor]\n0=clLime\n1=clRed\n");
    TDisplaySettings ds;
    TDialogDirs dirs;
    TMenuSettings menus;
    TViewSlots slots;
    ReadSettings(ini, "/", ds, dirs, menus, slots);
    EXPECT_EQ(ds.GColor, (std::vector<TColor>{0x0000FF}));
    // a gap before the last entry reads as white; entries beyond the count are not read
    EXPECT_EQ(ds.ZColor, (std::vector<TColor>{0x0000FF, 0xFFFFFF, 0xFF0000}));
    EXPECT_EQ(ds.MColor, (std::vector<TColor>{0x00FF00, 0x0000FF}));
    // and so the file written back stays as small as it was
    TIniFile back;
    WriteSettings(back, ds, dirs, menus, slots);
    EXPECT_EQ(back.ReadInteger("ColorCount", "Mat", -1), 2);
    EXPECT_LT(back.Text().size(), 2000u);
}

TEST(Settings, ValuesOutOfTheirRangeAreClamped) {
    TIniFile ini;
    ini.SetText("[ParticleView4]\nLineWidth=1000000\n[ParticleView5]\nLineWidth=-3\n"
                "[GeoView]\nWidth=-5\n[Revise]\nRate=1e300\nValue=-2\n"
                "[Animation]\nWaittime=2147483647\n");
    TDisplaySettings ds;
    TDialogDirs dirs;
    TMenuSettings menus;
    TViewSlots slots;
    ReadSettings(ini, "/", ds, dirs, menus, slots);
    EXPECT_EQ(ds.StyleOf(4).LineWidth, MaxLineWidth);
    EXPECT_EQ(ds.StyleOf(5).LineWidth, 1);
    EXPECT_EQ(ds.StyleOf(6).LineWidth, 1);
    EXPECT_EQ(ds.GeoWidth, MinGeoWidth);
    EXPECT_EQ(ds.ReviseRate, 1.0);
    EXPECT_EQ(ds.ReviseValue, 0.0);
    EXPECT_EQ(ds.WaitTime, MaxWaitTime);
    ini.SetText("[GeoView]\nWidth=1e9\n");
    ReadSettings(ini, "/", ds, dirs, menus, slots);
    EXPECT_EQ(ds.GeoWidth, double(MaxLineWidth));
    EXPECT_EQ(ds.ReviseRate, 1e-6); // defaults stay
}

TEST(IniFile, KeyLookupKeepsItsMeaningWithManyKeys) {
    // many keys: each lookup goes through the index, not along the lines
    std::string text = "[GColor]\n";
    for (int i = 0; i < 100000; ++i) text += std::to_string(i) + "=clRed\n";
    text += "[Dup]\nKey=first\nkey=second\n[dup]\nKEY=third\nOther=1\n\n";
    TIniFile ini;
    ini.SetText(text);
    for (int i = 0; i < 100000; ++i) ASSERT_TRUE(ini.ValueExists("gcolor", std::to_string(i))) << i;
    EXPECT_FALSE(ini.ValueExists("GColor", "100000"));
    EXPECT_EQ(ini.ReadString("DUP", "key", ""), "first"); // the first of duplicates
    ini.WriteString("Dup", "KEY", "changed");
    EXPECT_EQ(ini.ReadString("dup", "Key", ""), "changed");
    // a new key goes to the last section of that name, before its trailing blank line
    ini.WriteString("Dup", "New", "n");
    EXPECT_NE(ini.Text().find("Other=1\nNew=n\n\n"), std::string::npos);
    // deleting removes every entry of the key; erasing a section all its keys
    ini.DeleteKey("dup", "key");
    EXPECT_FALSE(ini.ValueExists("Dup", "Key"));
    EXPECT_EQ(ini.Text().find("second"), std::string::npos);
    ini.WriteString("Dup", "Key", "again");
    EXPECT_EQ(ini.ReadString("Dup", "Key", ""), "again");
    for (int i = 0; i < 100000; ++i) ini.DeleteKey("GColor", std::to_string(i));
    EXPECT_FALSE(ini.ValueExists("GColor", "5"));
    EXPECT_EQ(ini.Text().find("clRed"), std::string::npos);
    ini.EraseSection("DUP");
    EXPECT_FALSE(ini.SectionExists("Dup"));
    EXPECT_FALSE(ini.ValueExists("Dup", "Other"));
    EXPECT_EQ(ini.Text().find("Other"), std::string::npos);
    ini.WriteString("Dup", "Other", "2");
    EXPECT_EQ(ini.ReadInteger("Dup", "Other", 0), 2);
}

TEST(Settings, UnstoredValuesResetAtStart) {
    TDisplaySettings ds;
    ds.ViewInfoType = 2;
    ds.HistRangeOn = true;
    ds.HistStep = 4;
    ds.LastHistOn = false;
    ds.LastHistCount = 7;
    ds.CutOn = true;
    ds.CutBox.Params[0] = 5;
    ds.TimeOn = true;
    ds.Units = "km";
    ResetUnstoredSettings(ds);
    EXPECT_EQ(ds.ViewInfoType, 0);
    EXPECT_FALSE(ds.HistRangeOn);
    EXPECT_EQ(ds.HistStep, -1);
    EXPECT_TRUE(ds.LastHistOn);
    EXPECT_EQ(ds.LastHistCount, 1);
    EXPECT_FALSE(ds.CutOn);
    EXPECT_EQ(ds.CutBox.Symbol, "RPP");
    EXPECT_EQ(ds.CutBox.Params[0], 0);
    EXPECT_FALSE(ds.TimeOn);
    EXPECT_EQ(ds.Units, "cm");
    EXPECT_EQ(ds.DivSize, 0.25);
    EXPECT_EQ(ds.StrSpace, 5);
}

TEST(Settings, FileLocation) {
    fs::path dir = TempDir("loc");
    std::string exe = dir.string() + "/";
    EXPECT_EQ(SettingsFilePath(exe), exe + "trazon.ini");
    // A program directory that cannot take the file: the per-user configuration directory.
    fs::path conf = TempDir("conf");
    ::setenv("XDG_CONFIG_HOME", conf.c_str(), 1);
    EXPECT_EQ(SettingsFilePath("/nonexistent/trazon/bin/"), conf.string() + "/trazon/trazon.ini");
    EXPECT_TRUE(fs::is_directory(conf / "trazon"));
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(HelpPageUrl("/opt/trazon/", "index.html"), "file:///opt/trazon/help/index.html");
    fs::remove_all(dir);
    fs::remove_all(conf);
}

// A full disk (here: a file size limit) while the settings are saved: the old file stays
// whole, and the reason is given.
TEST(IniFile, FullDiskLeavesTheOldFileWhole) {
    fs::path dir = TempDir("fulldisk");
    const std::string path = (dir / "trazon.ini").string();
    std::string old = "[Recent]\n";
    for (int i = 0; i < 100; ++i) old += "File" + std::to_string(i) + "=/data/run" + std::to_string(i) + ".dat\n";
    std::ofstream(path) << old;
    pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit lim{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &lim);
        TIniFile ini(path);
        for (int i = 0; i < 200; ++i) ini.WriteString("Recent", "More" + std::to_string(i), "x");
        std::string error;
        _exit(!ini.UpdateFile(&error) && !error.empty() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::ifstream in(path);
    std::string now((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(now, old);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    fs::remove_all(dir);
}

// Slots emptied during a run (for example by loading a view-point file) lose their keys.
TEST(Settings, EmptiedSlotsAreRemovedFromTheFile) {
    TIniFile ini;
    ini.SetText("[EyePos]\nData3=5\nData4=6\n[TMatrix]\nData3_1=1\n[RMatrix]\nData3_16=2\n"
                "[Other]\nKeep=1\n");
    TDisplaySettings ds;
    TDialogDirs dirs;
    TMenuSettings menus;
    TViewSlots slots;
    ReadSettings(ini, "/", ds, dirs, menus, slots);
    ASSERT_FALSE(slots[2].Empty());
    slots[2] = TViewSlot();
    WriteSettings(ini, ds, dirs, menus, slots);
    TIniFile back;
    back.SetText(ini.Text());
    EXPECT_FALSE(back.ValueExists("EyePos", "Data3"));
    EXPECT_FALSE(back.ValueExists("TMatrix", "Data3_1"));
    EXPECT_FALSE(back.ValueExists("RMatrix", "Data3_16"));
    EXPECT_EQ(back.ReadFloat("EyePos", "Data4", -1), 6);
    EXPECT_EQ(back.ReadInteger("Other", "Keep", 0), 1);
    TViewSlots again;
    ReadSettings(back, "/", ds, dirs, menus, again);
    EXPECT_TRUE(again[2].Empty());
}

TEST(Settings, InstalledProgramKeepsSettingsPerUser) {
    // bin/ beside share/trazon: writable (as for root), yet the settings go per user
    fs::path prefix = TempDir("prefix");
    fs::create_directories(prefix / "bin");
    fs::create_directories(prefix / "share/trazon/help");
    fs::path conf = TempDir("conf2");
    ::setenv("XDG_CONFIG_HOME", conf.c_str(), 1);
    EXPECT_EQ(SettingsFilePath((prefix / "bin").string() + "/"),
              conf.string() + "/trazon/trazon.ini");
    ::unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(prefix);
    fs::remove_all(conf);
}

#include "ReaderTestUtil.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A small CG geometry (two bodies, two zones) with its material section.
const std::string Geo2 = "RPP 1 -1 1 -1 1 -1 1\n"
                         "SPH 2 0 0 0 3\n"
                         "END\n"
                         "Z1 1\n"
                         "Z2 2 -1\n"
                         "END\n"
                         "CEND\n"
                         "MSTA\n"
                         "2\n"
                         "1 0\n"
                         "MEND\n";

// One fixed-column history record line.
std::string FixedRecord(int kind, const char* x, const char* y, const char* z, const char* e,
                        const char* zone, const char* w, const char* t = nullptr) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "%1d%13s%13s%13s%10s%4s%10s", kind, x, y, z, e, zone, w);
    std::string s = buf;
    if (t) {
        std::snprintf(buf, sizeof buf, "%12s", t);
        s += buf;
    }
    return s + "\n";
}

} // namespace

TEST_F(ReaderFixture, SampleDataLoadsThroughTheReader) {
    TDataReader reader(Geometry, Tracks, Settings, Size);
    int refreshed = 0;
    reader.Hooks.RefreshLabels = [&] { ++refreshed; };
    ASSERT_TRUE(reader.LoadSample());
    EXPECT_EQ(refreshed, 1);
    ASSERT_EQ(Geometry.Bodies.size(), 10u);
    ASSERT_EQ(Geometry.Zones.size(), 7u);
    EXPECT_EQ(Tracks.size(), 21u);
    EXPECT_EQ(HistMax(Tracks), 2);
    EXPECT_FALSE(Settings.HasTime);
    // bodies: symbol, number, parameters, zero tail, palette colour of the 1-based position
    EXPECT_EQ(Geometry.Bodies[0].Symbol, "RCC");
    EXPECT_EQ(Geometry.Bodies[0].Number, 6);
    EXPECT_DOUBLE_EQ(Geometry.Bodies[0].Params[2], 6.1);
    EXPECT_DOUBLE_EQ(Geometry.Bodies[0].Params[6], 1.9);
    EXPECT_EQ(Geometry.Bodies[0].Params[7], 0.0);
    EXPECT_EQ(Geometry.BodyLooks[0].Color, PaletteColor(1));
    EXPECT_TRUE(Geometry.BodyLooks[0].Visible);
    // "Z2 5 -6 OR 8 -7 -5": groups (+5, -6) and (+8, -7, -5), as positions in Bodies
    const TZoneData& z2 = Geometry.Zones[1];
    EXPECT_EQ(z2.Name, "Z2");
    ASSERT_EQ(z2.BodyIndex.size(), 2u);
    EXPECT_EQ(z2.BodyIndex[0], (TMatrixAi{2, 0}));
    EXPECT_EQ(z2.Sign[0], (TMatrixAi{1, -1}));
    EXPECT_EQ(z2.BodyIndex[1], (TMatrixAi{3, 1, 2}));
    EXPECT_EQ(z2.Sign[1], (TMatrixAi{1, -1, -1}));
    EXPECT_EQ(z2.GroupOp, (TMatrixAc{'O', 'O'}));
    // materials 1 4 2 4 3 4 0: zone 7 is void, the table is in text order
    EXPECT_EQ(Geometry.Zones[6].Material, 0);
    EXPECT_FALSE(Geometry.ZoneLooks[6].Visible);
    EXPECT_TRUE(Geometry.ZoneLooks[0].Visible);
    EXPECT_EQ(Geometry.ZoneLooks[3].Color, PaletteColor(3));
    ASSERT_EQ(Geometry.Materials.size(), 4u);
    EXPECT_EQ(Geometry.Materials[3].Number, 4);
    EXPECT_EQ(Geometry.Materials[3].Color, PaletteColor(4));
    // track ends and latches
    EXPECT_EQ(Tracks[6].TrackEnd, -1);
    EXPECT_EQ(Tracks[5].TrackEnd, 0);
    EXPECT_EQ(Tracks[20].Latch, 1);
    EXPECT_EQ(Tracks[14].HistoryNo, 2);
    EXPECT_DOUBLE_EQ(Tracks[0].X, -0.85);
    EXPECT_EQ(Tracks[0].Weight, 1.0);
    // display range and scene-dependent settings
    EXPECT_EQ(Settings.HistFrom, 1);
    EXPECT_EQ(Settings.HistTo, 2);
    EXPECT_EQ(Settings.SceneSize, Size);
    EXPECT_GE(Size, 13.1);
}

TEST_F(ReaderFixture, LayoutsGiveTheSameModel) {
    const std::string free =
        "csta-free\n" + Geo2 + "0 1\n4 1.5 2 3 0.5 1 2.0\n-1\n9 -1\n0 2\n5 1 2 3 0.5 2\n";
    ASSERT_TRUE(Load(free)) << LastError;
    TTracks freeTracks = Tracks;
    ASSERT_EQ(freeTracks.size(), 2u);
    EXPECT_EQ(Geometry.Bodies.size(), 2u);
    EXPECT_EQ(freeTracks[0].Latch, -1);
    EXPECT_EQ(freeTracks[0].TrackEnd, -1);
    EXPECT_EQ(freeTracks[0].Weight, 2.0);
    EXPECT_EQ(freeTracks[1].Weight, 1.0); // missing weight at the end of the file
    EXPECT_EQ(freeTracks[1].Latch, 0);

    std::string csv = "CSTA-CSV\nRPP,1,-1,1,-1,1,-1,1\nSPH,2,0,0,0,3\nEND\nZ1,1\nZ2,2,-1\nEND\n"
                      "CEND\nMSTA\n2\n1,0\nMEND\n0,1\n4, 1.5 ,2,3,0.5,1,2.0\n-1\n9,-1\n0,2\n"
                      "5,1,2,3,0.5,2\n";
    ASSERT_TRUE(Load(csv)) << LastError;
    ASSERT_EQ(Tracks.size(), 2u);
    EXPECT_EQ(Tracks[0].X, 1.5);
    EXPECT_EQ(Tracks[0].Latch, -1);
    EXPECT_EQ(Geometry.Zones[1].Sign[0], (TMatrixAi{1, -1}));

    std::string fixed = "CSTA\n" + Geo2 + "0 1\n" +
                        FixedRecord(4, "1.5", "2", "3", "0.5", "1", "2.0") + "-1\n" + "9   -1\n" +
                        "0 2\n" + FixedRecord(5, "1", "2", "3", "0.5", "2", "");
    ASSERT_TRUE(Load(fixed)) << LastError;
    ASSERT_EQ(Tracks.size(), 2u);
    EXPECT_EQ(Tracks[0].X, 1.5);
    EXPECT_EQ(Tracks[0].Weight, 2.0);
    EXPECT_EQ(Tracks[0].Latch, -1);
    EXPECT_EQ(Tracks[1].Weight, 1.0); // empty weight columns read as 1
    EXPECT_EQ(Tracks[1].Kind, 5);
    EXPECT_EQ(Tracks[1].HistoryNo, 2);
}

TEST_F(ReaderFixture, TimeColumn) {
    // fixed columns with the time in columns 65-76
    std::string fixed = "CSTA-TIME\n" + Geo2 + "0 1\n" +
                        FixedRecord(4, "1", "2", "3", "0.5", "1", "1.0", "2.5E-9") +
                        FixedRecord(4, "1", "2", "4", "0.5", "1", "1.0", "") + "9 1\n";
    ASSERT_TRUE(Load(fixed)) << LastError;
    EXPECT_TRUE(Settings.HasTime);
    ASSERT_EQ(Tracks.size(), 2u);
    EXPECT_DOUBLE_EQ(Tracks[0].Time, 2.5e-9);
    EXPECT_EQ(Tracks[1].Time, 0.0);
    EXPECT_DOUBLE_EQ(Settings.MaxTime, 2.5e-9);

    // "CSTA TIME" as two tokens: the second one is read as a body symbol
    std::string twoTokens =
        "CSTA TIME\n" + Geo2 + "0 1\n" + FixedRecord(4, "1", "2", "3", "0.5", "1", "1.0", "7.5");
    EXPECT_FALSE(Load(twoTokens));
    EXPECT_EQ(LastError, Composed("Read Body Symbol Error", "TIME", "1"));
    // the time columns are cut only when the first line has "TIME" in capitals
    std::string lower = "CSTA-time\n" + Geo2 + "0 1\n" +
                        FixedRecord(4, "1", "2", "3", "0.5", "1", "1.0", "7.5") +
                        FixedRecord(4, "8", "2", "3", "0.5", "1", "1.0", "7.5");
    EXPECT_FALSE(Load(lower));
    EXPECT_EQ(LastError, Composed("Read Particle Kind Error", "8", "15"));

    // CSV: an empty weight gives weight 1 and time 0, and no time token is read
    std::string csv = "CSTA-CSV-TIME\nRPP,1,-1,1,-1,1,-1,1\nEND\nZ1,1\nEND\nCEND\nMSTA\n1\n1\n"
                      "MEND\n0,1\n4,1,2,3,0.5,1,,7\n";
    EXPECT_FALSE(Load(csv));
    EXPECT_EQ(LastError, Composed("Read Particle Kind Error", "7", "12"));
    csv = "CSTA-CSV-TIME\nRPP,1,-1,1,-1,1,-1,1\nEND\nZ1,1\nEND\nCEND\nMSTA\n1\n1\nMEND\n0,1\n"
          "4,1,2,3,0.5,1,,\n4,1,2,3,0.5,1,1,4e2\n4,1,2,3,0.5,1,1,\n";
    ASSERT_TRUE(Load(csv)) << LastError;
    ASSERT_EQ(Tracks.size(), 3u);
    EXPECT_EQ(Tracks[0].Weight, 1.0);
    EXPECT_EQ(Tracks[1].Time, 400.0);
    EXPECT_EQ(Tracks[2].Time, 0.0);
    EXPECT_EQ(Settings.MaxTime, 400.0);
}

TEST_F(ReaderFixture, GeneratedLayouts) {
    ASSERT_TRUE(Load("GSTA-FREE\nSPHR 3 1 2 3\nMSTA 3\n1 2 3\nMEND\n")) << LastError;
    ASSERT_EQ(Geometry.Bodies.size(), 3u);
    EXPECT_EQ(Geometry.Bodies[2].Symbol, "SPH");
    EXPECT_EQ(Geometry.Bodies[2].Number, 3);
    EXPECT_EQ(Geometry.Bodies[2].Params[3], 3.0);
    EXPECT_EQ(Geometry.BodyLooks[0].Color, PaletteColor(0)); // 0-based for generated bodies
    EXPECT_EQ(Geometry.Zones[0].Name, "1");
    EXPECT_EQ(Geometry.Zones[0].BodyIndex[0], (TMatrixAi{0}));
    EXPECT_EQ(Geometry.Zones[2].BodyIndex[0], (TMatrixAi{2, 1}));
    EXPECT_EQ(Geometry.Zones[2].Sign[0], (TMatrixAi{1, -1}));

    // CYLS and SLAB skip one more count token in the material section
    ASSERT_TRUE(Load("GSTA-FREE\nCYLS 2 3 1.0 2.0 0.0 5.0 10.0\nMSTA 4 x\n1 2 1 2\nMEND\n"))
        << LastError;
    ASSERT_EQ(Geometry.Bodies.size(), 4u);
    EXPECT_EQ(Geometry.Zones[0].BodyIndex[0], (TMatrixAi{0}));
    EXPECT_EQ(Geometry.Zones[1].BodyIndex[0], (TMatrixAi{1, 0}));
    EXPECT_EQ(Geometry.Zones[2].BodyIndex[0], (TMatrixAi{2}));
    EXPECT_EQ(Geometry.Zones[3].BodyIndex[0], (TMatrixAi{3, 2}));
    const TGeoData& b3 = Geometry.Bodies[3];
    EXPECT_EQ(b3.Symbol, "RCC");
    EXPECT_EQ(b3.Params[2], 5.0);
    EXPECT_EQ(b3.Params[5], 5.0);
    EXPECT_EQ(b3.Params[6], 2.0);
    EXPECT_EQ(Geometry.Zones[3].Material, 2);

    ASSERT_TRUE(Load("GSTA-FREE\nSLAB 3 2 2 0 1 2 0 1 0 4\nMSTA 2 x\n5 6\nMEND\n")) << LastError;
    ASSERT_EQ(Geometry.Bodies.size(), 2u);
    EXPECT_EQ(Geometry.Bodies[1].Symbol, "RPP");
    EXPECT_EQ(Geometry.Bodies[1].Params[0], 1.0);
    EXPECT_EQ(Geometry.Bodies[1].Params[1], 2.0);
    EXPECT_EQ(Geometry.Bodies[1].Params[5], 4.0);

    // counts that make no body, or far too many, are rejected instead of exhausting memory
    EXPECT_FALSE(Load("GSTA\nCYLS 1 1 1.0 0.0\n"));
    EXPECT_EQ(LastError, Composed("Read Body Parameter Error", "1", "2"));
    // (a lattice is bounded by memory and 2^31 cells, and says which bound it met)
    EXPECT_FALSE(Load("GSTA\nSLAB 60000 60000 60000\n"));
    EXPECT_EQ(LastError, Composed("Read Body Parameter Error (lattice of 215989200179999 cells; "
                                  "at most 2147483648)",
                                  "60000", "2"));
    EXPECT_FALSE(Load("GSTA\nSPHR 2 1.0 x\n"));
    EXPECT_EQ(LastError, Composed("Read Body Parameter Error", "X", "2"));
    EXPECT_FALSE(Load("GSTA\nCONE 2\n"));
    EXPECT_EQ(LastError, Composed("Not found keyword SPHR or SLAB or CYLS", "CONE", "2"));
}

TEST_F(ReaderFixture, ErrorMessagesNameTokenAndLine) {
    struct Case {
        std::string text, message, token, line;
    };
    const std::string head = "CSTA-FREE\n" + Geo2 + "0 1\n";
    const Case cases[] = {
        {"", "Not found keyword CSTA or GSTA", "", ""},
        {"TITLE\n", "Not found keyword CSTA or GSTA", "TITLE", "1"},
        {"CSTA-FREE TITLE\n", "Read Body Symbol Error", "TITLE", "1"},
        {"CSTA\nXYZ 1 0 1 0 1 0 1\n", "Read Body Symbol Error", "XYZ", "2"},
        {"CSTA\nRPP 0 0 1 0 1 0 1\n", "Read Body Number Error", "0", "2"},
        {"CSTA\nRPP 100000 0 1 0 1 0 1\n", "Read Body Number Error", "100000", "2"},
        {"CSTA\nRPP 1.5 0 1 0 1 0 1\n", "Read Body Number Error", "1.5", "2"},
        {"CSTA\nRPP 1 0 1\n0 a 0 1\n", "Read Body Parameter Error", "A", "3"},
        {"CSTA\nRPP 1 0 1 0 1\n", "Read Body Parameter Error", "", ""},
        // sizes whose squares overflow
        {"CSTA\nSPH 1 0 0 0 1e308\n",
         "Read Body Parameter Error (out of range: |value| > 1.3E+154)", "1E308", "2"},
        {"CSTA\nRPP 1 0 1 0 1 -2e154 1\n",
         "Read Body Parameter Error (out of range: |value| > 1.3E+154)", "-2E154", "2"},
        {"GSTA\nSPHR 2 1.0 1e200\n", "Read Body Parameter Error (out of range: |value| > 1.3E+154)",
         "1E200", "2"},
        {"CSTA\nRPP 1 0 1 0 1 0 1\nEND\nZ1 1 X\n", "Read Zone Parameter Error", "X", "4"},
        {"CSTA\nRPP 1 0 1 0 1 0 1\nEND\n1\n", "Read Zone Parameter Error", "1", "4"},
        {"CSTA\nRPP 1 0 1 0 1 0 1\nEND\nZ1 1\nEND\nCEND\n", "Not found keyword MSTA", "", ""},
        {"CSTA\n" + Geo2.substr(0, Geo2.find("MSTA")) + "MSTA\n2\n1 MEND\n",
         "Read Material Number Error", "MEND", "11"},
        {"CSTA\n" + Geo2.substr(0, Geo2.find("MEND")), "Not found keyword MEND", "", ""},
        {head + "0 x\n", "Read History Number Error", "X", "14"},
        {head + "0 99999999999\n", "Read History Number Error", "99999999999", "14"},
        {head + "4 1 2 3 1 1 1\n9 x\n", "Read Latch Error", "X", "15"},
        {head + "7 1 2 3 1 1 1\n", "Read Particle Kind Error", "7", "14"},
        {head + "4 a 2 3 1 1 1\n", "Read Particle X coordinate Error", "A", "14"},
        {head + "4 1 a 3 1 1 1\n", "Read Particle Y coordinate Error", "A", "14"},
        {head + "4 1 2 a 1 1 1\n", "Read Particle Z coordinate Error", "A", "14"},
        {head + "4 1 2 1e999 1 1 1\n", "Read Particle Z coordinate Error", "1E999", "14"},
        {head + "4 1 2 3 a 1 1\n", "Read Particle Reaction Energy Error", "A", "14"},
        {head + "4 1 2 3 1 1.5 1\n", "Read Particle Reaction Zone Error", "1.5", "14"},
        {head + "4 1 2 3 1 1 a\n", "Read Particle Weight Error", "A", "14"},
        {"CSTA-FREE-TIME\n" + Geo2 + "0 1\n4 1 2 3 1 1 1 a\n", "Read Particle time Error", "A",
         "14"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        // a good load first, so that an error must also throw the old model away
        ASSERT_TRUE(Load(head + "4 1 2 3 1 1 1\n"));
        Shown.clear();
        ShowCount = 0;
        EXPECT_FALSE(Load(c.text));
        EXPECT_EQ(LastError, Composed(c.message, c.token, c.line));
        EXPECT_EQ(Shown, LastError);
        EXPECT_EQ(ShowCount, 1);
        ExpectEmptyModel();
        EXPECT_EQ(Size, 0.0);
        EXPECT_FALSE(Settings.HasTime);
    }
}

TEST_F(ReaderFixture, BodyNumberErrorComposedExactly) {
    EXPECT_FALSE(Load("CSTA\nRPP 1 0 1 0 1 0 1\nRPP 0 0 1 0 1 0 1\n"));
    EXPECT_EQ(LastError, "error : Read Body Number Error\nReadStr : 0\nLine : 3\n");
}

TEST_F(ReaderFixture, ZoneTermsAndMaterials) {
    // duplicate body numbers: the first wins; unknown numbers and the most negative 32-bit
    // number give -1; "-0" is a positive term
    std::string text = "CSTA-FREE\nRPP 4 0 1 0 1 0 1\nRPP 4 0 2 0 2 0 2\nEND\n"
                       "Z1 4 -7 -2147483648 -0\nZ2 4\nZ3 4\nZ4 4\nEND\nignored tokens\nCEND\n"
                       "between MSTA\n4\n2 10 1 2 extra\nMEND\n";
    ASSERT_TRUE(Load(text)) << LastError;
    EXPECT_EQ(Geometry.Zones[0].BodyIndex[0], (TMatrixAi{0, -1, -1, -1}));
    EXPECT_EQ(Geometry.Zones[0].Sign[0], (TMatrixAi{1, -1, -1, 1}));
    ASSERT_EQ(Geometry.Materials.size(), 3u);
    EXPECT_EQ(Geometry.Materials[0].Number, 1);
    EXPECT_EQ(Geometry.Materials[1].Number, 10);
    EXPECT_EQ(Geometry.Materials[2].Number, 2);
    EXPECT_EQ(Geometry.Materials[1].Color, PaletteColor(10));
    // a term naming no body is a body that contains no point
    TMatrixAi found;
    FindZone(Geometry.Bodies, Geometry.Zones, found, 0.5, 0.5, 0.5);
    EXPECT_EQ(found, (TMatrixAi{1, 2, 3}));
    EXPECT_TRUE(Tracks.empty());
    EXPECT_EQ(Settings.HistFrom, 0);
    EXPECT_EQ(Settings.HistTo, 0);

    // "CEND" may be left out when "MSTA" follows the zone cards
    ASSERT_TRUE(Load("CSTA\nRPP 1 0 1 0 1 0 1\nEND\nZ1 1\nEND\nMSTA\n1\n3\nMEND\n")) << LastError;
    EXPECT_EQ(Geometry.Zones[0].Material, 3);
}

TEST_F(ReaderFixture, HistorySection) {
    std::string head = "CSTA-FREE\n" + Geo2;
    // ReadMax stops quietly; what was read stays
    Settings.ReadMax = 2;
    ASSERT_TRUE(Load(head + "0 1\n4 1 2 3 1 1 1\n0 2\n4 1 2 3 1 1 1\n0 3\n4 1 2 3 1 1 1\n"));
    EXPECT_EQ(Tracks.size(), 2u);
    EXPECT_EQ(HistMax(Tracks), 2);
    Settings.ReadMax = 1000;
    // "9" at the very end has an empty latch token: latch 1; "-1" before any point is ignored
    ASSERT_TRUE(Load(head + "-1\n0 1\n4 1 2 3 1 1 1\n9\n"));
    ASSERT_EQ(Tracks.size(), 1u);
    EXPECT_EQ(Tracks[0].Latch, 1);
    // the scene size takes the signed coordinates
    ASSERT_TRUE(Load(head + "0 5\n4 -50 -60 -70 1 1 1\n4 1 20 3 1 1 1\n"));
    EXPECT_EQ(Settings.HistFrom, 1);
    EXPECT_EQ(Settings.HistTo, 5);
    EXPECT_GE(Size, 20.0);
    EXPECT_LT(Size, 50.0);
}

// Body sizes whose squares overflow are rejected (see the error table); large ones below that
// are kept, and the scene size covers them although the squares of their bounds overflow.
TEST_F(ReaderFixture, LargeBodySizesKeepTheSceneSizeFinite) {
    ASSERT_TRUE(
        Load("CSTA\nSPH 1 1e154 1e154 1e154 1e154\nEND\nZ1 1\nEND\nCEND\nMSTA\n1\n1\nMEND\n"))
        << LastError;
    EXPECT_TRUE(std::isfinite(Size));
    EXPECT_NEAR(Size, 2e154 * std::sqrt(3.0), 1e140);
}

// "Z1 1 OR" keeps its trailing empty group, which holds no point.
TEST_F(ReaderFixture, TrailingOrLeavesAnEmptyGroupThatHoldsNoPoint) {
    ASSERT_TRUE(Load("CSTA\nSPH 1 0 0 0 1\nEND\nZ1 1 OR\nZ2 -1\nEND\nCEND\nMSTA\n2\n1 0\nMEND\n"))
        << LastError;
    ASSERT_EQ(Geometry.Zones[0].BodyIndex.size(), 2u);
    EXPECT_TRUE(Geometry.Zones[0].BodyIndex[1].empty());
    TMatrixAi found;
    EXPECT_EQ(FindZone(Geometry.Bodies, Geometry.Zones, found, 5, 0, 0), 1);
    EXPECT_EQ(found, TMatrixAi{1});
    EXPECT_EQ(FindZone(Geometry.Bodies, Geometry.Zones, found, 0, 0, 0), 1);
    EXPECT_EQ(found, TMatrixAi{0});
}

// All histories negative: HistMax is the largest of them, not -1.
TEST_F(ReaderFixture, NegativeHistoryNumbers) {
    ASSERT_TRUE(Load("CSTA-FREE\n" + Geo2 + "0 -5\n4 1 2 3 1 1 1\n-1\n0 -3\n4 1 2 3 1 1 1\n-1\n"));
    EXPECT_EQ(HistMax(Tracks), -3);
    EXPECT_EQ(Settings.HistFrom, 0);
    EXPECT_EQ(Settings.HistTo, 0);
    // the last history (-3) is drawn: its one point
    ASSERT_EQ(SelectTracks(Tracks, Settings).size(), 1u);
    EXPECT_EQ(SelectTracks(Tracks, Settings)[0].Index, 1u);
}

TEST_F(ReaderFixture, PostLoadSettingsAndHooks) {
    Settings.GColor = {0x123456};
    Settings.ZColor = {0x111111, 0x222222, 0x333333};
    Settings.MColor = {0xABCDEF};
    Settings.CutOn = true;
    TDataReader reader(Geometry, Tracks, Settings, Size);
    std::string order;
    reader.Hooks.CutBoxChanged = [&] { order += "C"; };
    reader.Hooks.ResetCamera = [&] { order += "R"; };
    reader.Hooks.RebuildBodies = [&] {
        order += "B";
        EXPECT_TRUE(Geometry.Bodies[0].Prep.Ready); // engine constants are ready for meshes
    };
    reader.Hooks.RefreshLabels = [&] { order += "L"; };
    ASSERT_TRUE(reader.Load(WriteData("CSTA-FREE\n" + Geo2 + "0 1\n4 1 2 35 1 1 1\n")));
    EXPECT_EQ(order, "CRBL");
    EXPECT_EQ(Geometry.BodyLooks[0].Color, 0x123456u);
    EXPECT_EQ(Geometry.BodyLooks[1].Color, PaletteColor(2));
    EXPECT_EQ(Geometry.ZoneLooks[1].Color, 0x222222u);
    EXPECT_EQ(Geometry.Materials[0].Color, 0xABCDEFu);
    // size 35 (the track point): unit 100
    EXPECT_DOUBLE_EQ(Settings.SceneSize, 35.0);
    EXPECT_DOUBLE_EQ(Settings.AxisLength, 42.0);
    EXPECT_DOUBLE_EQ(Settings.DivSpace, 1.0);
    EXPECT_DOUBLE_EQ(Settings.DivSize, 0.25);
    EXPECT_DOUBLE_EQ(Settings.StrSize, 1.0);
    EXPECT_DOUBLE_EQ(Settings.AllowSize, 1.0);
    EXPECT_EQ(Settings.Units, "cm");
    EXPECT_FALSE(Settings.CutOn);
    EXPECT_EQ(Settings.CutBox.Symbol, "RPP");
    EXPECT_EQ(Settings.CutBox.Number, 0);
    EXPECT_EQ(Settings.CutBox.Params[0], -100.0);
    EXPECT_EQ(Settings.CutBox.Params[5], 100.0);

    // a scene of size 0 (all coordinates negative, no bodies) keeps the axis marks finite
    ASSERT_TRUE(Load("GSTA-FREE\nSPHR 1 0\nMSTA 1\n1\nMEND\n0 1\n4 -1 -2 -3 1 1 1\n"));
    EXPECT_GT(Settings.DivSpace, 0.0);
    EXPECT_TRUE(std::isfinite(Settings.DivSpace));
}

TEST_F(ReaderFixture, MalformedInputNeverMixesModels) {
    const std::string good = "CSTA-FREE\n" + Geo2 + "0 1\n4 1 2 3 1 1 1\n";
    const char raw[] = "CSTA\n\0\xff\xfe\x01 RPP\n";
    std::string binary(raw, sizeof raw - 1);
    std::string longLine = "CSTA-FREE\n" + std::string(3 << 20, 'A') + "\n";
    std::string manyTokens = "CSTA-FREE\nRPP 1" + std::string(1 << 20, ' ') + "x\n";
    for (const std::string& bad : {binary, longLine, manyTokens}) {
        ASSERT_TRUE(Load(good));
        EXPECT_FALSE(Load(bad));
        ExpectEmptyModel();
    }
    EXPECT_EQ(LastError, Composed("Read Body Parameter Error", "X", "2"));
    // a missing file: one message, empty model
    ASSERT_TRUE(Load(good));
    EXPECT_FALSE(LoadFile("/nonexistent/dir/file.dat"));
    ExpectEmptyModel();
    EXPECT_NE(LastError.find("/nonexistent/dir/file.dat"), std::string::npos);
}

TEST_F(ReaderFixture, TokenPassWritesOneTokenPerLineWithItsSourceLine) {
    TDataReader reader(Geometry, Tracks, Settings, Size);
    ASSERT_TRUE(reader.PrepareTokens(WriteData("CSTA-FREE\n  rpp  \"a b\"\t1\r\n\n\"\" \"x\"y\n")));
    std::ifstream div(WorkFilePath(DivFileName)), line(WorkFilePath(LineFileName));
    std::stringstream d, l;
    d << div.rdbuf();
    l << line.rdbuf();
    EXPECT_EQ(d.str(), "CSTA-FREE\nRPP\nA B\t1\nXY\n");
    EXPECT_EQ(l.str(), "1\n2\n2\n4\n");
}

TEST(WorkFiles, PrivateDirectoryPerProcess) {
    std::string dir = WorkDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_EQ(access(dir.c_str(), W_OK), 0);
    EXPECT_EQ(WorkFilePath(DummyFileName), dir + "dummy.tmp");
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    if (child == 0) {
        // a second copy of the program gets a directory of its own
        std::string own = WorkDir();
        char same = (own == dir || own.empty()) ? 1 : 0;
        (void)!write(fds[1], &same, 1);
        RemoveWorkDir();
        _exit(0);
    }
    char same = 1;
    ASSERT_EQ(read(fds[0], &same, 1), 1);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(same, 0);
    EXPECT_EQ(access(dir.c_str(), W_OK), 0); // the child did not remove ours
    RemoveWorkDir();
    EXPECT_NE(access(dir.c_str(), F_OK), 0);
    EXPECT_NE(WorkDir(), dir);
}

TEST(WorkFiles, RemovedWhenTheProgramIsTerminated) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    if (child == 0) {
        std::string dir = WorkDir();
        WriteSampleData();
        char buf[512] = {};
        dir.copy(buf, sizeof buf - 1);
        (void)!write(fds[1], buf, sizeof buf);
        raise(SIGTERM);
        _exit(0);
    }
    char buf[512] = {};
    ASSERT_EQ(read(fds[0], buf, sizeof buf), static_cast<ssize_t>(sizeof buf));
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)); // still ends by the signal
    ASSERT_NE(buf[0], 0);
    EXPECT_NE(access(buf, F_OK), 0);
}

TEST_F(ReaderFixture, PostLoadOutOfMemoryIsAReadError) {
    // The meshes are built after the model is read; running out of memory there must end in
    // the reader's error message and an empty model, not in an abort.
    TDataReader reader(Geometry, Tracks, Settings, Size);
    reader.Hooks.ShowError = [this](const std::string& t) {
        Shown += t;
        ++ShowCount;
    };
    reader.Hooks.RebuildBodies = [] { throw std::bad_alloc(); };
    EXPECT_FALSE(reader.LoadSample());
    EXPECT_EQ(ShowCount, 1);
    EXPECT_EQ(Shown.rfind("error : Out of memory\n", 0), 0u) << Shown;
    ExpectEmptyModel();
}

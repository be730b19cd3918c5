// The one-pass load against the two passes through the work files: the same model, the same
// message (text, token, line number) and one message per failed load, on intact and damaged
// files in every layout.
#include "ReaderTestUtil.h"

#include <random>

namespace {

struct TLoaded {
    bool Ok = false;
    std::string Error;
    int Shown = 0;
    TGeometry Geometry;
    TTracks Tracks;
    TDisplaySettings Settings;
    double Size = 1000.0;
};

void LoadWith(const std::string& path, bool onePass, int32_t readMax, size_t maxLine,
              TLoaded& out) {
    out.Settings.ReadMax = readMax;
    TDataReader reader(out.Geometry, out.Tracks, out.Settings, out.Size);
    reader.MaxLineLength = maxLine;
    reader.Hooks.ShowError = [&out](const std::string&) { ++out.Shown; };
    if (onePass)
        out.Ok = reader.Load(path);
    else
        out.Ok = reader.PrepareTokens(path) && reader.ReadDataFile(WorkFilePath(DivFileName));
    out.Error = reader.LastError();
}

// Bitwise equality of the two models, with the first difference named.
std::string Difference(const TLoaded& a, const TLoaded& b) {
    if (a.Ok != b.Ok) return "success differs";
    if (a.Error != b.Error) return "error: [" + a.Error + "] against [" + b.Error + "]";
    if (a.Shown != b.Shown) return "messages shown differ";
    if (a.Size != b.Size) return "scene size differs";
    if (a.Settings.HasTime != b.Settings.HasTime || a.Settings.MaxTime != b.Settings.MaxTime)
        return "time column differs";
    const TGeometry &g = a.Geometry, &h = b.Geometry;
    if (g.Bodies.size() != h.Bodies.size()) return "body count differs";
    for (size_t i = 0; i < g.Bodies.size(); ++i)
        if (g.Bodies[i].Symbol != h.Bodies[i].Symbol || g.Bodies[i].Number != h.Bodies[i].Number ||
            g.Bodies[i].Params != h.Bodies[i].Params)
            return "body " + std::to_string(i) + " differs";
    if (g.Zones.size() != h.Zones.size()) return "zone count differs";
    for (size_t i = 0; i < g.Zones.size(); ++i)
        if (g.Zones[i].Name != h.Zones[i].Name || g.Zones[i].BodyIndex != h.Zones[i].BodyIndex ||
            g.Zones[i].Sign != h.Zones[i].Sign || g.Zones[i].Material != h.Zones[i].Material)
            return "zone " + std::to_string(i) + " differs";
    if (g.Materials.size() != h.Materials.size()) return "material count differs";
    if (a.Tracks.size() != b.Tracks.size())
        return "track points: " + std::to_string(a.Tracks.size()) + " against " +
               std::to_string(b.Tracks.size());
    for (size_t i = 0; i < a.Tracks.size(); ++i) {
        const TrackPoint p = a.Tracks[i], q = b.Tracks[i];
        if (p.HistoryNo != q.HistoryNo || p.Kind != q.Kind || p.X != q.X || p.Y != q.Y ||
            p.Z != q.Z || p.Energy != q.Energy || p.Zone != q.Zone || p.Weight != q.Weight ||
            p.Time != q.Time || p.Latch != q.Latch || p.TrackEnd != q.TrackEnd)
            return "track point " + std::to_string(i) + " differs";
    }
    return {};
}

// A small file of three histories in the given layout.
std::string Base(const std::string& layout, bool time) {
    const bool csv = layout == "csv", fixed = layout == "fixed";
    const std::string sep = csv ? "," : " ";
    std::string t = std::string(fixed ? "CSTA" : csv ? "CSTA-CSV" : "CSTA-FREE") +
                    (time ? "-TIME" : "") + "\n";
    t += "RPP" + sep + "1" + sep + "-5" + sep + "5" + sep + "-5" + sep + "5" + sep + "-5" + sep +
         "5\n";
    t += "SPH" + sep + "2" + sep + "0" + sep + "0" + sep + "0" + sep + "2\nEND\n";
    t += "Z1" + sep + "2\nZ2" + sep + "1" + sep + "-2\nEND\nCEND\nMSTA\n2\n1" + sep + "3\nMEND\n";
    for (int h = 1; h <= 3; ++h) {
        t += "0" + sep + std::to_string(h) + "\n";
        for (int k = 0; k < 4; ++k) {
            char line[128];
            const double x = h * 0.5 - k, y = k * 0.25, z = -1.5 + h, e = 1.0 / (k + 1);
            const double w = k == 2 ? 0.5 : 1.0, tm = 0.1 * (k + h);
            if (fixed)
                std::snprintf(line, sizeof line, "%1d%13.5E%13.5E%13.5E%10.3E%4d%10.3E", 4 + k % 3,
                              x, y, z, e, 1 + k % 2, w);
            else
                std::snprintf(line, sizeof line, "%d%s%.4E%s%.4E%s%.4E%s%.4E%s%d%s%.3E", 4 + k % 3,
                              sep.c_str(), x, sep.c_str(), y, sep.c_str(), z, sep.c_str(), e,
                              sep.c_str(), 1 + k % 2, sep.c_str(), w);
            t += line;
            if (time) {
                if (fixed)
                    std::snprintf(line, sizeof line, "%12.4E", tm);
                else
                    std::snprintf(line, sizeof line, "%s%.4E", sep.c_str(), tm);
                t += line;
            }
            t += "\n";
            if (k == 1 || k == 3) t += "-1\n";
        }
        t += (h == 2 ? "9" + sep + "-1\n" : "9" + sep + "1\n");
    }
    return t;
}

// One random change: a byte removed, changed, doubled or made NUL, a line doubled or dropped,
// a long line or stray tokens put in, the file cut.
std::string Damaged(std::string t, std::mt19937& rnd) {
    auto pick = [&rnd](size_t n) { return n ? static_cast<size_t>(rnd() % n) : 0; };
    const size_t at = pick(t.size());
    switch (rnd() % 9) {
    case 0:
        t.erase(at, 1);
        break;
    case 1:
        t[at] = "0123456789-+.eEZ xq,\"\t\r"[pick(23)];
        break;
    case 2:
        t.insert(at, 1, t[at]);
        break;
    case 3:
        t[at] = '\0';
        break;
    case 4: {
        const size_t b = t.rfind('\n', at), e = t.find('\n', at);
        const size_t from = b == std::string::npos ? 0 : b + 1;
        if (e != std::string::npos) t.insert(from, t.substr(from, e - from + 1));
        break;
    }
    case 5: {
        const size_t b = t.rfind('\n', at), e = t.find('\n', at);
        const size_t from = b == std::string::npos ? 0 : b + 1;
        if (e != std::string::npos) t.erase(from, e - from + 1);
        break;
    }
    case 6:
        t.insert(t.rfind('\n', at) == std::string::npos ? 0 : t.rfind('\n', at) + 1,
                 std::string(300, 'x') + "\n");
        break;
    case 7:
        t.insert(at, " 0 7 -1 9 ");
        break;
    default:
        t.resize(at);
        break;
    }
    return t;
}

} // namespace

TEST_F(ReaderFixture, OnePassLoadEqualsTheTwoPasses) {
    std::mt19937 rnd(2024);
    int compared = 0, failed = 0;
    for (const char* layout : {"free", "csv", "fixed"})
        for (bool time : {false, true}) {
            const std::string base = Base(layout, time);
            for (int round = 0; round < 150; ++round) {
                std::string text = base;
                const int changes = round == 0 ? 0 : 1 + static_cast<int>(rnd() % 3);
                for (int c = 0; c < changes; ++c) text = Damaged(text, rnd);
                const std::string path = WriteData(text, "onepass.dat");
                const int32_t readMax = round % 5 == 4 ? 2 : 1000;
                const size_t maxLine = round % 3 == 2 ? 200 : size_t{16} << 20;
                TLoaded one, two;
                LoadWith(path, true, readMax, maxLine, one);
                LoadWith(path, false, readMax, maxLine, two);
                ++compared;
                failed += !one.Ok;
                EXPECT_EQ(Difference(one, two), "")
                    << layout << (time ? "-time" : "") << " round " << round << ":\n" << text;
                EXPECT_EQ(one.Shown, one.Ok ? 0 : 1);
                if (round == 0) {
                    EXPECT_TRUE(one.Ok) << one.Error;
                    EXPECT_EQ(one.Tracks.size(), 12u);
                }
            }
        }
    // the damage must have reached the error paths as well as the good ones
    EXPECT_GT(failed, compared / 5);
    EXPECT_LT(failed, compared);
}

TEST_F(ReaderFixture, OnePassLoadWritesNoWorkFiles) {
    std::remove(WorkFilePath(DivFileName).c_str());
    ASSERT_TRUE(Load(Base("free", false)));
    EXPECT_FALSE(std::ifstream(WorkFilePath(DivFileName)).good());
    EXPECT_FALSE(std::ifstream(WorkFilePath(LineFileName)).good());
}

// A fault of the file itself is told before a read error earlier in the file, as the token
// pre-pass, which reads all of the file first, tells it.
TEST_F(ReaderFixture, OnePassLoadTellsFileFaultsFirst) {
    const std::string head = "CSTA-FREE\nRPP 0 0 1 0 1 0 1\nEND\n";
    std::string text = head;
    for (int k = 0; k < 10; ++k) text += "Z1 1\n";
    text += std::string(20000, 'y') + "\nmore\n";
    TDataReader reader(Geometry, Tracks, Settings, Size);
    reader.MaxLineLength = 10000;
    reader.Hooks.ShowError = [this](const std::string&) { ++ShowCount; };
    EXPECT_FALSE(reader.Load(WriteData(text)));
    EXPECT_EQ(reader.LastError().rfind("error : Read Line Too Long Error\n", 0), 0u)
        << reader.LastError();
    EXPECT_NE(reader.LastError().find("\nLine : 14\n"), std::string::npos) << reader.LastError();
    EXPECT_EQ(ShowCount, 1);
    // after the histories above ReadMax too
    Settings.ReadMax = 1;
    reader.MaxLineLength = 100;
    EXPECT_FALSE(reader.Load(WriteData("CSTA-FREE\nSPH 1 0 0 0 1\nEND\nZ1 1\nEND\nCEND\nMSTA\n1\n1\n"
                                       "MEND\n0 1\n4 0 0 0 1 1 1\n0 2\n" +
                                       std::string(200, '4') + "\n")));
    EXPECT_EQ(reader.LastError().rfind("error : Read Line Too Long Error\n", 0), 0u)
        << reader.LastError();
    ExpectEmptyModel();
}

// Track points need memory as they come: where there is no more, the load ends with the usual
// read error (naming the record it stopped at) instead of exhausting the machine.
TEST_F(ReaderFixture, TrackPointsBeyondTheMemoryLimitAreAReadError) {
    std::string text = "CSTA-FREE\nSPH 1 0 0 0 1\nEND\nZ1 1\nEND\nCEND\nMSTA\n1\n1\nMEND\n0 1\n";
    const int points = 140000; // more than two blocks of points
    for (int i = 0; i < points; ++i) text += "4 1 2 3 1 1 1\n";
    const std::string path = WriteData(text, "many.dat");
    TDataReader reader(Geometry, Tracks, Settings, Size);
    reader.Hooks.ShowError = [this](const std::string&) { ++ShowCount; };
    reader.MemoryLimit = 2 * TTracks::BlockBytes(false) + (TTracks::BlockBytes(false) >> 1);
    EXPECT_FALSE(reader.Load(path));
    EXPECT_EQ(reader.LastError(), Composed("Out of memory", "4", std::to_string(11 + 2 * 65536 + 1)));
    EXPECT_EQ(ShowCount, 1);
    ExpectEmptyModel();
    // with room for them all, the same file loads
    reader.MemoryLimit = 4 * TTracks::BlockBytes(false);
    EXPECT_TRUE(reader.Load(path)) << reader.LastError();
    EXPECT_EQ(Tracks.size(), static_cast<size_t>(points));
}

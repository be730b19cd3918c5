#include "tools/core/GeoEditorFile.h"
#include "tools/core/GeoTable.h"
#include "tools/core/GeoValidate.h"
#include "tools/core/GeoWriter.h"
#include "input/FileWrite.h"
#include "input/Reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

// A body row: symbol, number, parameters.
void AddBody(TGeoTable& t, const std::vector<std::string>& cells) {
    if (t.size() == 2 &&
        std::all_of(t[1].begin(), t[1].end(), [](const std::string& s) { return s.empty(); }))
        t.pop_back();
    TGeoRow row(GeoColCount);
    for (size_t i = 0; i < cells.size(); ++i) row[i + 1] = cells[i];
    t.push_back(row);
}

// A zone row: material, then terms.
void AddZone(TGeoTable& t, const std::vector<std::string>& cells) {
    if (t.size() == 2 &&
        std::all_of(t[1].begin() + 1, t[1].end(), [](const std::string& s) { return s.empty(); }))
        t.pop_back();
    TGeoRow row(ZoneColCount);
    for (size_t i = 0; i < cells.size(); ++i) row[i + 1] = cells[i];
    t.push_back(row);
    TableRenumber(t, 1, true);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string l;
    while (std::getline(in, l)) out.push_back(l);
    return out;
}

std::string Check(const TGeoTable& bodies, const TGeoTable& zones) {
    TGeoTable b = bodies, z = zones;
    return ValidateGeometry(b, z).Message;
}

std::string CheckBody(const std::vector<std::string>& cells) {
    TGeoTable b = MakeBodyTable(1), z = MakeZoneTable(1);
    AddBody(b, cells);
    z[1][1] = "0";
    return Check(b, z);
}

struct TTempDir {
    std::filesystem::path Path;
    TTempDir() {
        std::string t = (std::filesystem::temp_directory_path() / "editor-test-XXXXXX").string();
        Path = mkdtemp(t.data());
    }
    ~TTempDir() { std::filesystem::remove_all(Path); }
    std::string operator/(const std::string& n) const { return (Path / n).string(); }
};

std::string ReadFile(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// A small valid geometry used by the round trips.
void SampleTables(TGeoTable& b, TGeoTable& z) {
    b = MakeBodyTable(1);
    z = MakeZoneTable(1);
    AddBody(b, {"RPP", "1", "-10", "10", "-10", "10", "-10", "10"});
    AddBody(b, {"SPH", "2", "0", "0", "0", "5"});
    AddBody(b, {"RCC", "3", "0", "0", "-20", "0", "0", "40", "2.5"});
    AddBody(b, {"BOX", "4", "0", "0", "0", "1", "0", "0", "0", "2", "0", "0", "0", "3"});
    AddZone(z, {"1", "2"});
    AddZone(z, {"2", "1", "-2", "OR", "3", "-2"});
    AddZone(z, {"0", "-1"});
    AddZone(z, {"3", "4"});
}

} // namespace

// ---- validation ---------------------------------------------------------------------------

TEST(EditorValidate, BodyMessagesInRuleOrder) {
    struct TCase {
        std::vector<std::string> Cells;
        const char* Message;
    } cases[] = {
        {{"", "1"}, "geometry error : Geometry Symbol is blank at Row 1"},
        {{"XYZ", "1"}, "geometry error : Geometry Symbol is blank at Row 1"},
        {{"SPH", "0", "0", "0", "0", "1"},
         "geometry error : Geometry Number is Out of Range(1 to 99999) at Row1"},
        {{"SPH", "100000", "0", "0", "0", "1"},
         "geometry error : Geometry Number is Out of Range(1 to 99999) at Row1"},
        {{"SPH", "-3", "0", "0", "0", "1"},
         "geometry error : Geometry Number is Out of Range(1 to 99999) at Row1"},
        {{"SPH", "1.5", "0", "0", "0", "1"},
         "geometry error : Geometry Number is Out of Range(1 to 99999) at Row1"},
        {{"SPH", "1", "0", "0", "x", "1"},
         "geometry error : Geometry Data in Row1 is not enough [input 4 items]"},
        {{"SPH", "1", "0", "0", "0"},
         "geometry error : Geometry Data in Row1 is not enough [input 4 items]"},
        {{"RPP", "1", "0", "0", "0", "1", "0", "1"},
         "geometry error : RPP Data is reverse order at Row1"},
        {{"RPP", "1", "0", "1", "0", "1", "2", "1"},
         "geometry error : RPP Data is reverse order at Row1"},
        {{"RCC", "1", "0", "0", "0", "0", "0", "0", "-1"}, "geometry error : Vector is 0 at Row1"},
        {{"RCC", "1", "0", "0", "0", "0", "0", "1", "0"},
         "geometry error : Radius is minus at Row1"},
        {{"SPH", "1", "0", "0", "0", "-1"}, "geometry error : Radius is minus at Row1"},
        {{"TRC", "1", "0", "0", "0", "0", "0", "0", "1", "1"},
         "geometry error : Vector is 0 at Row1"},
        {{"TRC", "1", "0", "0", "0", "0", "0", "1", "0", "0"},
         "geometry error : Radius is minus at Row1"},
        {{"TOR", "1", "0", "0", "0", "5", "0", "0", "0", "3"},
         "geometry error : Radius is minus at Row1"},
        {{"TOR", "1", "0", "0", "0", "5", "1", "-361", "0", "3"},
         "geometry error : TOR's Angular range is -360 to 360 at Row1"},
        {{"TOR", "1", "0", "0", "0", "5", "1", "0", "360.5", "3"},
         "geometry error : TOR's Angular range is -360 to 360 at Row1"},
        {{"TOR", "1", "0", "0", "0", "5", "1", "0", "0", "2.5"},
         "geometry error : TOR's Axis is 1(X),2(Y),3(Z) at Row1"},
        {{"BOX", "1", "0", "0", "0", "1", "0", "0", "0", "1", "0", "0", "0", "0"},
         "geometry error : Vector is 0 at Row1"},
        {{"BOX", "1", "0", "0", "0", "1", "0.0002", "0", "0", "1", "0", "0", "0", "1"},
         "geometry error : In Row1. Vector A1 and A2 is not a right angle(0.00020>1E-4)"},
        {{"WED", "1", "0", "0", "0", "1", "0", "0", "0", "1", "0", "1", "0", "1"},
         "geometry error : In Row1. Vector A1 and A3 is not a right angle(0.70711>1E-4)"},
        {{"GEL", "1", "0", "0", "0", "1", "0", "0", "0", "1", "0", "0", "1", "1"},
         "geometry error : In Row1. Vector A2 and A3 is not a right angle(0.70711>1E-4)"},
        {{"REC", "1", "0", "0", "0", "0", "0", "0", "1", "0", "0", "0", "1", "0"},
         "geometry error : Vector is 0 at Row1"},
        {{"TEC", "1", "0", "0", "0", "0", "0", "1", "1", "0", "0", "0", "0", "0", "0.5"},
         "geometry error : Radius is minus at Row1"},
        {{"REC", "1", "0", "0", "0", "0", "0", "1", "1", "0", "1", "0", "1", "0"},
         "geometry error : In Row1. Height Vector and Rad1 Vector is not a right "
         "angle(0.70711>1E-4)"},
        {{"REC", "1", "0", "0", "0", "0", "0", "1", "1", "0", "0", "0", "1", "1"},
         "geometry error : In Row1. Height Vector and Rad2 Vector is not a right "
         "angle(0.70711>1E-4)"},
        {{"TEC", "1", "0", "0", "0", "0", "0", "1", "1", "0", "0", "1", "1", "0", "0.5"},
         "geometry error : In Row1. Rad1 and Rad2 Vector is not a right angle(0.70711>1E-4)"},
        {{"ELL", "1", "0", "0", "0", "1", "0", "0", "0"},
         "geometry error : Radius is minus at Row1"},
        {{"HAF", "1", "0", "0", "0", "5"}, "geometry error : Vector is 0 at Row1"},
        {{"HEX", "1", "0", "0", "0", "0", "0", "0", "1", "1", "0", "0"},
         "geometry error : Vector is 0 at Row1"},
        {{"HEX", "1", "0", "0", "0", "0", "0", "1", "-1", "1", "0", "0"},
         "geometry error : Radius is minus at Row1"},
        {{"HEX", "1", "0", "0", "0", "0", "0", "1", "1", "1", "0", "1"},
         "geometry error : In Row1. Height Vector and Direction Vector is not a right "
         "angle(0.70711>1E-4)"},
    };
    for (const auto& c : cases) EXPECT_EQ(CheckBody(c.Cells), c.Message) << c.Cells[0];
}

TEST(EditorValidate, BoundaryValuesThatPass) {
    // TRC with one positive radius; TOR at the angle limits; ARB face code 9999
    EXPECT_EQ(CheckBody({"TRC", "1", "0", "0", "0", "0", "0", "1", "5", "-3"}), "");
    EXPECT_EQ(CheckBody({"TRC", "1", "0", "0", "0", "0", "0", "1", "-5", "3"}), "");
    EXPECT_EQ(CheckBody({"TOR", "1", "0", "0", "0", "5", "1", "-360", "360", "2"}), "");
    EXPECT_EQ(CheckBody({"SPH", "99999", "0", "0", "0", "1"}), "");
    EXPECT_EQ(CheckBody({"SPH", "+7", "1e1", "-2.5E-01", ".5", "1"}), "");
    // the 13th TEC parameter has no rule; nearly right angles below 1E-4 pass
    EXPECT_EQ(CheckBody({"TEC", "1", "0", "0", "0", "0", "0", "1", "1", "0", "0.00005", "0", "1",
                         "0", "-7"}),
              "");
    std::vector<std::string> arb = {"ARB", "1"};
    for (int k = 0; k < 24; ++k) arb.push_back(std::to_string(k % 3));
    for (const char* f : {"1234", "5678", "1256", "3478", "1357", "9999"}) arb.push_back(f);
    EXPECT_EQ(CheckBody(arb), "");
    arb.back() = "10000";
    EXPECT_EQ(CheckBody(arb), "geometry error : ARB's SurfaceData is Range(0 to 9999) at Row1");
    arb.back() = "0";
    arb[26] = "-1";
    EXPECT_EQ(CheckBody(arb), "geometry error : ARB's SurfaceData is Range(0 to 9999) at Row1");
}

TEST(EditorValidate, EmptyBodyTableFailsAtOnce) {
    EXPECT_EQ(Check(MakeBodyTable(1), MakeZoneTable(1)),
              "geometry error : Geometry Symbol is blank at Row 1");
}

TEST(EditorValidate, NormalisesCellsUpToTheFailingRow) {
    TGeoTable b = MakeBodyTable(1), z = MakeZoneTable(1);
    AddBody(b, {"  sph ", " 1 ", "0", "0", "0", "1"});
    AddBody(b, {" rpp", "2 ", "1", "0", "0", "1", "0", "1"}); // reverse order
    AddBody(b, {" rcc ", " 3", "0", "0", "0", "0", "0", "1", "1"});
    AddZone(z, {" 1 ", " 1 "});
    TGeoCheck res = ValidateGeometry(b, z);
    EXPECT_FALSE(res.Ok);
    EXPECT_FALSE(res.IsZone);
    EXPECT_EQ(res.Row, 2);
    EXPECT_EQ(b[1][1], "SPH");
    EXPECT_EQ(b[1][2], "1");
    EXPECT_EQ(b[2][1], "RPP");
    EXPECT_EQ(b[2][2], "2");
    EXPECT_EQ(b[3][1], " rcc "); // never reached
    EXPECT_EQ(z[1][1], " 1 ");   // zones not reached

    b[2][3] = "-1";
    res = ValidateGeometry(b, z);
    EXPECT_TRUE(res.Ok) << res.Message;
    EXPECT_EQ(b[3][1], "RCC");
    EXPECT_EQ(z[1][1], "1");
    EXPECT_EQ(z[1][2], "1");
}

TEST(EditorValidate, ZoneMessages) {
    TGeoTable b = MakeBodyTable(1);
    AddBody(b, {"SPH", "5", "0", "0", "0", "1"});
    AddBody(b, {"SPH", "7", "0", "0", "0", "2"});
    auto zone = [&](std::vector<std::string> cells, int row = 1) {
        TGeoTable z = MakeZoneTable(1);
        for (int r = 1; r < row; ++r) AddZone(z, {"1", "5"});
        AddZone(z, cells);
        return Check(b, z);
    };
    EXPECT_EQ(zone({"1", "5", "or", "-7"}), "");
    EXPECT_EQ(zone({"-4", "5", "", "", "-7"}), ""); // gaps skipped, any material
    EXPECT_EQ(zone({"0"}), "");                     // a zone without terms passes
    EXPECT_EQ(zone({"", "5"}), "zone error : No definition material at Z0001");
    EXPECT_EQ(zone({"x", "5"}), "zone error : No definition material at Z0001");
    EXPECT_EQ(zone({"1", "OR", "5"}), "zone error : Zone Data's Start Char is \"OR\" at Z0001");
    EXPECT_EQ(zone({"1", "5", "OR"}), "zone error : Zone Data's End Char is \"OR\" at Z0001");
    EXPECT_EQ(zone({"1", "5", "OR", "OR", "7"}), "zone error : Z0001 is two consecutive \"OR\"");
    EXPECT_EQ(zone({"1", "5", "OR", "OR"}), "zone error : Zone Data's End Char is \"OR\" at Z0001");
    EXPECT_EQ(zone({"1", "5", "AND", "7"}), "zone error : Z0001 ,Body AND is None");
    EXPECT_EQ(zone({"1", "8"}, 3), "zone error : Z0003 ,Geometry Number 8 is None");
    EXPECT_EQ(zone({"1", "-8"}, 12), "zone error : Z0012 ,Geometry Number 8 is None");
    EXPECT_EQ(zone({"1", "-0"}), "zone error : Z0001 ,Geometry Number 0 is None");
    // the reader takes a material as a 32-bit integer; one that does not fit is no material
    EXPECT_EQ(zone({"2147483647", "5"}), "");
    EXPECT_EQ(zone({"-2147483648", "5"}), "");
    EXPECT_EQ(zone({"3000000000", "5"}), "zone error : No definition material at Z0001");
    EXPECT_EQ(zone({"-2147483649", "5"}), "zone error : No definition material at Z0001");
}

TEST(EditorValidate, BodyNumbersMayRepeatAndZoneRowAbove9999KeepsItsNumber) {
    TGeoTable b = MakeBodyTable(1);
    AddBody(b, {"SPH", "5", "0", "0", "0", "1"});
    AddBody(b, {"SPH", "5", "0", "0", "0", "2"});
    TGeoTable z = MakeZoneTable(12345);
    for (size_t r = 1; r < z.size(); ++r) z[r][1] = "1";
    z[12345][2] = "9";
    EXPECT_EQ(Check(b, z), "zone error : Z12345 ,Geometry Number 9 is None");
}

// ---- blank-separated and CSV layout ---------------------------------------------------------

TEST(EditorWriter, ViewerFileOfOneBox) {
    TGeoTable b = MakeBodyTable(1), z = MakeZoneTable(1);
    AddBody(b, {"RPP", "1", "0", "10", "0", "10", "0", "10"});
    AddZone(z, {"1", "1"});
    std::vector<std::string> l = Lines(FormatBlankSeparated(b, z, true));
    ASSERT_EQ(l.size(), 11u);
    EXPECT_EQ(l[0], "CSTA-FREE");
    EXPECT_EQ(l[1], "  RPP    1            0           10            0           10            0");
    EXPECT_EQ(l[2], std::string(10, ' ') + std::string(11, ' ') + "10" + std::string(52, ' '));
    EXPECT_EQ(l[3], "  END");
    EXPECT_EQ(l[4], "Z0001         1");
    EXPECT_EQ(l[5], "  END");
    EXPECT_EQ(l[6], "CEND");
    EXPECT_EQ(l[7], "MSTA");
    EXPECT_EQ(l[8], "1");
    EXPECT_EQ(l[9], "   1 ");
    EXPECT_EQ(l[10], "MEND");
    // the editor file has the same cards without the sections
    std::string plain = FormatBlankSeparated(b, z, false);
    EXPECT_EQ(plain.substr(0, 6), "  RPP ");
    EXPECT_EQ(Lines(plain).back(), "   1 ");
    EXPECT_EQ(Lines(plain).size(), 6u);
}

TEST(EditorWriter, SkippedParameterGroupLeadsTheNextLine) {
    TGeoTable b = MakeBodyTable(1), z = MakeZoneTable(1);
    AddBody(b, {"ARB", "7", "1", "2", "3", "4", "5", "", "", "", "", "", "11"});
    std::vector<std::string> l = Lines(FormatBlankSeparated(b, z, false));
    ASSERT_GE(l.size(), 3u);
    EXPECT_EQ(l[0].size(), 10u + 5 * 13);
    // ten blanks of the restarted line, 65 of the empty group 6-10, then parameter 11
    EXPECT_EQ(l[1].substr(0, 75), std::string(75, ' '));
    EXPECT_EQ(l[1].substr(75, 13), " " + std::string(10, ' ') + "11");
    EXPECT_EQ(l[1].size(), 75u + 5 * 13);
    EXPECT_EQ(l[2], "  END");
}

TEST(EditorWriter, ZoneLinesOfSevenTermsAndLongTerms) {
    TGeoTable b = MakeBodyTable(1), z = MakeZoneTable(1);
    AddZone(z, {"1", "1", "2", "3", "4", "5", "6", "7"});
    AddZone(z, {"2", "1", "2", "3", "4", "OR", "5", "6", "7", "8", "9"});
    AddZone(z, {"3", "1234567", "2", "3", "4", "5", "6", "7", "8"});
    AddZone(z, {"4", "1", "OR"});
    std::vector<std::string> l = Lines(FormatBlankSeparated(b, z, false));
    ASSERT_EQ(l.size(), 8u);
    EXPECT_EQ(l[0], "  END");
    EXPECT_EQ(l[1], "Z0001         1         2         3         4         5         6         7");
    EXPECT_EQ(l[1].size(), 75u);
    // "OR" and its body count as one term
    EXPECT_EQ(l[2], "Z0002         1         2         3         4 OR      5         6         7");
    EXPECT_EQ(l[3], "              8         9");
    // a seven-character term: the line never meets 75 and runs on
    EXPECT_EQ(l[4], "Z0003    1234567         2         3         4         5         6         "
                    "7         8");
    // a trailing "OR" is written alone
    EXPECT_EQ(l[5], "Z0004         1 OR       ");
    EXPECT_EQ(l[6], "  END");
    EXPECT_EQ(l[7], "   1    2    3    4 ");
}

TEST(EditorWriter, SixteenMaterialsTakeTwoLines) {
    TGeoTable b = MakeBodyTable(1), z = MakeZoneTable(16);
    for (int r = 1; r <= 16; ++r) z[static_cast<size_t>(r)][1] = " " + std::to_string(r) + " ";
    std::vector<std::string> l = Lines(FormatBlankSeparated(b, z, true));
    ASSERT_GE(l.size(), 3u);
    EXPECT_EQ(l[l.size() - 4], "16");
    EXPECT_EQ(l[l.size() - 3], "   1    2    3    4    5    6    7    8    9   10   11   12   13 "
                               "  14   15 ");
    EXPECT_EQ(l[l.size() - 2], "  16 ");
    EXPECT_EQ(l.back(), "MEND");
}

// A cell holding only blanks (as CANCEL leaves every empty cell) writes nothing.
TEST(EditorWriter, BlankZoneCellsWriteNothing) {
    TGeoTable b = MakeBodyTable(1), z = MakeZoneTable(1);
    AddBody(b, {"SPH", "1", "0", "0", "0", "1"});
    AddZone(z, {"1", "1"});
    for (size_t c = 3; c < z[1].size(); ++c) z[1][c] = " ";
    std::vector<std::string> l = Lines(FormatBlankSeparated(b, z, false));
    ASSERT_EQ(l.size(), 5u);
    EXPECT_EQ(l[2], "Z0001         1");
    EXPECT_EQ(l[3], "  END");
}

TEST(EditorWriter, CsvLayout) {
    TGeoTable b = MakeBodyTable(1), z = MakeZoneTable(1);
    AddBody(b, {"RPP", "1", "0", "10", "0", "10", "0", "10"});
    AddBody(b, {});
    AddZone(z, {"1", "1", " ", "OR", "-1"});
    AddZone(z, {"2"});
    std::vector<std::string> l = Lines(FormatCsv(b, z));
    ASSERT_EQ(l.size(), 7u);
    EXPECT_EQ(l[0], "RPP,1,0,10,0,10,0,10,");
    EXPECT_EQ(l[1], "");
    EXPECT_EQ(l[2], "END");
    EXPECT_EQ(l[3], "Z0001,1,OR,-1,");
    EXPECT_EQ(l[4], "Z0002,");
    EXPECT_EQ(l[5], "END");
    EXPECT_EQ(l[6], "1,2,");
    // 50 materials a line
    TGeoTable big = MakeZoneTable(51);
    for (size_t r = 1; r < big.size(); ++r) big[r][1] = "7";
    l = Lines(FormatCsv(b, big));
    EXPECT_EQ(l[l.size() - 2].size(), 100u);
    EXPECT_EQ(l.back(), "7,");
}

TEST(EditorWriter, AtomicWriteReplacesOrLeavesTheTarget) {
    TTempDir dir;
    std::string err;
    std::string target = dir / "a.geo";
    ASSERT_TRUE(WriteFileReplacing(target, "one\n", err)) << err;
    ASSERT_TRUE(WriteFileReplacing(target, "two\n", err)) << err;
    EXPECT_EQ(ReadFile(target), "two\n");
    // no temporary file is left behind
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_FALSE(WriteFileReplacing(dir / "missing/b.geo", "x", err));
    EXPECT_FALSE(err.empty());
    EXPECT_TRUE(HasCsvExtension("/x/y.CsV"));
    EXPECT_FALSE(HasCsvExtension("/x.csv/y"));
    EXPECT_FALSE(HasCsvExtension("/x/ycsv"));
}

TEST(EditorWriter, CellsThatWouldSplitOnReading) {
    TGeoTable b = MakeBodyTable(1), z = MakeZoneTable(1);
    AddBody(b, {" RPP ", "1", "0", "1,5"});
    AddZone(z, {"1", "2 3"});
    TSplitCell where;
    ASSERT_TRUE(FindSplitCell(b, z, true, where));
    EXPECT_FALSE(where.IsZone);
    EXPECT_EQ(where.Row, 1);
    EXPECT_EQ(where.Col, 4);
    ASSERT_TRUE(FindSplitCell(b, z, false, where));
    EXPECT_TRUE(where.IsZone);
    EXPECT_EQ(where.Col, 2);
    EXPECT_EQ(where.Text, "2 3");
    z[1][2] = "3";
    EXPECT_FALSE(FindSplitCell(b, z, false, where)); // blanks around a cell are fine
}

// ---- reading editor files back ------------------------------------------------------------

// Only the cells that hold text, so a blank row and a missing one compare alike.
std::string Filled(const TGeoTable& t) {
    std::string s;
    for (size_t r = 1; r < t.size(); ++r) {
        s += std::to_string(r) + ":";
        for (size_t c = 0; c < t[r].size(); ++c)
            if (!IsBlankText(t[r][c])) s += " " + std::to_string(c) + "=" + TrimText(t[r][c]);
        s += "\n";
    }
    return s;
}

TEST(EditorFile, GeoAndCsvRoundTrips) {
    TTempDir dir;
    TGeoTable b, z;
    SampleTables(b, z);
    z[2][7] = "12345678"; // long term
    for (const char* name : {"g.geo", "G.CSV", "plain"}) {
        std::string err, path = dir / name;
        bool csv = HasCsvExtension(path);
        ASSERT_TRUE(csv ? WriteCsvFile(path, b, z, err)
                        : WriteBlankSeparatedFile(path, b, z, false, err))
            << err;
        ASSERT_TRUE(TokeniseEditorFile(path, dir / "div.tmp", err)) << err;
        TGeoTable b2, z2;
        TEditorLoad info;
        ASSERT_TRUE(LoadEditorTokenFile(dir / "div.tmp", b2, z2, info, err)) << err;
        EXPECT_EQ(Filled(b2), Filled(b)) << name;
        EXPECT_EQ(Filled(z2), Filled(z)) << name;
        EXPECT_EQ(b2.size(), b.size());
        EXPECT_EQ(z2.size(), z.size());
        EXPECT_EQ(info.Dropped, 0);
    }
}

TEST(EditorFile, TokenRules) {
    TGeoTable b, z;
    // numbers before the first body are dropped; lower case is upper-cased; materials stop
    // after the last zone
    std::vector<std::string> tok;
    for (const char* line : {"1 2 rpp 3 0 1 0 1 0 1", "sph 4 0 0 0 \"1\"", "end", "9 z1 3 or -4",
                             "zone2 4", "END", "5 6 7 8"}) {
        std::vector<std::string> t;
        EditorLineTokens(line, false, t);
        tok.insert(tok.end(), t.begin(), t.end());
    }
    LoadEditorTokens(tok, b, z);
    ASSERT_EQ(b.size(), 3u);
    EXPECT_EQ(b[1][1], "RPP");
    EXPECT_EQ(b[1][2], "3");
    EXPECT_EQ(b[1][8], "1");
    EXPECT_EQ(b[2][1], "SPH");
    EXPECT_EQ(b[2][6], "1");
    ASSERT_EQ(z.size(), 3u);
    EXPECT_EQ(z[1][0], "Z0001");
    EXPECT_EQ(z[1][1], "5");
    EXPECT_EQ(z[1][2], "3");
    EXPECT_EQ(z[1][3], "OR");
    EXPECT_EQ(z[1][4], "-4");
    EXPECT_EQ(z[2][0], "Z0002");
    EXPECT_EQ(z[2][1], "6");
    EXPECT_EQ(z[2][2], "4");

    std::vector<std::string> csv;
    EditorLineTokens(" rpp , 1,,2 ,", true, csv);
    EXPECT_EQ(csv, (std::vector<std::string>{"RPP", "1", "", "2"}));

    // an empty file gives the fresh tables; a row longer than the table drops its excess
    LoadEditorTokens({}, b, z);
    EXPECT_EQ(b.size(), 2u);
    EXPECT_EQ(z.size(), 2u);
    EXPECT_EQ(z[1][0], "Z0001");
    std::vector<std::string> longZone = {"END", "Z1"};
    for (int k = 0; k < 103; ++k) longZone.push_back("1");
    TEditorLoad info = LoadEditorTokens(longZone, b, z);
    EXPECT_EQ(info.Dropped, 3);
}

TEST(EditorFile, MissingFileIsReported) {
    TTempDir dir;
    std::string err;
    EXPECT_FALSE(TokeniseEditorFile(dir / "none.geo", dir / "div.tmp", err));
    EXPECT_NE(err.find("none.geo"), std::string::npos);
}

// ---- comma text and row operations --------------------------------------------------------

TEST(EditorRows, CommaTextQuotingAndRestore) {
    TGeoRow row = {"Z0003", "1", "a b", "x,y", "say \"hi\"", "", "-7", ""};
    std::string text = RowToCommaText(row);
    EXPECT_EQ(text, "Z0003,1,\"a b\",\"x,y\",\"say \"\"hi\"\"\",,-7,");
    TGeoRow back(row.size(), "junk");
    RowFromCommaText(back, text);
    EXPECT_EQ(back, (TGeoRow{"Z0003", "1", "a b", "x,y", "say \"hi\"", " ", "-7", " "}));
    // an empty text leaves the row empty; extra items are dropped
    RowFromCommaText(back, "");
    EXPECT_EQ(back, TGeoRow(row.size()));
    TGeoRow shortRow(2);
    RowFromCommaText(shortRow, "a,b,c");
    EXPECT_EQ(shortRow, (TGeoRow{"a", "b"}));
    EXPECT_EQ(CommaTextItems("\"tab\there\""), std::vector<std::string>{"tab\there"});
}

TEST(EditorRows, InsertDeleteKeepLabelsAndOneRow) {
    TGeoTable z = MakeZoneTable(3);
    z[1][1] = "a";
    z[2][1] = "b";
    z[3][1] = "c";
    TableInsertRow(z, 2, true);
    ASSERT_EQ(z.size(), 5u);
    EXPECT_EQ(z[2][1], "");
    EXPECT_EQ(z[3][1], "b");
    EXPECT_EQ(z[4][0], "Z0004");
    TableDeleteRow(z, 1, true);
    EXPECT_EQ(z[1][1], "");
    EXPECT_EQ(z[1][0], "Z0001");
    EXPECT_EQ(z[3][1], "c");
    EXPECT_EQ(z[3][0], "Z0003");
    TableDeleteRow(z, 1, true);
    TableDeleteRow(z, 1, true);
    TableDeleteRow(z, 1, true); // the last data row is emptied, not removed
    ASSERT_EQ(z.size(), 2u);
    EXPECT_EQ(z[1][1], "");
    EXPECT_EQ(z[1][0], "Z0001");
    EXPECT_EQ(ZoneLabel(9999), "Z9999");
    EXPECT_EQ(ZoneLabel(10000), "Z9999");
    EXPECT_EQ(ZoneLabel(12), "Z0012");
}

TEST(EditorText, IntegersTakeASignAndNothingElse) {
    int64_t i = 0;
    EXPECT_TRUE(ParseIntText("+12", i));
    EXPECT_EQ(i, 12);
    EXPECT_TRUE(ParseIntText("-0", i));
    for (const char* bad : {"1.0", " 1", "-", "", "1e3", "99999999999999999999999"})
        EXPECT_FALSE(ParseIntText(bad, i)) << bad;
}

// ---- viewer file through the data file reader -----------------------------------------------

TEST(EditorViewerFile, ReaderSeesTheSameBodiesAndZones) {
    TGeoTable b, z;
    SampleTables(b, z);
    // a long zone that needs a continuation line, and cells typed with blanks and lower case
    AddZone(z, {"5", "1", "2", "3", "4", "-1", "-2", "-3", "or", "4", "-1"});
    b[2][1] = " sph ";
    TGeoCheck res = ValidateGeometry(b, z);
    ASSERT_TRUE(res.Ok) << res.Message;
    TTempDir dir;
    std::string err, path = dir / "dummy.tmp";
    ASSERT_TRUE(WriteBlankSeparatedFile(path, b, z, true, err)) << err;

    TGeometry geo;
    TTracks tracks;
    TDisplaySettings settings;
    double size = 0;
    TDataReader reader(geo, tracks, settings, size);
    std::string shown;
    reader.Hooks.ShowError = [&](const std::string& t) { shown = t; };
    ASSERT_TRUE(reader.Load(path)) << shown;
    EXPECT_TRUE(tracks.empty());

    ASSERT_EQ(geo.Bodies.size(), b.size() - 1);
    for (size_t r = 1; r < b.size(); ++r) {
        const TGeoData& body = geo.Bodies[r - 1];
        EXPECT_EQ(body.Symbol, b[r][1]);
        EXPECT_EQ(body.Number, std::stoi(b[r][2]));
        for (int k = 0; k < ParameterCount(body.Symbol); ++k)
            EXPECT_DOUBLE_EQ(body.Params[size_t(k)], std::stod(b[r][size_t(k) + 3]));
    }
    ASSERT_EQ(geo.Zones.size(), z.size() - 1);
    for (size_t r = 1; r < z.size(); ++r) {
        const TZoneData& zone = geo.Zones[r - 1];
        EXPECT_EQ(zone.Name, z[r][0]);
        EXPECT_EQ(zone.Material, std::stoi(z[r][1]));
        // rebuild the term list from the groups and compare with the cells
        std::vector<std::string> terms;
        for (size_t g = 0; g < zone.BodyIndex.size(); ++g) {
            if (g) terms.push_back("OR");
            for (size_t t = 0; t < zone.BodyIndex[g].size(); ++t) {
                const int idx = zone.BodyIndex[g][t];
                ASSERT_GE(idx, 0);
                terms.push_back(std::to_string(zone.Sign[g][t] * geo.Bodies[size_t(idx)].Number));
            }
        }
        std::vector<std::string> cells;
        for (size_t c = 2; c < z[r].size(); ++c)
            if (!z[r][c].empty()) cells.push_back(z[r][c]);
        EXPECT_EQ(terms, cells) << zone.Name;
    }
}

// A lattice data file is recognised from its first lines (free, CSV and fixed layouts), whatever
// its size; anything else is opened as usual.
TEST(EditorFile, LatticeIsNotOpenedCellByCell) {
    TTempDir dir;
    auto lattice = [&](const std::string& name, const std::string& text, TEditorLattice& out) {
        std::string path = dir / name;
        std::ofstream(path) << text;
        return EditorFileLattice(path, out);
    };
    TEditorLattice l;
    ASSERT_TRUE(lattice("ph.dat", "GSTA-FREE\nslab\n513 513 257\n0 1", l));
    EXPECT_EQ(l.NX, 512);
    EXPECT_EQ(l.NZ, 256);
    EXPECT_EQ(l.Cells(), 512 * 512 * 256);
    EXPECT_EQ(EditorLatticeMessage("ph.dat", l),
              "ph.dat holds a lattice of 512 x 512 x 256 cells (67108864 voxels).\n"
              "A lattice is not edited cell by cell: change the file that made it, then open it "
              "in the viewer.");
    EXPECT_TRUE(lattice("ph.csv", "GSTA-CSV\nSLAB,3\n,3,2\n", l));
    EXPECT_EQ(l.Cells(), 2 * 2 * 1);
    EXPECT_TRUE(lattice("fixed.dat", "GSTA\n SLAB   3 3 3\n", l));
    EXPECT_FALSE(lattice("sphr.dat", "GSTA-FREE\nSPHR 3 1 2 3\n", l));
    EXPECT_FALSE(lattice("cg.geo", "CSTA-FREE\nRPP 1 0 1 0 1 0 1\nEND\nZ1 1\nEND\n", l));
    EXPECT_FALSE(lattice("both.dat", "GSTA-CSTA\nSLAB 3 3 3\n", l));
    EXPECT_FALSE(lattice("bad.dat", "GSTA-FREE\nSLAB 3 x 3\n", l));
    EXPECT_FALSE(lattice("short.dat", "GSTA-FREE\nSLAB 3 3\n", l));
    EXPECT_FALSE(EditorFileLattice(dir / "missing.dat", l));
}

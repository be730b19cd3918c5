#include "app/IniFile.h"
#include "app/ViewPoints.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>

namespace {

std::array<double, 16> Matrix(double base) {
    std::array<double, 16> m;
    for (int i = 0; i < 16; ++i) m[i] = base + i * 0.1234567890123 - 1.0 / 3.0;
    return m;
}

std::string TempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("views_test_" + std::to_string(getpid()) + "_" + name))
        .string();
}

} // namespace

TEST(ViewSlots, StartEmptyAndRestoreEmptyChangesNothing) {
    TViewSlots slots;
    for (const TViewSlot& s : slots) {
        EXPECT_TRUE(s.Empty());
        EXPECT_EQ(s.EyePos, -1);
        for (double v : s.TMatrix) EXPECT_EQ(v, -1);
    }
    double size = 42;
    auto t = Matrix(1), r = Matrix(2);
    const auto t0 = t, r0 = r;
    EXPECT_FALSE(RestoreViewSlot(slots, 7, size, t.data(), r.data()));
    EXPECT_EQ(size, 42);
    EXPECT_EQ(t, t0);
    EXPECT_EQ(r, r0);
    // out-of-range slot numbers are neither stored nor restored
    StoreViewSlot(slots, 0, 5, t.data(), r.data());
    StoreViewSlot(slots, 11, 5, t.data(), r.data());
    for (const TViewSlot& s : slots) EXPECT_TRUE(s.Empty());
    EXPECT_FALSE(RestoreViewSlot(slots, 11, size, t.data(), r.data()));
}

TEST(ViewSlots, SaveChangeRestoreIsExact) {
    TViewSlots slots;
    auto t = Matrix(3), r = Matrix(4);
    double size = 123.456789012345678;
    StoreViewSlot(slots, 3, size, t.data(), r.data());
    const auto t0 = t, r0 = r;
    const double s0 = size;
    size = 7;
    t.fill(0);
    r.fill(9);
    ASSERT_TRUE(RestoreViewSlot(slots, 3, size, t.data(), r.data()));
    EXPECT_EQ(size, s0);
    EXPECT_EQ(t, t0);
    EXPECT_EQ(r, r0);
    // a size of 0 is a stored view, not an empty slot
    StoreViewSlot(slots, 4, 0, t.data(), r.data());
    EXPECT_FALSE(slots[3].Empty());
}

TEST(ViewSlots, OnlyNonEmptySlotsAreWrittenInOrder) {
    TViewSlots slots;
    auto t = Matrix(1), r = Matrix(2);
    StoreViewSlot(slots, 2, 50, t.data(), r.data());
    std::vector<std::string> keys;
    std::map<std::string, int> perSection;
    WriteViewSlots(slots, [&](const std::string& sec, const std::string& key, double) {
        keys.push_back(sec + "/" + key);
        ++perSection[sec];
    });
    ASSERT_EQ(keys.size(), 33u);
    EXPECT_EQ(keys[0], "EyePos/Data2");
    EXPECT_EQ(keys[1], "TMatrix/Data2_1");
    EXPECT_EQ(keys[16], "TMatrix/Data2_16");
    EXPECT_EQ(keys[17], "RMatrix/Data2_1");
    EXPECT_EQ(keys[32], "RMatrix/Data2_16");
    EXPECT_EQ(perSection["EyePos"], 1);
    EXPECT_EQ(perSection["TMatrix"], 16);
    EXPECT_EQ(perSection["RMatrix"], 16);
}

TEST(ViewPointFile, RoundTripIntoFreshSlots) {
    const std::string path = TempPath("a.viw");
    TViewSlots saved;
    auto t = Matrix(10), r = Matrix(-20);
    StoreViewSlot(saved, 2, 1234.5, t.data(), r.data());
    ASSERT_TRUE(SaveViewPointFile(path, saved));

    TIniFile ini(path);
    EXPECT_TRUE(ini.ValueExists("EyePos", "Data2"));
    EXPECT_FALSE(ini.ValueExists("EyePos", "Data1"));
    EXPECT_TRUE(ini.ValueExists("RMatrix", "Data2_16"));
    EXPECT_FALSE(ini.ValueExists("TMatrix", "Data3_1"));

    TViewSlots fresh;
    // a slot stored before reading is replaced: slots missing from the file become empty
    StoreViewSlot(fresh, 5, 9, t.data(), r.data());
    ASSERT_TRUE(LoadViewPointFile(path, fresh));
    for (int n = 1; n <= ViewSlotCount; ++n) EXPECT_EQ(fresh[n - 1].Empty(), n != 2) << n;
    EXPECT_EQ(fresh[1].EyePos, 1234.5);
    for (int i = 0; i < 16; ++i) {
        // 15 significant digits in the file
        EXPECT_NEAR(fresh[1].TMatrix[i], t[i], 1e-13 * std::max(1.0, std::fabs(t[i])));
        EXPECT_NEAR(fresh[1].RMatrix[i], r[i], 1e-13 * std::max(1.0, std::fabs(r[i])));
    }
    std::remove(path.c_str());
}

TEST(ViewPointFile, SavingWritesAWholeFileAndMissingKeysReadAsMinusOne) {
    const std::string path = TempPath("b.viw");
    {
        std::ofstream out(path);
        out << "[Other]\nKeep=yes\n[EyePos]\nData4=10\nData6=2\n[TMatrix]\nData4_1=0.5\n";
    }
    TViewSlots slots;
    ASSERT_TRUE(LoadViewPointFile(path, slots));
    EXPECT_FALSE(slots[3].Empty());
    EXPECT_EQ(slots[3].EyePos, 10);
    EXPECT_EQ(slots[3].TMatrix[0], 0.5);
    EXPECT_EQ(slots[3].TMatrix[1], -1);
    EXPECT_EQ(slots[3].RMatrix[15], -1);

    // slot 6 emptied since the file was read, slot 1 filled
    slots[5] = TViewSlot();
    auto t = Matrix(0), r = Matrix(0);
    StoreViewSlot(slots, 1, 3, t.data(), r.data());
    ASSERT_TRUE(SaveViewPointFile(path, slots));
    TIniFile ini(path);
    EXPECT_FALSE(ini.SectionExists("Other")); // nothing of the old file is merged in
    EXPECT_EQ(ini.ReadFloat("EyePos", "Data1", -1), 3);
    EXPECT_EQ(ini.ReadFloat("EyePos", "Data4", -1), 10);
    EXPECT_FALSE(ini.ValueExists("EyePos", "Data6"));
    std::remove(path.c_str());

    // a picture chosen under "All" is replaced by a clean view-point file
    const std::string picture = TempPath("picture.bmp");
    std::ofstream(picture, std::ios::binary) << std::string("BM\x01\x02=\n[x]\n\0\xff", 12);
    ASSERT_TRUE(SaveViewPointFile(picture, slots));
    TIniFile again(picture);
    EXPECT_EQ(again.Text().substr(0, 8), "[EyePos]");
    EXPECT_EQ(again.ReadFloat("EyePos", "Data1", -1), 3);
    EXPECT_FALSE(again.SectionExists("x"));
    std::remove(picture.c_str());
}

TEST(ViewPointFile, UnreadableFileLeavesSlotsAlone) {
    TViewSlots slots;
    auto t = Matrix(0), r = Matrix(0);
    StoreViewSlot(slots, 1, 3, t.data(), r.data());
    EXPECT_FALSE(LoadViewPointFile(TempPath("does_not_exist.viw"), slots));
    EXPECT_FALSE(slots[0].Empty());
    EXPECT_FALSE(SaveViewPointFile("/nonexistent_dir_views/x.viw", slots));
}

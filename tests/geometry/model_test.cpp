#include "geometry/MyCGUnit.h"

#include <gtest/gtest.h>

TEST(BodyModel, ParameterCountIsExactAndCaseSensitive) {
    EXPECT_EQ(ParameterCount("TEC"), 13);
    EXPECT_EQ(ParameterCount("ARB"), 30);
    EXPECT_EQ(ParameterCount("RPP"), 6);
    EXPECT_EQ(ParameterCount("HEX"), 10);
    EXPECT_EQ(ParameterCount("rcc"), 0);
    EXPECT_EQ(ParameterCount("RPP "), 0);
}

TEST(BodyModel, FindBodyIndexTakesTheFirstMatch) {
    TAGeoData bodies(3);
    bodies[0].Number = 5;
    bodies[1].Number = 7;
    bodies[2].Number = 7;
    EXPECT_EQ(FindBodyIndex(bodies, 7), 1);
    EXPECT_EQ(FindBodyIndex(bodies, 5), 0);
    EXPECT_EQ(FindBodyIndex(bodies, 9), -1);
}

TEST(BodyModel, PaletteSkipsBlackAndWhite) {
    EXPECT_EQ(PaletteColor(0), 0x0000FFu); // red
    EXPECT_EQ(PaletteColor(11), 0x800000u); // navy
    EXPECT_EQ(PaletteColor(12), 0x0000FFu);
    EXPECT_EQ(PaletteColor(1), 0xFF00FFu);
}

TEST(ZoneModel, UnknownBodyTermContainsNoPoint) {
    TAGeoData bodies;
    TZoneData z;
    z.BodyIndex = {{-1}};
    z.Sign = {{1}};
    EXPECT_FALSE(ZoneContains(bodies, z, 0, 0, 0));
    z.Sign = {{-1}};
    EXPECT_TRUE(ZoneContains(bodies, z, 0, 0, 0));
}

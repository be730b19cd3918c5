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
    EXPECT_EQ(PaletteColor(0), 0x0000FFu);  // red
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

TEST(ZoneModel, GroupsJoinOnlyByOAndStaleTermsAreSafe) {
    TAGeoData bodies(2);
    bodies[0].Symbol = "SPH", bodies[0].Params = {0, 0, 0, 1};
    bodies[1].Symbol = "SPH", bodies[1].Params = {5, 0, 0, 1};
    TZoneData z;
    z.BodyIndex = {{0}, {1}};
    z.Sign = {{1}, {1}};
    z.GroupOp = {'O', 'O'};
    EXPECT_TRUE(ZoneContains(bodies, z, 5, 0, 0)); // only the second group holds it
    z.GroupOp = {'O', 'X'};
    EXPECT_FALSE(ZoneContains(bodies, z, 5, 0, 0)); // a group not joined by "O" does not count
    z.GroupOp = {'O'};                              // letter missing: not joined either
    EXPECT_FALSE(ZoneContains(bodies, z, 5, 0, 0));
    // a position beyond the body list contains no point; a sign of 0 constrains nothing
    TZoneData stale;
    stale.BodyIndex = {{7, 0}};
    stale.Sign = {{-1, 0}};
    stale.GroupOp = {'O'};
    EXPECT_TRUE(ZoneContains(bodies, stale, 9, 9, 9));
    stale.Sign = {{1, 0}};
    EXPECT_FALSE(ZoneContains(bodies, stale, 0, 0, 0));
    // no groups: no point
    EXPECT_FALSE(ZoneContains(bodies, TZoneData{}, 0, 0, 0));
    TMatrixAi hits{42};
    EXPECT_EQ(FindZone(bodies, TAZoneData{z, stale}, hits, 9, 9, 9), 0);
    EXPECT_TRUE(hits.empty());
}

// "Z1 1 OR" leaves a trailing empty group; it must not make the zone all of space.
TEST(ZoneModel, AnEmptyGroupContainsNoPoint) {
    TAGeoData bodies(1);
    bodies[0].Symbol = "SPH", bodies[0].Params = {0, 0, 0, 1};
    TZoneData z;
    z.BodyIndex = {{0}, {}};
    z.Sign = {{1}, {}};
    z.GroupOp = {'O', 'O'};
    EXPECT_TRUE(ZoneContains(bodies, z, 0.5, 0, 0));
    EXPECT_FALSE(ZoneContains(bodies, z, 5, 0, 0));
    z.BodyIndex = {{}, {0}}; // an empty first group as well
    z.Sign = {{}, {1}};
    EXPECT_TRUE(ZoneContains(bodies, z, 0.5, 0, 0));
    EXPECT_FALSE(ZoneContains(bodies, z, 5, 0, 0));
    z.BodyIndex = {{}};
    z.Sign = {{}};
    z.GroupOp = {'O'};
    TMatrixAi hits;
    EXPECT_EQ(FindZone(bodies, TAZoneData{z}, hits, 0, 0, 0), 0);
}

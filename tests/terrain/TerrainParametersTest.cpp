#include <gtest/gtest.h>

#include <string>

#include "terrain/TerrainParameters.h"

namespace {

TEST(TerrainParameters, ReadersAcceptTheRangesAndNameTheBadValue)
{
    float value = 0.0f;
    std::string error;
    EXPECT_TRUE(ParseRoughness("0.62", value, error));
    EXPECT_EQ(value, 0.62f);
    EXPECT_TRUE(ParseRoughness("1.52587890625e-05", value, error));
    EXPECT_EQ(value, minRoughness);
    EXPECT_TRUE(ParseRoughness("512", value, error));
    EXPECT_TRUE(ParseFalloffExponent("65536", value, error));
    EXPECT_EQ(value, maxFalloffExponent);

    for (const char* bad : {"3e5", "512.001", "0", "-1", "1e-5", "nan", "inf", "", " 1", "1x", "abc", "0x"}) {
        value = 7.0f;
        error.clear();
        EXPECT_FALSE(ParseRoughness(bad, value, error)) << bad;
        EXPECT_EQ(value, 7.0f);
        EXPECT_NE(error.find("--roughness"), std::string::npos);
        EXPECT_NE(error.find(std::string("'") + bad + "'"), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
    EXPECT_FALSE(ParseFalloffExponent("65537", value, error));
    EXPECT_NE(error.find("--falloff"), std::string::npos);
}

TEST(TerrainParameters, ClampsStopAtTheBounds)
{
    EXPECT_EQ(ClampRoughness(600.0f), maxRoughness);
    EXPECT_EQ(ClampRoughness(1e-9f), minRoughness);
    EXPECT_EQ(ClampRoughness(0.5f), 0.5f);
    EXPECT_EQ(ClampFalloffExponent(1e30f), maxFalloffExponent);
    EXPECT_EQ(ClampFalloffExponent(0.0f), minFalloffExponent);
}

}  // namespace

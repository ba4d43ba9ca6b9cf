#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "FormatTestSupport.h"
#include "JsonReader.h"
#include "ScratchDirectory.h"
#include "export/HeightMapFormat.h"
#include "export/HeightMapMetadata.h"

namespace {

using Members = std::vector<std::pair<std::string, JsonValue>>;

Members Parse(const std::string& json)
{
    Members members;
    EXPECT_TRUE(JsonReader(json).ReadObject(members)) << json;
    return members;
}

std::string Value(const Members& members, const std::string& key)
{
    for (const auto& [name, value] : members) {
        if (name == key) {
            return value.kind == JsonValue::Null ? "null" : value.text;
        }
    }
    ADD_FAILURE() << "no " << key;
    return "";
}

TerrainParameters Parameters(const std::string& seedText, float roughness, float falloff)
{
    TerrainParameters parameters;
    EXPECT_TRUE(TerrainSeed::FromText(seedText, parameters.seed));
    parameters.roughness = roughness;
    parameters.falloffExponent = falloff;
    return parameters;
}

TEST(HeightMapMetadata, KeysInTheirStableOrderWithWhatAnImporterNeeds)
{
    const std::vector<std::string> order = {"format", "width", "height", "sample_type", "byte_order",
                                            "row_order", "first_row", "value_min", "value_max", "value_meaning",
                                            "size", "seed", "roughness", "falloff", "version"};
    for (const HeightMapFormat& format : AllHeightMapFormats()) {
        const Members members =
            Parse(HeightMapMetadataJson(format, format.defaultRows, 257, TerrainParameters{}, "1.2.3"));
        std::vector<std::string> keys;
        for (const auto& member : members) {
            keys.push_back(member.first);
        }
        EXPECT_EQ(keys, order) << format.name;
        EXPECT_EQ(Value(members, "format"), format.name);
        EXPECT_EQ(Value(members, "width"), "257");
        EXPECT_EQ(Value(members, "height"), "257");
        EXPECT_EQ(Value(members, "size"), "257");
        EXPECT_EQ(Value(members, "version"), "1.2.3");
    }

    const Members png = Parse(HeightMapMetadataJson(*FindHeightMapFormat("png16"), RowOrder::BottomFirst, 129,
                                                    TerrainParameters{}, "v"));
    EXPECT_EQ(Value(png, "sample_type"), "uint16");
    EXPECT_EQ(Value(png, "byte_order"), "big-endian");
    EXPECT_EQ(Value(png, "row_order"), "top_first") << "png16 has one order whatever is asked";
    EXPECT_EQ(Value(png, "first_row"), "128");
    EXPECT_EQ(Value(png, "value_min"), "0");
    EXPECT_EQ(Value(png, "value_max"), "65535");

    const Members r16 = Parse(HeightMapMetadataJson(*FindHeightMapFormat("r16"), RowOrder::BottomFirst, 129,
                                                    TerrainParameters{}, "v"));
    EXPECT_EQ(Value(r16, "byte_order"), "little-endian");
    EXPECT_EQ(Value(r16, "row_order"), "bottom_first");
    EXPECT_EQ(Value(r16, "first_row"), "0");
    const Members r16Top = Parse(HeightMapMetadataJson(*FindHeightMapFormat("r16"), RowOrder::TopFirst, 129,
                                                       TerrainParameters{}, "v"));
    EXPECT_EQ(Value(r16Top, "row_order"), "top_first");
    EXPECT_EQ(Value(r16Top, "first_row"), "128");

    const Members exr = Parse(HeightMapMetadataJson(*FindHeightMapFormat("exr"), RowOrder::TopFirst, 129,
                                                    TerrainParameters{}, "v"));
    EXPECT_EQ(Value(exr, "sample_type"), "float32");
    EXPECT_EQ(Value(exr, "value_max"), "1");

    const Members stl = Parse(HeightMapMetadataJson(*FindHeightMapFormat("stl"), RowOrder::TopFirst, 129,
                                                    TerrainParameters{}, "v"));
    EXPECT_EQ(Value(stl, "row_order"), "none");
    EXPECT_EQ(Value(stl, "first_row"), "null");
    EXPECT_EQ(Value(stl, "value_max"), "0.2");
}

TEST(HeightMapMetadata, ParametersReadBackAsTheSameFloats)
{
    const float awkward[] = {0.1f, 1.0f / 3.0f, 65536.0f, 1.0f / 65536.0f, 0.50000006f, 511.99997f};
    for (const float value : awkward) {
        const Members members = Parse(
            HeightMapMetadataJson(*FindHeightMapFormat("f32"), RowOrder::BottomFirst, 129,
                                  Parameters("seed", value, value * 0.5f), "v"));
        EXPECT_EQ(Bits(std::strtof(Value(members, "roughness").c_str(), nullptr)), Bits(value));
        EXPECT_EQ(Bits(std::strtof(Value(members, "falloff").c_str(), nullptr)), Bits(value * 0.5f));
    }
}

TEST(HeightMapMetadata, AnySeedBytesGiveValidJsonThatReadsBackByteForByte)
{
    std::string seed = "quote \" backslash \\ slash / tab \t newline \n";
    seed += std::string("nul \0 del \x7f", 12);
    seed += "\xC3\xA9 \xFF\xFE lone \x80";
    for (int byte = 1; byte < 256; ++byte) {
        seed += char(byte);
    }
    seed = seed.substr(0, TerrainSeed::maxTextBytes);
    const std::string json = HeightMapMetadataJson(*FindHeightMapFormat("tga"), RowOrder::BottomFirst, 129,
                                                   Parameters(seed, 0.5f, 1.0f), "v");
    const Members members = Parse(json);
    EXPECT_EQ(Value(members, "seed"), seed);
    for (const char c : json) {
        ASSERT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << "only printable ASCII and line ends";
    }
}

TEST(HeightMapMetadata, WrittenToItsOwnFileOrFailingWithOneLine)
{
    ScratchDirectory dir;
    const HeightMapFormat& format = *FindHeightMapFormat("tif32");
    const TerrainParameters parameters = Parameters("island", 0.75f, 2.0f);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(WriteHeightMapMetadata(dir.File("map.tif.json"), "orvandel-heightmap", format, RowOrder::TopFirst,
                                       513, parameters, "0.9"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    const std::vector<uint8_t> bytes = ReadFileBytes(dir.File("map.tif.json"));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
              HeightMapMetadataJson(format, RowOrder::TopFirst, 513, parameters, "0.9"));

    testing::internal::CaptureStderr();
    EXPECT_FALSE(WriteHeightMapMetadata("/dev/full", "orvandel-heightmap", format, RowOrder::TopFirst, 513,
                                        parameters, "0.9"));
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(CountLines(errors), 1) << errors;
    EXPECT_EQ(errors.rfind("orvandel-heightmap", 0), 0u) << errors;
}

}  // namespace

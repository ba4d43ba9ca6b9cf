#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <string>
#include <vector>

#include "FormatTestSupport.h"
#include "ScratchDirectory.h"
#include "export/HeightMapFormat.h"
#include "cli/TerrainOptions.h"
#include "export/HeightMapMetadata.h"

namespace {

// Read with the JSON library, keeping the file's key order.
using Json = nlohmann::ordered_json;

Json Parse(const std::string& json)
{
    Json parsed = Json::parse(json, nullptr, false);
    EXPECT_TRUE(parsed.is_object()) << json;
    return parsed;
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
                                            "size", "seed", "seed_hex", "roughness", "falloff", "sharpness",
                                            "erosion", "version"};
    for (const HeightMapFormat& format : AllHeightMapFormats()) {
        const Json members = Parse(HeightMapMetadataJson(format, format.defaultRows, 257, TerrainParameters{}, TerrainMetaNumbers(TerrainParameters{}), "1.2.3"));
        std::vector<std::string> keys;
        for (const auto& member : members.items()) {
            keys.push_back(member.key());
        }
        EXPECT_EQ(keys, order) << format.name;
        EXPECT_EQ(members["format"], format.name);
        EXPECT_EQ(members["width"], 257);
        EXPECT_EQ(members["height"], 257);
        EXPECT_EQ(members["size"], 257);
        EXPECT_EQ(members["version"], "1.2.3");
    }

    const Json png = Parse(HeightMapMetadataJson(*FindHeightMapFormat("png16"), RowOrder::BottomFirst, 129,
                                                    TerrainParameters{}, TerrainMetaNumbers(TerrainParameters{}), "v"));
    EXPECT_EQ(png["sample_type"], "uint16");
    EXPECT_EQ(png["byte_order"], "big-endian");
    EXPECT_EQ(png["row_order"], "top_first") << "png16 has one order whatever is asked";
    EXPECT_EQ(png["first_row"], 128);
    EXPECT_EQ(png["value_min"], 0);
    EXPECT_EQ(png["value_max"], 65535);

    const Json r16 = Parse(HeightMapMetadataJson(*FindHeightMapFormat("r16"), RowOrder::BottomFirst, 129,
                                                    TerrainParameters{}, TerrainMetaNumbers(TerrainParameters{}), "v"));
    EXPECT_EQ(r16["byte_order"], "little-endian");
    EXPECT_EQ(r16["row_order"], "bottom_first");
    EXPECT_EQ(r16["first_row"], 0);
    const Json r16Top = Parse(HeightMapMetadataJson(*FindHeightMapFormat("r16"), RowOrder::TopFirst, 129,
                                                       TerrainParameters{}, TerrainMetaNumbers(TerrainParameters{}), "v"));
    EXPECT_EQ(r16Top["row_order"], "top_first");
    EXPECT_EQ(r16Top["first_row"], 128);

    const Json exr = Parse(HeightMapMetadataJson(*FindHeightMapFormat("exr"), RowOrder::TopFirst, 129,
                                                    TerrainParameters{}, TerrainMetaNumbers(TerrainParameters{}), "v"));
    EXPECT_EQ(exr["sample_type"], "float32");
    EXPECT_EQ(exr["value_max"], 1);

    const Json stl = Parse(HeightMapMetadataJson(*FindHeightMapFormat("stl"), RowOrder::TopFirst, 129,
                                                    TerrainParameters{}, TerrainMetaNumbers(TerrainParameters{}), "v"));
    EXPECT_EQ(stl["row_order"], "none");
    EXPECT_EQ(stl["first_row"], nullptr);
    EXPECT_EQ(stl["value_max"], 0.2);
}

TEST(HeightMapMetadata, ParametersReadBackAsTheSameFloats)
{
    const float awkward[] = {0.1f, 1.0f / 3.0f, 65536.0f, 1.0f / 65536.0f, 0.50000006f, 511.99997f};
    for (const float value : awkward) {
        const Json members = Parse(
            HeightMapMetadataJson(*FindHeightMapFormat("f32"), RowOrder::BottomFirst, 129,
                                  Parameters("seed", value, value * 0.5f),
                                  TerrainMetaNumbers(Parameters("seed", value, value * 0.5f)), "v"));
        EXPECT_EQ(Bits(static_cast<float>(members["roughness"].get<double>())), Bits(value));
        EXPECT_EQ(Bits(static_cast<float>(members["falloff"].get<double>())), Bits(value * 0.5f));
    }
}

// The bytes seed_hex stands for, or "?" when it is not two lowercase hex
// digits a byte.
std::string FromLowercaseHex(const std::string& hex)
{
    const std::string digits = "0123456789abcdef";
    std::string bytes;
    for (size_t at = 0; at + 1 < hex.size(); at += 2) {
        const size_t high = digits.find(hex[at]);
        const size_t low = digits.find(hex[at + 1]);
        if (high == std::string::npos || low == std::string::npos) {
            return "?";
        }
        bytes += char(high * 16 + low);
    }
    return hex.size() % 2 == 0 ? bytes : "?";
}

// The UTF-8 text of the characters U+0000 to U+00FF that match bytes one for
// one: what a JSON reader makes of the one-escape-a-byte fallback.
std::string EachByteAsCharacter(const std::string& bytes)
{
    std::string text;
    for (const char c : bytes) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += char(0xC0 | (byte >> 6));
            text += char(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

std::string SeedJson(const std::string& seed)
{
    return HeightMapMetadataJson(*FindHeightMapFormat("tga"), RowOrder::BottomFirst, 129,
                                 Parameters(seed, 0.5f, 1.0f),
                                 TerrainMetaNumbers(Parameters(seed, 0.5f, 1.0f)), "v");
}

bool PrintableAsciiLines(const std::string& json)
{
    for (const char c : json) {
        if (!(c == '\n' || (c >= 0x20 && c < 0x7F))) {
            return false;
        }
    }
    return true;
}

TEST(HeightMapMetadata, Utf8SeedReadsBackAsItsTextWithItsBytesInHex)
{
    const std::string json = SeedJson("\xC3\xA9t\xC3\xA9");
    EXPECT_NE(json.find("\"seed\": \"\xC3\xA9t\xC3\xA9\",\n  \"seed_hex\": \"c3a974c3a9\",\n"), std::string::npos)
        << json;
    const Json members = Parse(json);
    EXPECT_EQ(members["seed"], "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(members["seed_hex"], "c3a974c3a9");

    // Each length's first and last character, either side of the surrogates,
    // and the characters JSON makes escape.
    std::string seed = "quote \" backslash \\ slash / tab \t newline \n";
    seed += std::string("nul \0 del \x7f", 12);
    seed += "\xC2\x80 \xDF\xBF \xE0\xA0\x80 \xED\x9F\xBF \xEE\x80\x80 \xEF\xBF\xBF \xF0\x90\x80\x80 \xF4\x8F\xBF\xBF";
    const std::string full = SeedJson(seed);
    const Json fullMembers = Parse(full);
    EXPECT_EQ(fullMembers["seed"], seed);
    EXPECT_EQ(FromLowercaseHex(fullMembers["seed_hex"].get<std::string>()), seed);
    EXPECT_NE(full.find("\xF4\x8F\xBF\xBF"), std::string::npos) << "UTF-8 is written as it is";
}

TEST(HeightMapMetadata, SeedThatIsNotUtf8FallsBackToOneEscapeAByte)
{
    std::string everyByte = std::string("nul \0 ", 6);
    for (int byte = 1; byte < 256; ++byte) {
        everyByte += char(byte);
    }
    everyByte = everyByte.substr(0, TerrainSeed::maxTextBytes);
    const std::string seeds[] = {
        "\xC0\xAF",                     // overlong '/'
        "\xE0\x9F\xBF",                 // overlong U+07FF
        "\xF0\x8F\xBF\xBF",             // overlong U+FFFF
        "\xED\xA0\x80",                 // first surrogate
        "\xED\xBF\xBF",                 // last surrogate
        "\xF4\x90\x80\x80",             // past U+10FFFF
        "\xF5\x80\x80\x80",             // no such lead byte
        "lone \x80",                    // continuation with no lead
        "\xE2\x82 cut short",           // truncated in the middle
        "\xC3\xA9t\xC3\xA9 \xC3",       // valid, then cut short at the end
        "\xC3\xA9 \xFF\xFE \"\\ \x7f",  // valid and invalid with escapes
        everyByte,
    };
    for (const std::string& seed : seeds) {
        const std::string json = SeedJson(seed);
        EXPECT_TRUE(PrintableAsciiLines(json)) << json;
        const Json members = Parse(json);
        EXPECT_EQ(members["seed"], EachByteAsCharacter(seed)) << json;
        EXPECT_EQ(FromLowercaseHex(members["seed_hex"].get<std::string>()), seed) << json;
    }
}

TEST(HeightMapMetadata, WrittenToItsOwnFileOrFailingWithOneSentence)
{
    ScratchDirectory dir;
    const HeightMapFormat& format = *FindHeightMapFormat("tif32");
    const TerrainParameters parameters = Parameters("island", 0.75f, 2.0f);
    std::string error;
    EXPECT_TRUE(WriteHeightMapMetadata(dir.File("map.tif.json"), error, format, RowOrder::TopFirst, 513, parameters,
                                       TerrainMetaNumbers(parameters), "0.9"));
    EXPECT_EQ(error, "");
    const std::vector<uint8_t> bytes = ReadFileBytes(dir.File("map.tif.json"));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
              HeightMapMetadataJson(format, RowOrder::TopFirst, 513, parameters, TerrainMetaNumbers(parameters), "0.9"));

    EXPECT_FALSE(WriteHeightMapMetadata("/dev/full", error, format, RowOrder::TopFirst, 513, parameters,
                                        TerrainMetaNumbers(parameters), "0.9"));
    EXPECT_EQ(error, "writing \"/dev/full\" failed: No space left on device");
}

}  // namespace

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/ToolCommand.h"
#include "app/ViewerOptions.h"
#include "cli/TerrainOptions.h"

namespace {

struct Parsed {
    ViewerStart outcome;
    TerrainParameters parameters;
    std::string error;
};

Parsed Parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "orvandel");
    std::vector<const char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(arg.c_str());
    }
    Parsed parsed;
    parsed.outcome = ParseViewerOptions(int(argv.size()), argv.data(), parsed.parameters, parsed.error);
    return parsed;
}

TEST(ViewerOptionsTest, WithoutOptionsTheViewerStartsAsItAlwaysHas)
{
    const Parsed parsed = Parse({});
    ASSERT_EQ(parsed.outcome, ViewerStart::Run);
    EXPECT_TRUE(parsed.parameters.seed.IsDefault());
    EXPECT_EQ(parsed.parameters.roughness, 0.5f);
    EXPECT_EQ(parsed.parameters.falloffExponent, 1.0f);
}

TEST(ViewerOptionsTest, ReadsEachOptionAsA32BitValueInEitherForm)
{
    const Parsed spaced = Parse({"--seed", "two words", "--roughness", "0.62", "--falloff", "1.7"});
    ASSERT_EQ(spaced.outcome, ViewerStart::Run) << spaced.error;
    EXPECT_EQ(spaced.parameters.seed.Text(), "two words");
    EXPECT_FALSE(spaced.parameters.seed.IsDefault());
    EXPECT_EQ(spaced.parameters.roughness, 0.62f);
    EXPECT_EQ(spaced.parameters.falloffExponent, 1.7f);

    const Parsed joined = Parse({"--falloff=65536", "--roughness=1.52587890625e-05", "--seed=a=b"});
    ASSERT_EQ(joined.outcome, ViewerStart::Run) << joined.error;
    EXPECT_EQ(joined.parameters.falloffExponent, std::ldexp(1.0f, 16));
    EXPECT_EQ(joined.parameters.roughness, std::ldexp(1.0f, -16));
    EXPECT_EQ(joined.parameters.seed.Text(), "a=b");

    const Parsed repeated = Parse({"--roughness", "3", "--roughness", "4"});
    EXPECT_EQ(repeated.parameters.roughness, 4.0f) << "the last of a repeated option counts";
}

TEST(ViewerOptionsTest, RefusesWithOneLineNamingTheProblem)
{
    struct Case {
        std::vector<std::string> args;
        std::string mentions;
    };
    const Case cases[] = {
        {{"--size", "129"}, "--size"},
        {{"-r", "1"}, "-r"},
        {{"seventeen"}, "seventeen"},
        {{"--seed"}, "--seed needs a value"},
        {{"--roughness", "0.5", "--falloff"}, "--falloff needs a value"},
        {{"--roughness", "0"}, "--roughness"},
        {{"--roughness", "512.1"}, "--roughness"},
        {{"--roughness", "7.62939453125e-06"}, "--roughness"},  // 2^-17
        {{"--roughness", "nan"}, "--roughness"},
        {{"--roughness", "0.5x"}, "--roughness"},
        {{"--roughness", ""}, "--roughness"},
        {{"--falloff", "65537"}, "--falloff"},
        {{"--falloff", "inf"}, "--falloff"},
        {{"--falloff", "-1"}, "--falloff"},
        {{"--falloff", "1\nsecond line"}, "--falloff"},
        {{"--seed", ""}, "--seed"},
        {{"--seed", std::string(257, 's')}, "--seed"},
        {{"--bogus\nline"}, "--bogus"},
        {{"--view", "sepia"}, "--view needs height, shaded or colour, not 'sepia'"},
        {{"--detail", "100"}, "--detail needs 129, 257, 513 or 1025, not '100'"},
        {{"--detail", "2049"}, "--detail"},
        {{"--timedemo", "0"}, "--timedemo needs a number of frames from 1 to 1000000, not '0'"},
        {{"--timedemo", "-5"}, "--timedemo"},
        {{"--timedemo", "1000001"}, "--timedemo"},
        {{"--timedemo"}, "--timedemo needs a value"},
    };
    for (const Case& c : cases) {
        const Parsed parsed = Parse(c.args);
        EXPECT_EQ(parsed.outcome, ViewerStart::Refused) << c.mentions;
        EXPECT_NE(parsed.error.find(c.mentions), std::string::npos) << parsed.error;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << parsed.error;
    }
    EXPECT_EQ(Parse({"--seed", std::string(256, 's')}).outcome, ViewerStart::Run);
}

// The viewer reads every option of the shared table, and G's command gives
// it back as typed.
TEST(ViewerOptionsTest, EveryTerrainOptionOfTheSharedTableIsReadAndPrinted)
{
    const std::vector<std::pair<std::string, std::string>> samples = {
        {"--seed", "seventeen"}, {"--roughness", "0.62"}, {"--falloff", "1.7"},
        {"--sharpness", "0.25"}, {"--erosion", "1.5"}, {"--shape", "my shape.png"}, {"--shape-range", "-5,2.5"},
        {"--shape-trust", "24"},
    };
    size_t viewers = 0;
    for (const TerrainOption& option : TerrainOptions()) {
        viewers += !option.heightmapOnly;
        if (option.heightmapOnly) {
            // The tool's own: neither listed nor read.
            EXPECT_EQ(ViewerUsage().find(std::string("  ") + option.name + " "), std::string::npos) << option.name;
            EXPECT_EQ(Parse({std::string(option.name) + "=1"}).outcome, ViewerStart::Refused) << option.name;
        }
    }
    ASSERT_EQ(viewers, samples.size()) << "a new option needs a sample here";
    for (const auto& [name, value] : samples) {
        const TerrainOption* option = FindTerrainOption(name);
        ASSERT_NE(option, nullptr) << name;
        // A range maps a shape's values and trust is in its samples, so
        // each comes with one.
        const bool needsShape = name == "--shape-range" || name == "--shape-trust";
        const Parsed parsed = needsShape ? Parse({"--shape=s.png", name + "=" + value}) : Parse({name + "=" + value});
        ASSERT_EQ(parsed.outcome, ViewerStart::Run) << name << ": " << parsed.error;
        const std::string typed = name == "--seed" || name == "--shape" ? "'" + value + "'" : value;
        EXPECT_EQ(option->text(parsed.parameters), typed);
        EXPECT_NE(HeightMapToolCommand(parsed.parameters).find(" " + name + " " + typed + " "), std::string::npos)
            << HeightMapToolCommand(parsed.parameters);
        EXPECT_NE(ViewerUsage().find("  " + name + " "), std::string::npos) << name;
    }
}

TEST(ViewerOptionsTest, DisplayOptionsSetTheViewTheDetailAndTheTimedemo)
{
    const char* const defaults[] = {"orvandel"};
    TerrainParameters parameters;
    ViewerDisplay display;
    std::string error;
    ASSERT_EQ(ParseViewerOptions(1, defaults, parameters, display, error), ViewerStart::Run);
    EXPECT_EQ(display.view, ViewMode::Height);
    EXPECT_EQ(display.detail, 129u);
    EXPECT_EQ(display.timedemoFrames, 0u);

    const char* const given[] = {"orvandel", "--view=colour", "--detail", "513", "--timedemo", "300"};
    ASSERT_EQ(ParseViewerOptions(6, given, parameters, display, error), ViewerStart::Run) << error;
    EXPECT_EQ(display.view, ViewMode::Colour);
    EXPECT_EQ(display.detail, 513u);
    EXPECT_EQ(display.timedemoFrames, 300u);
    for (const char* option : {"--view", "--detail", "--timedemo"}) {
        EXPECT_NE(ViewerUsage().find(std::string("  ") + option + " "), std::string::npos) << option;
    }
}

TEST(ViewerOptionsTest, TheCommandOfGCarriesTheDetailAsItsSize)
{
    const TerrainParameters parameters;
    EXPECT_EQ(HeightMapToolCommand(parameters), "orvandel-heightmap --roughness 0.5 --falloff 1 --size 1025 --format png16 --out heightmap.png");
    EXPECT_NE(HeightMapToolCommand(parameters, 513).find(" --size 513 "), std::string::npos);
}

TEST(ViewerOptionsTest, HelpIsAnsweredBeforeLaterOptionsAreRead)
{
    EXPECT_EQ(Parse({"--help"}).outcome, ViewerStart::Help);
    EXPECT_EQ(Parse({"--roughness", "2", "--help", "--falloff", "0"}).outcome, ViewerStart::Help);
    const std::string usage = ViewerUsage();
    for (const char* option : {"--seed", "--roughness", "--falloff", "--help"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
}

}  // namespace

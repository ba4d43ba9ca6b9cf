// The command the viewer prints must survive a POSIX shell and read back as
// the same parameters.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <utility>

#include "cli/CommandLineText.h"
#include "app/ToolCommand.h"

namespace {

// What sh makes of the quoted text, as one argument: printf writes it back
// byte for byte.
std::string ThroughTheShell(const std::string& quoted)
{
    const std::string command = "printf '%s' " + quoted;
    FILE* shell = popen(command.c_str(), "r");  // popen runs sh -c
    if (shell == nullptr) {
        ADD_FAILURE() << "cannot start sh";
        return {};
    }
    std::string out;
    char buffer[512];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, shell)) > 0;) {
        out.append(buffer, n);
    }
    EXPECT_EQ(pclose(shell), 0) << command;
    return out;
}

// Counts the arguments sh splits the text into.
int ShellWordCount(const std::string& quoted)
{
    const std::string command = "set -- " + quoted + "; printf '%d' $#";
    FILE* shell = popen(command.c_str(), "r");
    if (shell == nullptr) {
        return -1;
    }
    char buffer[16] = {};
    const size_t n = fread(buffer, 1, sizeof buffer - 1, shell);
    pclose(shell);
    return n > 0 ? std::atoi(buffer) : -1;
}

TEST(ShellQuotedTest, EverySeedComesBackFromShAsOneArgument)
{
    std::string everyByte;
    for (int byte = 1; byte <= 255; ++byte) {
        everyByte += char(byte);
    }
    const std::string seeds[] = {
        "seventeen",
        "two words",
        "  leading and trailing  ",
        "it's",
        "'",
        "''",
        "'quoted'",
        "a'b''c'''d",
        "\"double\" quotes",
        "back\\slash\\",
        "$HOME `id` $(id) ${x:-y} !1 *.tga ~ ? [a] #not a comment; & | < > ( )",
        "tab\there",
        "line\nbreak\n",
        "\xC3\x86r\xC3\xB8 \xE6\x9D\xB1\xE4\xBA\xAC",  // UTF-8 letters
        "\x80\xFF\xFE raw bytes \xC3",                  // not UTF-8 at all
        everyByte,
    };
    for (const std::string& seed : seeds) {
        const std::string quoted = ShellQuoted(seed);
        EXPECT_EQ(ThroughTheShell(quoted), seed) << quoted;
        EXPECT_EQ(ShellWordCount(quoted), 1) << quoted;
    }
}

TEST(ShellQuotedTest, QuotesInsideAreClosedEscapedAndReopened)
{
    EXPECT_EQ(ShellQuoted("seventeen"), "'seventeen'");
    EXPECT_EQ(ShellQuoted("it's"), "'it'\\''s'");
}

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Digits of the mantissa without the leading zeros: "0.000123" has 3.
size_t SignificantDigits(const std::string& text)
{
    std::string digits;
    for (const char c : text.substr(0, text.find_first_of("eE"))) {
        if (c >= '0' && c <= '9' && !(digits.empty() && c == '0')) {
            digits += c;
        }
    }
    return digits.size();
}

TEST(RoundTripFloatTextTest, ReadsBackAsTheSameFloatInAtMostNineDigits)
{
    std::mt19937 random(20261207);
    // Every exponent the parameters can have, with random mantissas.
    std::uniform_real_distribution<float> exponent(-16.0f, 16.0f);
    for (int i = 0; i < 200000; ++i) {
        const float value = std::exp2(exponent(random));
        const std::string text = RoundTripFloatText(value);
        ASSERT_TRUE(SameBits(std::strtof(text.c_str(), nullptr), value)) << text;
        ASSERT_LE(SignificantDigits(text), 9u) << text;
    }
    for (const float value : {std::ldexp(1.0f, -16), std::ldexp(1.0f, 9), std::ldexp(1.0f, 16),
                              std::nextafter(1.0f, 2.0f), std::nextafter(0.5f, 0.0f)}) {
        const std::string text = RoundTripFloatText(value);
        EXPECT_TRUE(SameBits(std::strtof(text.c_str(), nullptr), value)) << text;
    }
}

TEST(RoundTripFloatTextTest, PrefersTheShortestText)
{
    EXPECT_EQ(RoundTripFloatText(0.5f), "0.5");
    EXPECT_EQ(RoundTripFloatText(1.0f), "1");
    EXPECT_EQ(RoundTripFloatText(0.62f), "0.62");
    EXPECT_EQ(RoundTripFloatText(1.7f), "1.7");
    EXPECT_EQ(RoundTripFloatText(512.0f), "512");
    // 0.5 x 1.01 rounds to a float that no shorter text reaches.
    EXPECT_EQ(RoundTripFloatText(0.5f * 1.01f), "0.505");
    EXPECT_EQ(RoundTripFloatText(std::nextafter(1.0f, 2.0f)), "1.0000001");
    EXPECT_EQ(RoundTripFloatText(0.530318677f), "0.5303187");
}

TEST(ToolCommandTest, NamesEveryParameterAndLeavesOutTheDefaultSeed)
{
    TerrainParameters parameters;
    EXPECT_EQ(HeightMapToolCommand(parameters),
              "orvandel-heightmap --roughness 0.5 --falloff 1 --size 1025 --format png16 --out heightmap.png");

    ASSERT_TRUE(TerrainSeed::FromText("it's seventeen", parameters.seed));
    parameters.roughness = 0.530318677f;
    parameters.falloffExponent = 1.7f;
    EXPECT_EQ(ExportReport("2026-12-07 17-40-05 heightmap.tga", parameters),
              "wrote \"2026-12-07 17-40-05 heightmap.tga\"; at any size: orvandel-heightmap --seed 'it'\\''s "
              "seventeen' --roughness 0.5303187 --falloff 1.7 --size 1025 --format png16 --out heightmap.png");

    // The fixed seed typed out is the fixed seed.
    ASSERT_TRUE(TerrainSeed::FromText(TerrainSeed::Default().Text(), parameters.seed));
    EXPECT_EQ(HeightMapToolCommand(parameters).find("--seed"), std::string::npos);
}

// Messages quote values and names through OneLine: every control byte and
// DEL becomes an escape standing for exactly that byte, the rest is kept.
TEST(CommandLineText, OneLineEscapesControlBytesOneForOne)
{
    const std::pair<std::string, std::string> cases[] = {
        {"plain text, \xC3\xA9t\xC3\xA9", "plain text, \xC3\xA9t\xC3\xA9"},
        {"a\nb\rc\td", "a\\nb\\rc\\td"},
        {"\x1b[31mRED", "\\x1b[31mRED"},
        {std::string("nul\0byte", 8), "nul\\x00byte"},
        {"\x01\x1f\x7f", "\\x01\\x1f\\x7f"},
        {"back\\n", "back\\\\n"},  // a backslash and an n, not a line break
        {"\x80\xff", "\x80\xff"},
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(OneLine(text), shown);
    }
}

}  // namespace

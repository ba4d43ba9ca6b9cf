#include "render/TgaTexture.h"

#include "GlRecorder.h"
#include "TgaBytes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include <stdlib.h>
#include <unistd.h>

using TgaBytes::Bytes;
using TgaBytes::Concat;
using TgaBytes::Header;

namespace {

class TgaTexture : public ::testing::Test {
protected:
    void SetUp() override
    {
        GlRecorder::Clear();
        // A file of its own, so concurrent runs of this binary cannot clash.
        path = ::testing::TempDir() + "orvandel_tga_texture_XXXXXX";
        const int fd = mkstemp(path.data());
        ASSERT_NE(fd, -1) << path;
        close(fd);
    }
    void TearDown() override { std::remove(path.c_str()); }

    const char* Write(const Bytes& bytes)
    {
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return path.c_str();
    }

    std::string path;
};

size_t OpenDescriptorCount()
{
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
}

TEST_F(TgaTexture, UploadsRgbInTheDocumentedOrder)
{
    GlRecorder::SetNextTextureName(5);
    GLuint texture = 0;
    ASSERT_TRUE(LoadTGATexture(Write(Concat(Header(2, 2, 1, 24), {1, 2, 3, 4, 5, 6})), &texture));
    EXPECT_EQ(texture, 5u);

    const std::vector<GlCall> expected = {
        {"glGenTextures", {1}},
        {"glPixelStorei", {GL_UNPACK_ALIGNMENT, 1}},
        {"glBindTexture", {GL_TEXTURE_2D, 5}},
        {"glTexParameteri", {GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR}},
        {"glTexParameteri", {GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR}},
        {"glTexImage2D", {GL_TEXTURE_2D, 0, 3, 2, 1, 0, GL_RGB, GL_UNSIGNED_BYTE}},
    };
    const auto& calls = GlRecorder::Calls();
    ASSERT_EQ(calls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(calls[i].name, expected[i].name) << i;
        EXPECT_EQ(calls[i].args, expected[i].args) << calls[i].name;
    }
    EXPECT_EQ(GlRecorder::LastTexImagePixels(), (Bytes{3, 2, 1, 6, 5, 4}));
}

TEST_F(TgaTexture, UploadsRgbaFromRunLengthData)
{
    GLuint texture = 0;
    ASSERT_TRUE(LoadTGATexture(Write(Concat(Header(10, 2, 1, 32), {0x81, 1, 2, 3, 4})), &texture));
    auto uploads = GlRecorder::CallsNamed("glTexImage2D");
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].args, (std::vector<double>{GL_TEXTURE_2D, 0, 4, 2, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE}));
    EXPECT_EQ(GlRecorder::LastTexImagePixels(), (Bytes{3, 2, 1, 4, 3, 2, 1, 4}));
}

TEST_F(TgaTexture, FailureTouchesNothing)
{
    const size_t descriptorsBefore = OpenDescriptorCount();
    const Bytes bad[] = {
        Concat(Header(3, 1, 1, 24), {1, 2, 3}),      // grey-scale type
        Concat(Header(2, 2, 1, 24), {1, 2, 3}),      // pixel data cut short
        Concat(Header(10, 2, 1, 24), {0x85, 1, 2, 3}),  // run past the end
    };
    for (const Bytes& file : bad) {
        GLuint texture = 777;
        ::testing::internal::CaptureStdout();
        EXPECT_FALSE(LoadTGATexture(Write(file), &texture));
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(texture, 777u);
    }
    GLuint texture = 777;
    EXPECT_FALSE(LoadTGATexture("/nonexistent/orvandel/font.tga", &texture));
    EXPECT_EQ(texture, 777u);
    EXPECT_TRUE(GlRecorder::Calls().empty());
    EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore);
}

}  // namespace

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "../support/HeightMapTgaBytes.h"
#include "ScratchDirectory.h"
#include "export/F32Writer.h"
#include "export/HeightMapExport.h"
#include "export/HeightSamples.h"
#include "landing/OutputFile.h"
#include "export/Pgm16Writer.h"
#include "export/TgaWriter.h"
#include "render/TgaFileSource.h"
#include "render/TgaImage.h"
#include "terrain/Array2D.h"
#include "terrain/WrappingArray2D.h"

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInfinity = std::numeric_limits<float>::infinity();

// Cell (x, y) holds k / 65535 for a k distinct per cell, so its 16-bit sample
// is exactly k; the float's error is far below half a step.
unsigned SampleOf(unsigned x, unsigned y) { return (x * 7919u + y * 104729u + 11u) % 65536u; }

template <typename Grid>
Grid Samples(unsigned width, unsigned height)
{
    Grid grid(width, height);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            grid.At(int(x), int(y)) = float(SampleOf(x, y)) / 65535.0f;
        }
    }
    return grid;
}

template <typename Write>
std::vector<uint8_t> WrittenBytes(const Write& write)
{
    ScratchDirectory dir;
    const std::string path = dir.File("out");
    OutputFile output;
    EXPECT_TRUE(output.Open(path));
    EXPECT_TRUE(write(output));
    EXPECT_TRUE(output.Commit());
    return ReadFileBytes(path);
}

uint32_t Little32(const uint8_t* at) { return at[0] | at[1] << 8 | at[2] << 16 | uint32_t(at[3]) << 24; }

uint32_t BitsOf(float value)
{
    uint32_t bits = 0;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

TEST(HeightToSample16, ClampsAndRoundsHalfUp)
{
    EXPECT_EQ(HeightToSample16(0.0f), 0);
    EXPECT_EQ(HeightToSample16(1.0f), 65535);
    EXPECT_EQ(HeightToSample16(0.5f), 32768);  // 32767.5
    EXPECT_EQ(HeightToSample16(0.49f / 65535.0f), 0);
    EXPECT_EQ(HeightToSample16(0.51f / 65535.0f), 1);
    EXPECT_EQ(HeightToSample16(65534.4f / 65535.0f), 65534);
    EXPECT_EQ(HeightToSample16(65534.6f / 65535.0f), 65535);
    EXPECT_EQ(HeightToSample16(7.0f), 65535);
    EXPECT_EQ(HeightToSample16(kInfinity), 65535);
    EXPECT_EQ(HeightToSample16(-0.1f), 0);
    EXPECT_EQ(HeightToSample16(-kInfinity), 0);
    EXPECT_EQ(HeightToSample16(kNaN), 0);
}

// The whole-file encoder is a separate implementation of the same layout.
TEST(WriteHeightMapTga, SameBytesAsTheWholeFileEncoder)
{
    Array2D<float> grid = Samples<Array2D<float>>(37, 23);
    grid.At(0, 0) = kNaN;
    grid.At(1, 0) = 2.0f;
    grid.At(2, 0) = -kInfinity;
    const std::vector<uint8_t> streamed = WrittenBytes([&](OutputFile& out) { return WriteHeightMapTga(grid, out); });
    EXPECT_EQ(streamed.size(), 18u + 3u * 37u * 23u);
    EXPECT_EQ(streamed, HeightMapTGABytes(grid));

    // A grid read cell by cell, and one wider than the header's 16 bits.
    const auto wrapping = Samples<WrappingArray2D<float>>(5, 4);
    EXPECT_EQ(WrittenBytes([&](OutputFile& out) { return WriteHeightMapTga(wrapping, out); }),
              HeightMapTGABytes(wrapping));
    const auto wide = Samples<Array2D<float>>(65536 + 3, 2);
    const std::vector<uint8_t> cut = WrittenBytes([&](OutputFile& out) { return WriteHeightMapTga(wide, out); });
    EXPECT_EQ(cut.size(), 18u + 3u * 3u * 2u);
    EXPECT_EQ(cut, HeightMapTGABytes(wide));
}

TEST(WriteHeightMapTga, ViewersReaderSeesEveryCellInItsPlace)
{
    ScratchDirectory dir;
    const std::string path = dir.File("map.tga");
    const auto grid = Samples<Array2D<float>>(129, 129);
    OutputFile output;
    ASSERT_TRUE(output.Open(path));
    ASSERT_TRUE(WriteHeightMapTga(grid, output));
    ASSERT_TRUE(output.Commit());
    TgaFileSource file(path.c_str());
    TgaImage image;
    ASSERT_TRUE(DecodeTGA(file, image));
    ASSERT_EQ(image.width, 129u);
    ASSERT_EQ(image.height, 129u);
    ASSERT_EQ(image.bytesPerPixel, 3u);
    int mismatches = 0;
    for (unsigned y = 0; y < 129; ++y) {
        for (unsigned x = 0; x < 129; ++x) {
            // 255 k / 65535 = k / 257, truncated.
            const unsigned expected = SampleOf(x, y) / 257;
            const size_t at = 3 * (x + y * 129);
            for (int channel = 0; channel < 3; ++channel) {
                mismatches += image.pixels[at + channel] != expected;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(WriteHeightMapPgm16, HeaderThenBigEndianSamplesTopRowFirst)
{
    const unsigned width = 300;
    const unsigned height = 7;
    auto grid = Samples<Array2D<float>>(width, height);
    grid.At(4, 2) = kNaN;
    grid.At(5, 2) = 1.5f;
    grid.At(6, 2) = -0.5f;
    const std::vector<uint8_t> bytes = WrittenBytes([&](OutputFile& out) { return WriteHeightMapPgm16(grid, out); });
    const std::string header = "P5\n300 7\n65535\n";
    ASSERT_EQ(bytes.size(), header.size() + 2 * width * height);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + header.size()), header);
    int mismatches = 0;
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            unsigned expected = SampleOf(x, y);
            if (y == 2 && x >= 4 && x <= 6) {
                expected = x == 5 ? 65535 : 0;
            }
            const size_t at = header.size() + 2 * (x + (height - 1 - y) * width);
            mismatches += (unsigned(bytes[at]) << 8 | bytes[at + 1]) != expected;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(WriteHeightMapF32, CellBitsLittleEndianInEitherRowOrder)
{
    const unsigned width = 6;
    const unsigned height = 5;
    WrappingArray2D<float> grid(width, height);
    const float odd[] = {kNaN, -kNaN, -0.0f, std::numeric_limits<float>::denorm_min(), kInfinity, -3.25e38f, 1.0f};
    for (unsigned i = 0; i < width * height; ++i) {
        grid.At(int(i % width), int(i / width)) = i < 7 ? odd[i] : float(i) * 0.1f;
    }
    for (RowOrder order : {RowOrder::BottomFirst, RowOrder::TopFirst}) {
        const std::vector<uint8_t> bytes =
            WrittenBytes([&](OutputFile& out) { return WriteHeightMapF32(grid, order, out); });
        ASSERT_EQ(bytes.size(), 4u * width * height);
        int mismatches = 0;
        for (unsigned y = 0; y < height; ++y) {
            const unsigned fileRow = order == RowOrder::BottomFirst ? y : height - 1 - y;
            for (unsigned x = 0; x < width; ++x) {
                mismatches += Little32(&bytes[4 * (x + fileRow * width)]) != BitsOf(grid.At(int(x), int(y)));
            }
        }
        EXPECT_EQ(mismatches, 0) << (order == RowOrder::TopFirst ? "top first" : "bottom first");
    }
}

int writesAllowed = 0;
ssize_t WriteUntilFull(int descriptor, const void* bytes, size_t size)
{
    if (writesAllowed-- > 0) {
        return write(descriptor, bytes, size);
    }
    errno = ENOSPC;
    return -1;
}

// Each writer stops at the first failure and says nothing of its own: the
// one line is OutputFile's.
TEST(HeightMapWriters, StopAfterTheOutputFailsWithOneLine)
{
    const auto grid = Samples<Array2D<float>>(800, 800);  // every format more than a buffer (1 MiB)
    const std::vector<std::function<bool(OutputFile&)>> writers = {
        [&](OutputFile& out) { return WriteHeightMapTga(grid, out); },
        [&](OutputFile& out) { return WriteHeightMapPgm16(grid, out); },
        [&](OutputFile& out) { return WriteHeightMapF32(grid, RowOrder::TopFirst, out); },
    };
    for (const auto& writeMap : writers) {
        ScratchDirectory dir;
        const std::string path = dir.File("map");
        const OutputFileSystemCalls saved = outputFileSystemCalls;
        writesAllowed = 0;
        outputFileSystemCalls.write = WriteUntilFull;
        testing::internal::CaptureStderr();
        OutputFile output;
        const bool opened = output.Open(path);
        const bool written = writeMap(output);
        const std::string said = testing::internal::GetCapturedStderr();
        outputFileSystemCalls = saved;
        EXPECT_TRUE(opened);
        EXPECT_FALSE(written);
        EXPECT_EQ(said, "");
        EXPECT_EQ(output.Error(), "writing \"" + path + "\" failed: No space left on device");
        EXPECT_TRUE(dir.Entries().empty());
    }
}

// A map the size of the largest the tool makes, computed rather than stored,
// so the writers' own memory shows.
class ComputedMap : public Matrix2DInterface<float> {
public:
    explicit ComputedMap(unsigned side) : side(side) {}
    float& At(int, int) override { throw 0; }
    const float& At(int x, int y) const override
    {
        cell = float((x ^ y) & 0xFFFF) / 65535.0f;
        return cell;
    }
    unsigned GetWidth() const override { return side; }
    unsigned GetHeight() const override { return side; }
    void Fill(const float&) override {}

private:
    unsigned side;
    mutable float cell = 0.0f;
};

size_t bytesWritten = 0;
ssize_t CountingWrite(int, const void*, size_t size)
{
    bytesWritten += size;
    return ssize_t(size);
}

#if defined(__SANITIZE_ADDRESS__)
const bool kAddressSpaceLimitUsable = false;  // the sanitizer reserves terabytes
#else
const bool kAddressSpaceLimitUsable = true;
#endif

TEST(HeightMapWriters, LargestMapStreamsInBoundedMemory)
{
    if (!kAddressSpaceLimitUsable) {
        GTEST_SKIP() << "address space limit not usable under the sanitizer";
    }
    const unsigned side = 8193;
    const ComputedMap map(side);
    const ChildRun run = RunInChild([&] {
        // 64 MiB more than the child already has: a quarter of the f32 file.
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        FILE* status = fopen("/proc/self/statm", "r");
        unsigned long pages = 0;
        if (status == nullptr || fscanf(status, "%lu", &pages) != 1) {
            return 10;
        }
        fclose(status);
        limit.rlim_cur = pages * size_t(sysconf(_SC_PAGESIZE)) + (size_t(64) << 20);
        if (setrlimit(RLIMIT_AS, &limit) != 0) {
            return 11;
        }
        outputFileSystemCalls.write = CountingWrite;
        const size_t cells = size_t(side) * side;
        const std::string pgmHeader = "P5\n8193 8193\n65535\n";
        int failures = 0;
        try {
            const struct {
                std::function<bool(OutputFile&)> write;
                size_t size;
            } formats[] = {
                {[&](OutputFile& out) { return WriteHeightMapTga(map, out); }, 18 + 3 * cells},
                {[&](OutputFile& out) { return WriteHeightMapPgm16(map, out); }, pgmHeader.size() + 2 * cells},
                {[&](OutputFile& out) { return WriteHeightMapF32(map, RowOrder::BottomFirst, out); }, 4 * cells},
            };
            for (const auto& format : formats) {
                bytesWritten = 0;
                OutputFile output;
                const bool ok = output.Open("/dev/null") && format.write(output) && output.Commit();
                failures += !ok || bytesWritten != format.size;
            }
        } catch (const std::bad_alloc&) {
            return 12;
        }
        return failures;
    });
    EXPECT_EQ(run.status, 0) << run.err;
}

TEST(SaveHeightMapTGA, TwoExportsInOneSecondLeaveTheSecondWholeAndTheFirstUntouched)
{
    ScratchDirectory dir;
    WorkingDirectoryScope inside(dir.Path());
    const auto first = Samples<Array2D<float>>(129, 129);
    Array2D<float> second(129, 129);
    second.Fill(0.75f);
    // Retried in the rare case that the clock's second turns between them.
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::string firstName;
        std::string secondName;
        std::string error;
        ASSERT_TRUE(SaveHeightMapTGA(first, nullptr, error, &firstName));
        FILE* reader = fopen(firstName.c_str(), "rb");  // holds on to the first file
        ASSERT_NE(reader, nullptr);
        ASSERT_TRUE(SaveHeightMapTGA(second, nullptr, error, &secondName));
        std::vector<uint8_t> held(60000);
        held.resize(fread(held.data(), 1, held.size(), reader));
        fclose(reader);
        if (firstName != secondName) {
            for (const std::string& name : dir.Entries()) {
                std::remove(name.c_str());
            }
            continue;
        }
        EXPECT_EQ(dir.Entries(), std::vector<std::string>{secondName});
        const std::vector<uint8_t> now = ReadFileBytes(secondName);
        EXPECT_EQ(now.size(), 49941u);
        EXPECT_EQ(now, HeightMapTGABytes(second));
        EXPECT_EQ(held.size(), 49941u);
        EXPECT_EQ(held, HeightMapTGABytes(first));
        return;
    }
    FAIL() << "the clock's second turned during every attempt";
}

}  // namespace

#include "export/ExrWriter.h"

#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfOutputFile.h>
#include <OpenEXR/ImfThreading.h>

#include <algorithm>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "export/ExrOutputStream.h"
#include "export/GridRows.h"

namespace {

// Lines handed to OpenEXR at a time: a whole number of its 16-line ZIP
// blocks, a few megabytes at the largest size.
constexpr unsigned kLinesPerBlock = 256;

// zlib's level for the ZIP blocks: three equal float channels are a lot of
// bytes, and the higher levels cost several times the time for a few per cent.
constexpr int kZipLevel = 1;

void WriteLines(const Matrix2DInterface<float>& map, Imf::OutputFile& file)
{
    const unsigned width = map.GetWidth();
    const unsigned height = map.GetHeight();
    std::vector<float> block(size_t(width) * kLinesPerBlock);
    for (unsigned first = 0; first < height; first += kLinesPerBlock) {
        const unsigned count = std::min(kLinesPerBlock, height - first);
        for (unsigned line = 0; line < count; ++line) {
            CopyGridRow(map, GridRowAt(first + line, height, RowOrder::TopFirst), &block[size_t(line) * width]);
        }
        // R, G and B all read the one grey cell.
        Imf::FrameBuffer frame;
        for (const char* channel : {"R", "G", "B"}) {
            frame.insert(channel, Imf::Slice::Make(Imf::FLOAT, block.data(), Imath::V2i(0, int(first)), width,
                                                   count, sizeof(float), sizeof(float) * width));
        }
        file.setFrameBuffer(frame);
        file.writePixels(int(count));
    }
}

}  // namespace

bool WriteHeightMapExr(const Matrix2DInterface<float>& map, OutputFile& out)
{
    if (!out.RequireSeeking()) {
        return false;
    }
    std::string problem;
    try {
        ExrOutputStream stream(out, out.Path().c_str());
        Imf::Header header(int(map.GetWidth()), int(map.GetHeight()));
        header.compression() = Imf::ZIP_COMPRESSION;
        header.zipCompressionLevel() = kZipLevel;
        header.lineOrder() = Imf::INCREASING_Y;
        for (const char* channel : {"R", "G", "B"}) {
            header.channels().insert(channel, Imf::Channel(Imf::FLOAT));
        }
        // OpenEXR compresses blocks of lines on its shared pool of threads,
        // which is empty unless the program asks for one.
        const int threads = int(std::max(1u, std::min(8u, std::thread::hardware_concurrency())));
        if (Imf::globalThreadCount() < threads) {
            Imf::setGlobalThreadCount(threads);
        }
        Imf::OutputFile file(stream, header, threads);
        WriteLines(map, file);
    } catch (const std::exception& error) {
        problem = error.what();
    } catch (...) {
        problem = "unknown error";
    }
    // A failed write has already made its report, inside OpenEXR's
    // destructor too; OpenEXR's own account of it adds nothing.
    if (!problem.empty()) {
        return out.Fail("OpenEXR: " + problem);
    }
    return !out.Failed();
}

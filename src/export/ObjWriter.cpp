#include "export/ObjWriter.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

#include "export/MeshGeometry.h"

namespace {

// Text is formatted into one block and handed to the file when nearly full:
// a 4097 x 4097 mesh is some three gigabytes of text.
class ObjText {
public:
    explicit ObjText(OutputFile& out) : out(out), block(kBlockSize) {}

    // Room for any one line.
    bool Reserve()
    {
        if (used + kLongestLine <= block.size()) {
            return true;
        }
        return Flush();
    }

    bool Flush()
    {
        const bool written = out.Write(block.data(), used);
        used = 0;
        return written;
    }

    // Reserve keeps a line's room free; the bound here also lets the
    // compiler see that the copy stays inside the block.
    void Text(const char* text)
    {
        const size_t length = std::min(std::strlen(text), block.size() - used);
        std::memcpy(block.data() + used, text, length);
        used += length;
    }

    // Shortest text that reads back as the same float.
    void Number(float value)
    {
        char* start = block.data() + used;
        used += std::to_chars(start, block.data() + block.size(), value).ptr - start;
    }

    void Index(unsigned long value)
    {
        char* start = block.data() + used;
        used += std::to_chars(start, block.data() + block.size(), value).ptr - start;
    }

    void Point(const char* tag, const MeshPoint& point)
    {
        Text(tag);
        Number(point.x);
        Text(" ");
        Number(point.y);
        Text(" ");
        Number(point.z);
        Text("\n");
    }

    void Corner(unsigned long vertex)
    {
        Text(" ");
        Index(vertex);
        Text("//");
        Index(vertex);
    }

private:
    static constexpr size_t kBlockSize = 1 << 20;
    static constexpr size_t kLongestLine = 256;

    OutputFile& out;
    std::vector<char> block;
    size_t used = 0;
};

}  // namespace

bool WriteHeightMapObj(const Matrix2DInterface<float>& map, OutputFile& out)
{
    const unsigned width = map.GetWidth();
    const unsigned height = map.GetHeight();
    if (width < 2 || height < 2) {
        return out.Fail("a mesh needs at least 2 x 2 cells");
    }
    ObjText text(out);
    text.Text("# orvandel heightmap mesh\n");
    for (unsigned j = 0; j < height; ++j) {
        for (unsigned i = 0; i < width; ++i) {
            if (!text.Reserve()) {
                return false;
            }
            text.Point("v ", MeshVertexPosition(map, i, j));
        }
    }
    for (unsigned j = 0; j < height; ++j) {
        for (unsigned i = 0; i < width; ++i) {
            if (!text.Reserve()) {
                return false;
            }
            text.Point("vn ", MeshVertexNormal(map, i, j));
        }
    }
    // Cell (i, j) has corners p00 = (i, j), p10 = (i + 1, j), p01 = (i, j + 1)
    // and p11; split along p00-p11 like the viewer, wound the other way round
    // so that the faces point up.
    for (unsigned j = 0; j + 1 < height; ++j) {
        for (unsigned i = 0; i + 1 < width; ++i) {
            if (!text.Reserve()) {
                return false;
            }
            const unsigned long p00 = static_cast<unsigned long>(j) * width + i + 1;
            const unsigned long p10 = p00 + 1;
            const unsigned long p01 = p00 + width;
            const unsigned long p11 = p01 + 1;
            text.Text("f");
            text.Corner(p00);
            text.Corner(p11);
            text.Corner(p10);
            text.Text("\nf");
            text.Corner(p00);
            text.Corner(p01);
            text.Corner(p11);
            text.Text("\n");
        }
    }
    return text.Flush();
}

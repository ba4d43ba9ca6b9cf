#include <GL/osmesa.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "math/CameraFrame.h"
#include "render/Render.h"

namespace {

constexpr int windowWidth = 800;
constexpr int windowHeight = 600;

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
    // Within one step per channel: how the clear colour 0.7 rounds is the
    // driver's choice.
    bool Near(const Rgb& o) const { return std::abs(r - o.r) <= 1 && std::abs(g - o.g) <= 1 && std::abs(b - o.b) <= 1; }
};

const Rgb sky{0, 102, 179};

std::ostream& operator<<(std::ostream& out, const Rgb& c)
{
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

// The window as an 800 x 600 off-screen colour and depth buffer.
class MesaRenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        context = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
        ASSERT_NE(context, nullptr);
        buffer.assign(size_t(windowWidth) * windowHeight * 4, 0);
        ASSERT_TRUE(OSMesaMakeCurrent(context, buffer.data(), GL_UNSIGNED_BYTE, windowWidth, windowHeight));
    }

    static void TearDownTestSuite()
    {
        OSMesaDestroyContext(context);
        context = nullptr;
    }

    void SetUp() override
    {
        ASSERT_NE(context, nullptr);
        glViewport(0, 0, windowWidth, windowHeight);
        glDepthFunc(GL_LEQUAL);
        glShadeModel(GL_SMOOTH);
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
    }

    void Clear(float r, float g, float b)
    {
        glClearColor(r, g, b, 1.0f);
        glClearDepth(1.0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    // Looking straight down -y: world x to the right, world -z up the
    // window, the unit square filling the middle half each way.
    static void LoadTopDownView()
    {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1, 1, -1, 1, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glRotatef(90, 1, 0, 0);
    }

    // Pixel (x, y) counted from the top-left corner, as a screenshot shows it.
    static Rgb Pixel(int x, int y)
    {
        const unsigned char* p = &pixels[(size_t(windowHeight - 1 - y) * windowWidth + x) * 4];
        return Rgb{p[0], p[1], p[2]};
    }

    static void ReadBack()
    {
        glFinish();
        pixels.assign(size_t(windowWidth) * windowHeight * 4, 0);
        glReadPixels(0, 0, windowWidth, windowHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    }

    static void WriteSnapshot(const char* name)
    {
        const std::string path = std::string(ORVANDEL_SNAPSHOT_DIR) + "/" + name;
        FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_NE(out, nullptr) << path;
        std::fprintf(out, "P6\n%d %d\n255\n", windowWidth, windowHeight);
        for (int y = 0; y < windowHeight; ++y) {
            for (int x = 0; x < windowWidth; ++x) {
                const Rgb c = Pixel(x, y);
                const unsigned char rgb[3] = {static_cast<unsigned char>(c.r), static_cast<unsigned char>(c.g),
                                              static_cast<unsigned char>(c.b)};
                std::fwrite(rgb, 3, 1, out);
            }
        }
        std::fclose(out);
    }

    // Every pixel well inside the square shows the mesh colour, every pixel
    // well outside it the clear colour.
    static void ExpectSquare(const Rgb& mesh, const Rgb& background)
    {
        int wrong = 0;
        for (int y = 0; y < windowHeight; y += 3) {
            for (int x = 0; x < windowWidth; x += 3) {
                const bool inside = x > 202 && x < 598 && y > 152 && y < 448;
                const bool outside = x < 198 || x > 602 || y < 148 || y > 452;
                if (!inside && !outside) continue;
                const Rgb expected = inside ? mesh : background;
                if (!Pixel(x, y).Near(expected) && wrong++ < 5) {
                    ADD_FAILURE() << "pixel " << x << "," << y << " is " << Pixel(x, y) << ", expected " << expected;
                }
            }
        }
        EXPECT_EQ(wrong, 0);
    }

    static OSMesaContext context;
    static std::vector<unsigned char> buffer;
    static std::vector<unsigned char> pixels;
};

OSMesaContext MesaRenderTest::context = nullptr;
std::vector<unsigned char> MesaRenderTest::buffer;
std::vector<unsigned char> MesaRenderTest::pixels;

Array2D<float> Level(float height)
{
    Array2D<float> grid(129, 129);
    grid.Fill(height);
    return grid;
}

// Loads the built font.tga, which the font module reads from the working
// directory, and unloads it at the end of the scope.
class BuiltFont {
public:
    BuiltFont() : previous(std::filesystem::current_path())
    {
        std::filesystem::current_path(ORVANDEL_FONT_DIR);
        loaded = LoadFont();
        std::filesystem::current_path(previous);
    }
    ~BuiltFont() { UnloadFont(); }
    bool loaded;

private:
    std::filesystem::path previous;
};

}  // namespace

TEST_F(MesaRenderTest, LevelGroundIsAFlatSquareInItsHeightsGrey)
{
    Array2D<float> zeros = Level(0.0f);
    Clear(0.0f, 0.4f, 0.7f);
    LoadTopDownView();
    DrawTerrainMesh(zeros);
    ReadBack();
    ExpectSquare(Rgb{0, 0, 0}, sky);

    Array2D<float> ones = Level(1.0f);
    Clear(0.0f, 0.4f, 0.7f);
    DrawTerrainMesh(ones);
    ReadBack();
    ExpectSquare(Rgb{255, 255, 255}, sky);
}

TEST_F(MesaRenderTest, StatusLinesFillTheTopLeftCornerInTheirTints)
{
    BuiltFont font;
    ASSERT_TRUE(font.loaded);
    Clear(0.0f, 0.0f, 0.0f);
    CameraFrame frame = StartFrame();
    Orthonormalise(frame);
    DrawStatusOverlay(frame);
    ReadBack();

    // Four lines of 25 cells at 17 pixels with a 20-pixel cell: 428 pixels
    // across; four lines at a 22-pixel pitch.
    const Rgb tints[4] = {{255, 255, 255}, {155, 255, 255}, {255, 155, 255}, {255, 255, 155}};
    int strayPixels = 0;
    int inkPixels[4] = {0, 0, 0, 0};
    for (int y = 0; y < windowHeight; ++y) {
        for (int x = 0; x < windowWidth; ++x) {
            const Rgb c = Pixel(x, y);
            if (c == Rgb{0, 0, 0}) continue;
            const int line = y / 22;
            if (x >= 428 || line >= 4 || y % 22 >= 20) {
                ++strayPixels;
            } else if (c == tints[line]) {
                ++inkPixels[line];
            }
        }
    }
    EXPECT_EQ(strayPixels, 0);
    for (int line = 0; line < 4; ++line) {
        EXPECT_GT(inkPixels[line], 400) << "line " << line;
    }
    // A picture to look at when something is off, or on request.
    if (HasFailure() || std::getenv("ORVANDEL_KEEP_RENDERS") != nullptr) {
        WriteSnapshot("overlay-on-black.ppm");
    }
}

// Images: frames cut from strips and grids, padding, handles, the whole-surface case, drawing them
// plain, rotated and scaled, and the two runtime errors.
#include "framework_frame.h"
#include "test_images.h"
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using gltest::kBlack;
using gltest::PixelAt;
using gltest::Rgb;

namespace {

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kGreen{0, 255, 0};

class Images : public gltest::FrameworkTest {
  public:
    // An opaque RGBA image whose pixel (x, y) has the colour colourAt(x, y).
    template <class F> String WriteImage(const std::string& name, int w, int h, F colourAt) {
        std::vector<unsigned char> bytes;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                Rgb c = colourAt(x, y);
                bytes.insert(bytes.end(), {(unsigned char)c.r, (unsigned char)c.g, (unsigned char)c.b, 255});
            }
        }
        return String(files.Write(name, w, h, 4, bytes).c_str());
    }
    String PlainImage(int w, int h) {
        return WriteImage("plain" + std::to_string(w) + "x" + std::to_string(h), w, h,
                          [](int, int) { return kRed; });
    }

  protected:
    static std::vector<std::pair<int, int>> FramePositions(const c_Image* image) {
        std::vector<std::pair<int, int>> positions;
        for (c_Frame* f : image->frames) positions.emplace_back(f->x, f->y);
        return positions;
    }

  private:
    gltest::TempImages files;
};

TEST_F(Images, AStripWithXPaddingAndACentredHandle) {
    c_Image* image = vx_graphics_LoadImage(PlainImage(320, 32), 10, c_Image::PadX | c_Image::HandleCentre);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 30);
    EXPECT_EQ(image->height, 32);
    ASSERT_EQ(image->frames.Length(), 10);
    EXPECT_EQ(FramePositions(image)[0], std::pair(1, 0));
    EXPECT_EQ(FramePositions(image)[1], std::pair(33, 0));
    EXPECT_EQ(FramePositions(image)[9], std::pair(289, 0));
    EXPECT_FLOAT_EQ(image->handleX, 15);
    EXPECT_FLOAT_EQ(image->handleY, 16);
    // The handle flag is consumed once applied.
    EXPECT_EQ(image->flags, c_Image::PadX);
}

TEST_F(Images, AGridIsReadLeftToRightTopToBottom) {
    c_Image* image = vx_graphics_LoadImage2(PlainImage(64, 48), 16, 16, 9, 0);
    ASSERT_NE(image, nullptr);
    std::vector<std::pair<int, int>> expected = {{0, 0},   {16, 0},  {32, 0},  {48, 0}, {0, 16},
                                                 {16, 16}, {32, 16}, {48, 16}, {0, 32}};
    EXPECT_EQ(FramePositions(image), expected);
}

// Rows wrap at the width of the source rectangle, not of the surface, and frames are placed
// relative to that rectangle, starting at the given position inside it.
TEST_F(Images, AGridInsideASourceRectangle) {
    gxtkSurface* surface = device->CreateSurface(64, 64);
    c_Image* image = (new c_Image)->m_new()->p_Init2(surface, 10, 0, 10, 10, 5, 0, nullptr, 8, 4, 25, 30);
    std::vector<std::pair<int, int>> expected = {{18, 4}, {8, 14}, {18, 14}, {8, 24}, {18, 24}};
    EXPECT_EQ(FramePositions(image), expected);
    EXPECT_EQ(image->surface, surface);
}

TEST_F(Images, ACreatedImageIsAStripOfItsFrames) {
    c_Image* image = vx_graphics_CreateImage(8, 4, 3, 0);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->surface->Width(), 24);
    EXPECT_EQ(image->width, 8);
    EXPECT_EQ(FramePositions(image), (std::vector<std::pair<int, int>>{{0, 0}, {8, 0}, {16, 0}}));
}

TEST_F(Images, AMissingFileGivesNull) {
    EXPECT_EQ(vx_graphics_LoadImage(String(u"/nonexistent/image.png"), 1, 0), nullptr);
    EXPECT_EQ(vx_graphics_LoadImage2(String(u"/nonexistent/image.png"), 8, 8, 1, 0), nullptr);
}

// Top and bottom rows blue, the rows between red.
String BorderedImage(Images& test) {
    return test.WriteImage("bordered", 4, 4, [](int, int y) { return y == 0 || y == 3 ? kBlue : kRed; });
}

TEST_F(Images, AnImageCoveringItsSurfaceIsDrawnAsTheWholeSurface) {
    c_Image* whole = vx_graphics_LoadImage(BorderedImage(*this), 1, 0);
    c_Image* padded = vx_graphics_LoadImage(BorderedImage(*this), 1, c_Image::PadY);
    ASSERT_TRUE(whole && padded);
    EXPECT_TRUE(whole->flags & c_Image::WholeSurface);
    EXPECT_FALSE(padded->flags & c_Image::WholeSurface);
    vx_graphics_DrawImage(whole, 10, 10, 0);
    vx_graphics_DrawImage(padded, 20, 10, 0);
    EndFrame();
    EXPECT_EQ(PixelAt(10, 10), kBlue);
    EXPECT_EQ(PixelAt(10, 13), kBlue);
    // Without its padding rows: two red rows, nothing below.
    EXPECT_EQ(PixelAt(20, 10), kRed);
    EXPECT_EQ(PixelAt(23, 11), kRed);
    EXPECT_EQ(PixelAt(20, 12), kBlack);
}

TEST_F(Images, FramesAreDrawnAtTheirHandle) {
    // Two 4 x 2 frames: red, then green.
    String path = WriteImage("frames", 8, 2, [](int x, int) { return x < 4 ? kRed : kGreen; });
    c_Image* image = vx_graphics_LoadImage(path, 2, c_Image::HandleCentre);
    ASSERT_NE(image, nullptr);
    vx_graphics_DrawImage(image, 100, 100, 1);
    // Indices outside the image draw nothing.
    vx_graphics_DrawImage(image, 200, 100, 2);
    vx_graphics_DrawImage(image, 200, 100, -1);
    EndFrame();
    EXPECT_EQ(PixelAt(98, 99), kGreen);
    EXPECT_EQ(PixelAt(101, 100), kGreen);
    EXPECT_EQ(PixelAt(97, 99), kBlack);
    EXPECT_EQ(PixelAt(102, 100), kBlack);
    EXPECT_EQ(PixelAt(98, 101), kBlack);
    EXPECT_EQ(PixelAt(199, 99), kBlack);
}

TEST_F(Images, RotatedImagesTurnCounterClockwiseAboutTheirHandle) {
    // Left half red, right half blue, handle at the centre (2, 1).
    String path = WriteImage("halves", 4, 2, [](int x, int) { return x < 2 ? kRed : kBlue; });
    c_Image* image = vx_graphics_LoadImage(path, 1, c_Image::HandleCentre);
    ASSERT_NE(image, nullptr);
    vx_graphics_Translate(5, 5); // the image's own transform comes on top of the current one
    vx_graphics_DrawImage2(image, 95, 95, 90, 1, 1, 0);
    // Scaled 3 x 2 about the handle, unrotated.
    vx_graphics_DrawImage2(image, 195, 95, 0, 3, 2, 0);
    vx_graphics_DrawImage(image, 300, 300, 0);
    EndFrame();
    // A quarter turn puts the right half above the handle.
    for (auto [x, y] : {std::pair{99, 98}, {100, 99}}) EXPECT_EQ(PixelAt(x, y), kBlue) << x << "," << y;
    for (auto [x, y] : {std::pair{99, 100}, {100, 101}}) EXPECT_EQ(PixelAt(x, y), kRed) << x << "," << y;
    for (auto [x, y] : {std::pair{98, 100}, {101, 100}, {100, 97}, {100, 102}})
        EXPECT_EQ(PixelAt(x, y), kBlack);
    EXPECT_EQ(PixelAt(194, 98), kRed);
    EXPECT_EQ(PixelAt(205, 101), kBlue);
    EXPECT_EQ(PixelAt(193, 98), kBlack);
    EXPECT_EQ(PixelAt(206, 101), kBlack);
    EXPECT_EQ(PixelAt(200, 102), kBlack);
    // The transform around DrawImage2 is restored afterwards.
    EXPECT_EQ(PixelAt(303, 304), kRed);
}

// Colour, alpha and matrix changes between images never split the batch: 2,500 quads are 10,000
// vertices, ten batches.
TEST_F(Images, AFrameOfImagesCostsOneDrawPerFullBatch) {
    c_Image* image = vx_graphics_CreateImage(16, 16, 4, c_Image::HandleCentre);
    long draws = gltest::DrawCallsOf([&] {
        for (int i = 0; i < 2500; ++i) {
            vx_graphics_SetColor(float(i % 256), 100, 200);
            vx_graphics_SetAlpha(float(i % 3) / 2);
            if (i % 2) {
                vx_graphics_DrawImage2(image, float(i % 50) * 12, float(i / 50) * 9, float(i), 1.5f, 1,
                                       i % 4);
            } else {
                vx_graphics_DrawImage(image, float(i % 50) * 12, float(i / 50) * 9, i % 4);
            }
        }
        EndFrame();
    });
    EXPECT_EQ(draws, 10);
}

TEST_F(Images, TexturedPolygonsTakePixelOffsetsInsideTheFrame) {
    String path = WriteImage("frames2", 8, 2, [](int x, int) { return x < 4 ? kRed : kGreen; });
    c_Image* image = vx_graphics_LoadImage(path, 2, 0);
    ASSERT_NE(image, nullptr);
    float quad[] = {10, 10, 0, 0, 30, 10, 4, 0, 30, 20, 4, 2, 10, 20, 0, 2};
    vx_graphics_DrawPoly2(Array<float>(quad, 16), image, 1);
    EndFrame();
    EXPECT_EQ(PixelAt(11, 11), kGreen);
    EXPECT_EQ(PixelAt(29, 19), kGreen);
}

struct ErrorCase {
    const char* name;
    void (*misuse)(Images&);
    const char* message;
};

class ImageErrors : public Images, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(ImageErrors, EndTheProgramWithARuntimeError) {
    const ErrorCase& c = GetParam();
    ChildResult result = RunInChild([&] { c.misuse(*this); });
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(result.out, std::string("Cobalt Runtime Error : ") + c.message + "\n\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImageErrors,
    ::testing::Values(
        ErrorCase{"SecondInit",
                  [](Images& fixture) {
                      c_Image* image = vx_graphics_LoadImage(fixture.PlainImage(8, 8), 1, 0);
                      image->p_Init(image->surface, 1, 0);
                  },
                  "Image already initialized"},
        // 16 frames of 16 x 16 fit in 64 x 64; the 17th does not.
        ErrorCase{"GridOverflow",
                  [](Images& fixture) { vx_graphics_LoadImage2(fixture.PlainImage(64, 64), 16, 16, 17, 0); },
                  "Image frame outside surface"},
        ErrorCase{"FrameWiderThanSurface",
                  [](Images& fixture) { vx_graphics_LoadImage2(fixture.PlainImage(8, 8), 16, 4, 1, 0); },
                  "Image frame outside surface"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(Images, SixteenFramesFillTheGrid) {
    c_Image* image = vx_graphics_LoadImage2(PlainImage(64, 64), 16, 16, 16, 0);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(FramePositions(image).back(), std::pair(48, 48));
}

} // namespace

// The graphics device on a real OpenGL context: what each primitive puts in the back buffer, how
// colours blend, and how many draw calls the batch costs.
#include "devices/graphics/decode_ahead.h"
#include "gl_window.h"
#include "test_images.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

using gltest::DrawCallsOf;
using gltest::kBlack;
using gltest::kHeight;
using gltest::kWhite;
using gltest::kWidth;
using gltest::PixelAt;
using gltest::Rgb;

namespace {

// Blending rounds differently across drivers by one step.
::testing::AssertionResult Near(const Rgb& actual, const Rgb& expected) {
    if (std::abs(actual.r - expected.r) <= 1 && std::abs(actual.g - expected.g) <= 1 &&
        std::abs(actual.b - expected.b) <= 1)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel " << actual << ", expected " << expected;
}

Array<float> Floats(std::initializer_list<float> values) {
    return Array<float>(values.begin(), int(values.size()));
}

class Device : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        gltest::OpenHostWindow();
        device = new gxtkGraphics;
    }

    // Every test starts a frame on black with white, opaque, alpha-blended, unclipped, untransformed.
    void SetUp() override {
        device->BeginRender();
        device->Cls(0, 0, 0);
        device->SetColor(255, 255, 255);
        device->SetAlpha(1);
        device->SetBlend(0);
        device->SetScissor(0, 0, kWidth, kHeight);
        device->SetMatrix(1, 0, 0, 1, 0, 0);
    }

    // An RGBA surface filled from 0xAARRGGBB pixels through the device's own upload path.
    static gxtkSurface* SurfaceOf(int w, int h, std::vector<int> argb) {
        gxtkSurface* surface = device->CreateSurface(w, h);
        Array<int> pixels(argb.data(), int(argb.size()));
        device->WritePixels2(surface, pixels, 0, 0, w, h, 0, w);
        return surface;
    }

    static gxtkGraphics* device;
};

gxtkGraphics* Device::device = nullptr;

TEST_F(Device, OpensAtTheWindowSizeWithAnEmptyBatch) {
    EXPECT_EQ(device->Width(), kWidth);
    EXPECT_EQ(device->Height(), kHeight);
    EXPECT_EQ(device->batchCount, 0);
    EXPECT_EQ(device->BeginRender(), 1);
}

// Whatever OpenGL was left with (another device's arrays, other matrices, a small viewport, additive
// blending, a bound texture switched on), a frame draws one unit a pixel from the top-left corner of
// the whole window, alpha-blended and untextured, and starts with an empty batch.
TEST_F(Device, BeginRenderSetsUpTheWholeFrameWhateverStateItFinds) {
    gxtkSurface* black = SurfaceOf(1, 1, {int(0xFF000000u)});
    (new gxtkGraphics)->BeginRender();
    device->SetBlend(1);
    glViewport(0, 0, 10, 10);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(50, 0, 0);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, black->texture);
    glDisableClientState(GL_COLOR_ARRAY);
    device->DrawRect(0, 0, 5, 5);

    EXPECT_EQ(device->BeginRender(), 1);
    device->Cls(255, 255, 255);
    device->SetColor(255, 0, 0);
    device->SetAlpha(0.5f);
    device->DrawRect(100, 200, 10, 10);
    device->EndRender();
    EXPECT_TRUE(Near(PixelAt(100, 200), {255, 128, 128}));
    EXPECT_TRUE(Near(PixelAt(109, 209), {255, 128, 128}));
    for (auto [x, y] : {std::pair{99, 200}, {110, 200}, {100, 210}, {2, 2}}) EXPECT_EQ(PixelAt(x, y), kWhite);
}

struct BlendCase {
    const char* name;
    Rgb background;
    Rgb colour;
    float alpha;
    Rgb expected;
};

class ColourBlend : public Device, public ::testing::WithParamInterface<BlendCase> {};

// Vertex colours are premultiplied, then blended with (ONE, ONE_MINUS_SRC_ALPHA).
TEST_P(ColourBlend, RectangleOverBackground) {
    const BlendCase& c = GetParam();
    device->Cls(float(c.background.r), float(c.background.g), float(c.background.b));
    device->SetColor(float(c.colour.r), float(c.colour.g), float(c.colour.b));
    device->SetAlpha(c.alpha);
    device->DrawRect(10, 10, 20, 20);
    device->EndRender();
    EXPECT_TRUE(Near(PixelAt(15, 15), c.expected));
    EXPECT_TRUE(Near(PixelAt(5, 5), c.background));
}

// Test names come from each case's name.
auto CaseName = [](const auto& test) { return std::string(test.param.name); };

INSTANTIATE_TEST_SUITE_P(
    Cases, ColourBlend,
    ::testing::Values(BlendCase{"Opaque", kBlack, {255, 128, 0}, 1, {255, 128, 0}},
                      BlendCase{"HalfOverBlack", kBlack, {255, 128, 0}, 0.5f, {127, 64, 0}},
                      BlendCase{"HalfOverWhite", kWhite, {0, 0, 255}, 0.5f, {128, 128, 255}},
                      BlendCase{"Invisible", {40, 80, 120}, {255, 255, 255}, 0, {40, 80, 120}}),
    CaseName);

TEST_F(Device, ColourIsPackedPremultipliedAndTruncated) {
    device->SetColor(255, 100, 3);
    device->SetAlpha(0.5f);
    // Bytes R, G, B, A: 127.5, 50, 1.5 and 127.5 truncated.
    EXPECT_EQ(device->packedColor, 127u | 50u << 8 | 1u << 16 | 127u << 24);
}

TEST_F(Device, AColourChangeLeavesVerticesAlreadyInTheBatch) {
    device->SetColor(255, 0, 0);
    device->DrawRect(0, 0, 10, 10);
    device->SetColor(0, 0, 255);
    device->DrawRect(10, 0, 10, 10);
    device->EndRender();
    EXPECT_EQ(PixelAt(5, 5), (Rgb{255, 0, 0}));
    EXPECT_EQ(PixelAt(15, 5), (Rgb{0, 0, 255}));
}

TEST_F(Device, AdditiveBlendAddsColours) {
    device->SetBlend(1);
    device->SetColor(100, 50, 0);
    device->DrawRect(0, 0, 20, 10);
    device->SetColor(100, 50, 200);
    device->DrawRect(10, 0, 20, 10);
    // Any other mode is alpha blending again.
    device->SetBlend(7);
    device->SetColor(100, 50, 200);
    device->DrawRect(40, 0, 10, 10);
    device->DrawRect(40, 0, 10, 10);
    device->EndRender();
    EXPECT_EQ(PixelAt(5, 5), (Rgb{100, 50, 0}));
    EXPECT_EQ(PixelAt(15, 5), (Rgb{200, 100, 200}));
    EXPECT_EQ(PixelAt(25, 5), (Rgb{100, 50, 200}));
    EXPECT_EQ(PixelAt(45, 5), (Rgb{100, 50, 200}));
}

TEST_F(Device, ScissorClipsToItsRectangleWithTopLeftOrigin) {
    device->SetScissor(10, 20, 30, 40);
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    device->DrawRect(0, 0, kWidth, kHeight);
    device->EndRender();
    EXPECT_EQ(PixelAt(10, 20), kWhite);
    EXPECT_EQ(PixelAt(39, 59), kWhite);
    for (auto [x, y] : {std::pair{9, 20}, {40, 20}, {10, 19}, {10, 60}}) EXPECT_EQ(PixelAt(x, y), kBlack);
}

TEST_F(Device, FullWindowScissorSwitchesScissoringOff) {
    device->SetScissor(0, 0, kWidth - 1, kHeight);
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    device->SetScissor(0, 0, kWidth, kHeight);
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
}

TEST_F(Device, PointsAndLinesLandOnWholePixels) {
    device->DrawPoint(5, 7);
    device->DrawLine(2, 20, 12, 20);
    device->DrawLine(30, 2, 30, 12);
    device->EndRender();
    EXPECT_EQ(PixelAt(5, 7), kWhite);
    for (auto [x, y] : {std::pair{4, 7}, {6, 7}, {5, 6}, {5, 8}}) EXPECT_EQ(PixelAt(x, y), kBlack);
    EXPECT_EQ(PixelAt(2, 20), kWhite);
    EXPECT_EQ(PixelAt(11, 20), kWhite);
    for (auto [x, y] : {std::pair{1, 20}, {6, 19}, {6, 21}}) EXPECT_EQ(PixelAt(x, y), kBlack);
    EXPECT_EQ(PixelAt(30, 2), kWhite);
    EXPECT_EQ(PixelAt(30, 11), kWhite);
    EXPECT_EQ(PixelAt(29, 6), kBlack);
    EXPECT_EQ(PixelAt(31, 6), kBlack);
}

// The half pixel is added after the transform: a point at (20, 30) scaled by 3 is pixel (60, 90).
TEST_F(Device, PointsUnderAMatrixLandOnTheTransformedPixel) {
    device->SetMatrix(3, 0, 0, 3, 0, 0);
    device->DrawPoint(20, 30);
    device->EndRender();
    EXPECT_EQ(PixelAt(60, 90), kWhite);
    EXPECT_EQ(PixelAt(61, 91), kBlack);
}

TEST_F(Device, RectanglesCoverExactlyTheirPixelsUnderTheMatrix) {
    device->DrawRect(10, 10, 20, 10);
    device->SetMatrix(2, 0, 0, 2, 100, 50);
    device->DrawRect(0, 0, 10, 5);
    device->EndRender();
    EXPECT_EQ(PixelAt(10, 10), kWhite);
    EXPECT_EQ(PixelAt(29, 19), kWhite);
    for (auto [x, y] : {std::pair{9, 10}, {30, 10}, {10, 9}, {10, 20}}) EXPECT_EQ(PixelAt(x, y), kBlack);
    EXPECT_EQ(PixelAt(100, 50), kWhite);
    EXPECT_EQ(PixelAt(119, 59), kWhite);
    EXPECT_EQ(PixelAt(120, 55), kBlack);
    EXPECT_EQ(PixelAt(110, 60), kBlack);
}

struct OvalCase {
    const char* name;
    float w, h;
    float a, b, c, d; // the matrix's linear part
    int segments;
};

class OvalSegments : public Device, public ::testing::WithParamInterface<OvalCase> {};

TEST_P(OvalSegments, FollowTheSizeOnScreen) {
    const OvalCase& c = GetParam();
    device->SetMatrix(c.a, c.b, c.c, c.d, 0, 0);
    device->DrawOval(0, 0, c.w, c.h);
    EXPECT_EQ(device->batchType, c.segments);
    EXPECT_EQ(device->batchCount, c.segments);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OvalSegments,
    ::testing::Values(
        OvalCase{"Small", 10, 10, 1, 0, 0, 1, 12}, OvalCase{"RoundedDown", 30, 30, 1, 0, 0, 1, 28},
        OvalCase{"Huge", 3000, 3000, 1, 0, 0, 1, 1024}, OvalCase{"Scaled", 10, 10, 2, 0, 0, 2, 20},
        OvalCase{"NegativeWidth", -30, 30, 1, 0, 0, 1, 28}, OvalCase{"BeyondInt", 1e30f, 1, 1, 0, 0, 1, 1024},
        // The radii 10 and 20 become the vectors (0, -10) and (20, 0): 30, so 28.
        OvalCase{"QuarterTurn", 20, 40, 0, -1, 1, 0, 28},
        // The radius 20 becomes (20, 20), about 28.3 long: 10 + 28.3, so 36.
        OvalCase{"Sheared", 20, 40, 1, 0, 1, 1, 36}),
    CaseName);

TEST_F(Device, OvalFillsItsBoxStartingAtTheRightmostPoint) {
    device->DrawOval(100, 100, 40, 20);
    EXPECT_FLOAT_EQ(device->vertices[0].x, 140);
    EXPECT_FLOAT_EQ(device->vertices[0].y, 110);
    // A quarter of the way round is the top: the outline runs upward first.
    EXPECT_NEAR(device->vertices[device->batchCount / 4].y, 100, 1e-4);
    device->EndRender();
    for (auto [x, y] : {std::pair{120, 110}, {102, 110}, {137, 110}, {120, 101}, {120, 118}})
        EXPECT_EQ(PixelAt(x, y), kWhite) << x << "," << y;
    for (auto [x, y] : {std::pair{101, 101}, {138, 101}, {101, 118}, {99, 110}})
        EXPECT_EQ(PixelAt(x, y), kBlack);
}

TEST_F(Device, PolygonsAreFansOneDrawEach) {
    auto pentagon = [](float x) { return Floats({x, 0, x + 20, 0, x + 25, 15, x + 10, 25, x - 5, 15}); };
    long draws = DrawCallsOf([&] {
        for (int i = 0; i < 3; ++i) device->DrawPoly(pentagon(10 + 40.0f * float(i)));
        device->EndRender();
    });
    EXPECT_EQ(draws, 3);
    EXPECT_EQ(PixelAt(20, 10), kWhite);
    EXPECT_EQ(PixelAt(100, 10), kWhite);
    // Three-vertex polygons are triangles: any number of them is one draw.
    draws = DrawCallsOf([&] {
        device->DrawPoly(Floats({0, 100, 40, 100, 0, 140}));
        device->DrawPoly(Floats({50, 100, 90, 100, 50, 140}));
        device->EndRender();
    });
    EXPECT_EQ(draws, 1);
    EXPECT_EQ(PixelAt(5, 105), kWhite);
    EXPECT_EQ(PixelAt(55, 105), kWhite);
    EXPECT_EQ(PixelAt(35, 135), kBlack);
}

// A polygon of four vertices is a quad: it joins a batch of rectangles, and its two triangles share
// the diagonal from its first to its third vertex, which shows on a concave one.
TEST_F(Device, FourVertexPolygonsAreQuadsSplitOnTheFirstDiagonal) {
    long draws = DrawCallsOf([&] {
        device->DrawRect(0, 100, 10, 10);
        device->DrawPoly(Floats({100, 100, 140, 100, 140, 140, 130, 110}));
        device->EndRender();
    });
    EXPECT_EQ(draws, 1);
    EXPECT_EQ(PixelAt(5, 105), kWhite);
    // Inside the triangle of vertices 0, 1 and 2, outside those of the other diagonal.
    EXPECT_EQ(PixelAt(120, 115), kWhite);
}

TEST_F(Device, PolygonsWithNoVerticesOrMoreThanABatchAreNotDrawn) {
    device->DrawPoly(Floats({}));
    device->DrawPoly(Floats({5}));
    device->DrawPoly(Array<float>(2 * 1025));
    EXPECT_EQ(device->batchCount, 0);
    device->DrawPoly(Array<float>(2 * 1024));
    EXPECT_EQ(device->batchCount, 1024);
}

TEST_F(Device, ThreeHundredRectanglesAreTwoDraws) {
    long draws = DrawCallsOf([&] {
        for (int i = 0; i < 300; ++i) device->DrawRect(float(i % 30) * 10, float(i / 30) * 10, 9, 9);
        EXPECT_EQ(device->batchCount, 44 * 4);
        device->EndRender();
    });
    EXPECT_EQ(draws, 2);
    EXPECT_EQ(PixelAt(4, 4), kWhite);
    EXPECT_EQ(PixelAt(294, 94), kWhite);
    EXPECT_EQ(PixelAt(9, 4), kBlack);
}

TEST_F(Device, ALineThenARectangleAreTwoDraws) {
    long draws = DrawCallsOf([&] {
        device->DrawLine(0, 0, 10, 0);
        device->DrawRect(0, 10, 10, 10);
        device->EndRender();
    });
    EXPECT_EQ(draws, 2);
}

TEST_F(Device, ClsDropsThePendingBatch) {
    long draws = DrawCallsOf([&] {
        device->DrawRect(0, 0, 50, 50);
        device->Cls(0, 0, 255);
        device->EndRender();
    });
    EXPECT_EQ(draws, 0);
    EXPECT_EQ(PixelAt(10, 10), (Rgb{0, 0, 255}));
}

// The batch splits on a change of primitive type, texture, blend or scissor, and when it is full;
// colour, alpha and matrix changes never split it.
TEST_F(Device, DrawsPerFrameFollowTheBatchRule) {
    gxtkSurface* first = SurfaceOf(2, 2, std::vector<int>(4, int(0xFFFF0000u)));
    gxtkSurface* second = SurfaceOf(2, 2, std::vector<int>(4, int(0xFF00FF00u)));
    long draws = DrawCallsOf([&] {
        for (int i = 0; i < 600; ++i) { // 2400 vertices: two full batches and 352 left over
            device->SetColor(float(i % 256), 0, 0);
            device->SetAlpha(float(i % 10) / 10);
            device->SetMatrix(1, 0, 0, 1, float(i), 0);
            device->DrawSurface(first, 0, 0);
        }
        // Each of these ends the batch before it: 6 more draws, the last at EndRender.
        device->DrawSurface(second, 0, 0); // other texture
        device->DrawRect(0, 0, 1, 1);      // no texture
        device->DrawRect(0, 0, 1, 1);
        device->SetBlend(1);
        device->DrawRect(0, 0, 1, 1);
        device->SetScissor(0, 0, 10, 10);
        device->DrawRect(0, 0, 1, 1);
        device->DrawLine(0, 0, 1, 1); // other type
        device->DrawPoint(0, 0);      // other type
        device->DrawPoint(1, 1);
        device->EndRender();
    });
    EXPECT_EQ(draws, 3 + 6);
}

struct StateCase {
    const char* name;
    // Draws between the fixture's frame set-up and EndRender, on two 2 x 2 surfaces.
    void (*draw)(gxtkGraphics* device, gxtkSurface* a, gxtkSurface* b);
    long draws;
};

class StateChanges : public Device, public ::testing::WithParamInterface<StateCase> {};

// Asking for the state the device already has costs nothing: only a real change splits the batch.
TEST_P(StateChanges, CostDrawsOnlyWhenTheyChangeSomething) {
    const StateCase& c = GetParam();
    gxtkSurface* a = SurfaceOf(2, 2, std::vector<int>(4, int(0xFFFF0000u)));
    gxtkSurface* b = SurfaceOf(2, 2, std::vector<int>(4, int(0xFF00FF00u)));
    EXPECT_EQ(DrawCallsOf([&] {
                  c.draw(device, a, b);
                  device->EndRender();
              }),
              c.draws);
}

INSTANTIATE_TEST_SUITE_P(Cases, StateChanges,
                         ::testing::Values(StateCase{"SameBlendAgain",
                                                     [](gxtkGraphics* d, gxtkSurface*, gxtkSurface*) {
                                                         d->DrawRect(0, 0, 1, 1);
                                                         d->SetBlend(0);
                                                         d->DrawRect(0, 0, 1, 1);
                                                     },
                                                     1},
                                           StateCase{"AnyNonAdditiveModeIsTheSameBlend",
                                                     [](gxtkGraphics* d, gxtkSurface*, gxtkSurface*) {
                                                         d->DrawRect(0, 0, 1, 1);
                                                         d->SetBlend(7);
                                                         d->DrawRect(0, 0, 1, 1);
                                                     },
                                                     1},
                                           StateCase{"AdditiveTwiceSplitsOnce",
                                                     [](gxtkGraphics* d, gxtkSurface*, gxtkSurface*) {
                                                         d->DrawRect(0, 0, 1, 1);
                                                         d->SetBlend(1);
                                                         d->SetBlend(1);
                                                         d->DrawRect(0, 0, 1, 1);
                                                     },
                                                     2},
                                           StateCase{"BlendThereAndBack",
                                                     [](gxtkGraphics* d, gxtkSurface*, gxtkSurface*) {
                                                         d->DrawRect(0, 0, 1, 1);
                                                         d->SetBlend(1);
                                                         d->DrawRect(0, 0, 1, 1);
                                                         d->SetBlend(0);
                                                         d->DrawRect(0, 0, 1, 1);
                                                     },
                                                     3},
                                           StateCase{"SameScissorAgain",
                                                     [](gxtkGraphics* d, gxtkSurface*, gxtkSurface*) {
                                                         d->DrawRect(0, 0, 1, 1);
                                                         d->SetScissor(0, 0, kWidth, kHeight);
                                                         d->DrawRect(0, 0, 1, 1);
                                                         d->SetScissor(0, 0, kWidth, kHeight);
                                                     },
                                                     1},
                                           StateCase{"NewScissorThenTheSameOne",
                                                     [](gxtkGraphics* d, gxtkSurface*, gxtkSurface*) {
                                                         d->DrawRect(0, 0, 1, 1);
                                                         d->SetScissor(5, 5, 10, 10);
                                                         d->DrawRect(0, 0, 1, 1);
                                                         d->SetScissor(5, 5, 10, 10);
                                                         d->DrawRect(0, 0, 1, 1);
                                                     },
                                                     2},
                                           StateCase{"OneSurfaceAnyColourAlphaOrMatrix",
                                                     [](gxtkGraphics* d, gxtkSurface* a, gxtkSurface*) {
                                                         for (int i = 0; i < 100; ++i) {
                                                             d->SetAlpha(float(i) / 100);
                                                             d->SetColor(float(i), 0, 0);
                                                             d->SetMatrix(1, 0, 0, 1, float(i), 0);
                                                             d->SetBlend(0);
                                                             d->DrawSurface2(a, 0, 0, 0, 0, 1, 1);
                                                         }
                                                     },
                                                     1},
                                           StateCase{"TwoSurfacesInTurn",
                                                     [](gxtkGraphics* d, gxtkSurface* a, gxtkSurface* b) {
                                                         d->DrawSurface(a, 0, 0);
                                                         d->DrawSurface(b, 0, 0);
                                                         d->DrawSurface(a, 0, 0);
                                                     },
                                                     3},
                                           StateCase{"SurfaceRectangleSurface",
                                                     [](gxtkGraphics* d, gxtkSurface* a, gxtkSurface*) {
                                                         d->DrawSurface(a, 0, 0);
                                                         d->DrawRect(0, 0, 1, 1);
                                                         d->DrawSurface(a, 0, 0);
                                                     },
                                                     3},
                                           StateCase{"FullBatchOfOneSurface",
                                                     [](gxtkGraphics* d, gxtkSurface* a, gxtkSurface*) {
                                                         for (int i = 0; i < 257; ++i)
                                                             d->DrawSurface(a, 0, 0);
                                                     },
                                                     2},
                                           StateCase{"PointsThenLines",
                                                     [](gxtkGraphics* d, gxtkSurface*, gxtkSurface*) {
                                                         d->DrawPoint(0, 0);
                                                         d->DrawLine(0, 0, 1, 1);
                                                     },
                                                     2}),
                         CaseName);

// Texturing and the bound texture carry over between batches: whatever came between them, every
// batch still draws with its own texture, and untextured shapes stay untextured.
TEST_F(Device, BatchesKeepTheirOwnTextureAcrossOtherBatchesAndUploads) {
    gxtkSurface* red = SurfaceOf(2, 2, std::vector<int>(4, int(0xFFFF0000u)));
    gxtkSurface* green = SurfaceOf(2, 2, std::vector<int>(4, int(0xFF00FF00u)));
    device->DrawSurface(red, 0, 0);
    device->DrawRect(10, 0, 2, 2);
    device->DrawSurface(red, 20, 0);
    device->Flush();
    // An upload into another surface binds that surface's texture.
    device->WritePixels2(green, Array<int>(std::vector<int>(4, int(0xFF0000FFu)).data(), 4), 0, 0, 2, 2, 0,
                         2);
    device->DrawSurface(red, 30, 0);
    device->DrawSurface(green, 40, 0);
    device->EndRender();
    EXPECT_EQ(PixelAt(0, 0), (Rgb{255, 0, 0}));
    EXPECT_EQ(PixelAt(10, 0), kWhite);
    EXPECT_EQ(PixelAt(20, 0), (Rgb{255, 0, 0}));
    EXPECT_EQ(PixelAt(30, 0), (Rgb{255, 0, 0}));
    EXPECT_EQ(PixelAt(40, 0), (Rgb{0, 0, 255}));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(Device, ImagesOfOneSurfaceJoinOneBatchAndARectangleAfterThemFlushes) {
    gxtkSurface* surface = SurfaceOf(2, 2, std::vector<int>(4, -1));
    EXPECT_EQ(DrawCallsOf([&] {
                  device->DrawSurface(surface, 0, 0);
                  device->DrawSurface2(surface, 10, 0, 0, 0, 1, 1);
                  device->EndRender();
              }),
              1);
    EXPECT_EQ(DrawCallsOf([&] {
                  device->DrawSurface(surface, 0, 0);
                  device->DrawRect(10, 0, 2, 2);
                  device->EndRender();
              }),
              2);
}

TEST_F(Device, SubDataIsStoredPremultipliedInRgbaOrder) {
    gxtkSurface* surface = SurfaceOf(2, 1, {int(0x80FF0000u), int(0xFF102030u)});
    const unsigned char* p = surface->data;
    EXPECT_EQ((std::vector<int>{p[0], p[1], p[2], p[3]}), (std::vector<int>{128, 0, 0, 128}));
    EXPECT_EQ((std::vector<int>{p[4], p[5], p[6], p[7]}), (std::vector<int>{0x10, 0x20, 0x30, 255}));
}

TEST_F(Device, SurfacesDrawTheirPixelsWholeAndInPart) {
    gxtkSurface* surface = SurfaceOf(4, 2,
                                     {int(0xFFFF0000u), int(0xFF00FF00u), int(0xFF0000FFu), int(0xFFFFFFFFu),
                                      int(0xFF000000u), int(0xFF808080u), int(0x80FF0000u), 0});
    device->DrawSurface(surface, 50, 60);
    device->DrawSurface2(surface, 70, 60, 2, 0, 2, 2);
    device->EndRender();
    EXPECT_EQ(PixelAt(50, 60), (Rgb{255, 0, 0}));
    EXPECT_EQ(PixelAt(51, 60), (Rgb{0, 255, 0}));
    EXPECT_EQ(PixelAt(52, 60), (Rgb{0, 0, 255}));
    EXPECT_EQ(PixelAt(53, 60), kWhite);
    EXPECT_EQ(PixelAt(51, 61), (Rgb{128, 128, 128}));
    EXPECT_EQ(PixelAt(52, 61), (Rgb{128, 0, 0}));
    EXPECT_EQ(PixelAt(54, 60), kBlack);
    EXPECT_EQ(PixelAt(70, 60), (Rgb{0, 0, 255}));
    EXPECT_EQ(PixelAt(71, 60), kWhite);
    EXPECT_EQ(PixelAt(72, 60), kBlack);
}

TEST_F(Device, PartialAndWholeRowsReachALiveTexture) {
    gxtkSurface* surface = SurfaceOf(4, 5, std::vector<int>(20, int(0xFF000080u)));
    Array<int> red(std::vector<int>(4, int(0xFFFF0000u)).data(), 4);
    device->WritePixels2(surface, red, 1, 1, 2, 2, 0, 2);
    Array<int> green(std::vector<int>(4, int(0xFF00FF00u)).data(), 4);
    device->WritePixels2(surface, green, 0, 4, 4, 1, 0, 4);
    device->DrawSurface(surface, 0, 0);
    device->EndRender();
    EXPECT_EQ(PixelAt(0, 0), (Rgb{0, 0, 128}));
    EXPECT_EQ(PixelAt(1, 1), (Rgb{255, 0, 0}));
    EXPECT_EQ(PixelAt(2, 2), (Rgb{255, 0, 0}));
    EXPECT_EQ(PixelAt(3, 2), (Rgb{0, 0, 128}));
    EXPECT_EQ(PixelAt(1, 3), (Rgb{0, 0, 128}));
    EXPECT_EQ(PixelAt(0, 4), (Rgb{0, 255, 0}));
    EXPECT_EQ(PixelAt(3, 4), (Rgb{0, 255, 0}));
}

TEST_F(Device, PixelWritesLeaveSurfacesThatAreNotRgbaAlone) {
    gltest::TempImages images;
    gxtkSurface* rgb = device->LoadSurface(String(images.Write("rgb", 1, 1, 3, {10, 20, 30}).c_str()));
    ASSERT_NE(rgb, nullptr);
    device->WritePixels2(rgb, Array<int>(std::vector<int>{-1}.data(), 1), 0, 0, 1, 1, 0, 1);
    device->DrawSurface(rgb, 0, 0);
    device->EndRender();
    EXPECT_EQ(PixelAt(0, 0), (Rgb{10, 20, 30}));
}

TEST_F(Device, RectanglesOutsideTheSurfaceOrTheArrayAreRefused) {
    gxtkSurface* surface = SurfaceOf(2, 2, std::vector<int>(4, int(0xFF0000FFu)));
    Array<int> pixels(4);
    device->WritePixels2(surface, pixels, 1, 1, 2, 2, 0, 2); // reaches past the surface
    device->WritePixels2(surface, pixels, 0, 0, 2, 2, 1, 2); // reaches past the array
    device->ReadPixels(pixels, 0, 0, 2, 2, 0, 3);            // would write past the array
    EXPECT_EQ(surface->data[0], 0);
    EXPECT_EQ(surface->data[2], 255);
    EXPECT_EQ(surface->data[3 * 4 + 2], 255);
    EXPECT_EQ(pixels[3], 0);
}

TEST_F(Device, TexturedPolygonsMapPixelOffsetsFromTheSource) {
    gxtkSurface* surface = SurfaceOf(4, 1, {int(0xFFFF0000u), int(0xFF00FF00u), int(0xFF0000FFu), -1});
    // One quad-shaped polygon showing pixels 2..3 of the surface, stretched over 20 x 10.
    device->DrawPoly2(Floats({200, 10, 0, 0, 220, 10, 2, 0, 220, 20, 2, 1, 200, 20, 0, 1}), surface, 2, 0);
    device->EndRender();
    EXPECT_EQ(PixelAt(204, 15), (Rgb{0, 0, 255}));
    EXPECT_EQ(PixelAt(215, 15), kWhite);
}

TEST_F(Device, ReadPixelsGivesTopDownRowsOfArgbAtOffsetAndPitch) {
    device->SetColor(255, 0, 0);
    device->DrawRect(0, 0, 4, 2);
    Array<int> pixels(16);
    pixels[0] = 7;
    device->ReadPixels(pixels, 0, 0, 4, 3, 1, 5);
    for (int i : {1, 2, 3, 4, 6, 7, 8, 9}) EXPECT_EQ(unsigned(pixels[i]), 0xFFFF0000u) << i;
    for (int i : {11, 12, 13, 14}) EXPECT_EQ(unsigned(pixels[i]), 0xFF000000u) << i;
    EXPECT_EQ(pixels[0], 7);
    EXPECT_EQ(pixels[5], 0);
}

TEST_F(Device, LoadedImagesArePremultipliedByDepth) {
    gltest::TempImages images;
    auto load = [&](const char* name, int w, int h, int depth, std::vector<unsigned char> bytes) {
        return device->LoadSurface(String(images.Write(name, w, h, depth, bytes).c_str()));
    };
    gxtkSurface* rgba = load("rgba", 2, 1, 4, {255, 0, 0, 128, 0, 255, 0, 255});
    gxtkSurface* greyAlpha = load("ga", 1, 1, 2, {200, 100});
    gxtkSurface* rgb = load("rgb", 1, 1, 3, {10, 20, 30});
    gxtkSurface* grey = load("grey", 1, 1, 1, {90});
    ASSERT_TRUE(rgba && greyAlpha && rgb && grey);
    EXPECT_EQ(rgba->format, GLenum(GL_RGBA));
    EXPECT_EQ(greyAlpha->format, GLenum(GL_LUMINANCE_ALPHA));
    EXPECT_EQ(rgb->format, GLenum(GL_RGB));
    EXPECT_EQ(grey->format, GLenum(GL_LUMINANCE));
    EXPECT_EQ(rgba->texSeq, glfwGraphicsSeq);

    // Over white, premultiplied pixels blend to c + 255 - a; straight ones would saturate.
    device->Cls(255, 255, 255);
    device->DrawSurface(rgba, 0, 0);
    device->DrawSurface(rgb, 2, 0);
    device->DrawSurface(greyAlpha, 3, 0);
    device->DrawSurface(grey, 4, 0);
    device->EndRender();
    EXPECT_TRUE(Near(PixelAt(0, 0), {255, 127, 127}));
    EXPECT_EQ(PixelAt(1, 0), (Rgb{0, 255, 0}));
    EXPECT_EQ(PixelAt(2, 0), (Rgb{10, 20, 30}));
    const int lit = 200 * 100 / 255 + 255 - 100;
    EXPECT_TRUE(Near(PixelAt(3, 0), {lit, lit, lit}));
    EXPECT_EQ(PixelAt(4, 0), (Rgb{90, 90, 90}));
}

// A loaded 2 x 1 picture, red then blue.
gxtkSurface* LoadRedBlue(gxtkGraphics* device, const gltest::TempImages& images) {
    return device->LoadSurface(
        String(images.Write("pair", 2, 1, 4, {255, 0, 0, 255, 0, 0, 255, 255}).c_str()));
}

// Draws the surface at (30, 40) in a new window, with its new context.
void DrawInANewWindow(gxtkGraphics* device, gxtkSurface* surface) {
    gltest::ReopenHostWindow();
    device->BeginRender();
    device->Cls(0, 0, 0);
    device->DrawSurface(surface, 30, 40);
    device->EndRender();
}

// Written pixels are no longer the file's: the surface keeps them, with the file's others.
TEST_F(Device, PixelsWrittenIntoALoadedSurfaceOutliveANewWindow) {
    gltest::TempImages images;
    gxtkSurface* surface = LoadRedBlue(device, images);
    ASSERT_NE(surface, nullptr);
    device->WritePixels2(surface, Array<int>(std::vector<int>{int(0xFF00FF00u)}.data(), 1), 1, 0, 1, 1, 0, 1);
    DrawInANewWindow(device, surface);
    EXPECT_EQ(PixelAt(30, 40), (Rgb{255, 0, 0}));
    EXPECT_EQ(PixelAt(31, 40), (Rgb{0, 255, 0}));
}

// A picture white throughout keeps one byte a pixel: it draws, tinted, exactly as its RGBA pixels
// would, and a write into it widens it back to RGBA without losing the file's pixels.
TEST_F(Device, WhitePicturesDrawFromIntensityTexturesAsTheirRgbaAndWidenForAWrite) {
    gltest::TempImages images;
    gxtkSurface* glow = device->LoadSurface(
        String(images.Write("glow", 2, 1, 4, {255, 255, 255, 255, 255, 255, 255, 100}).c_str()));
    ASSERT_NE(glow, nullptr);
    EXPECT_EQ(glow->format, GLenum(GL_INTENSITY));
    unsigned char texels[2] = {};
    glBindTexture(GL_TEXTURE_2D, glow->texture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RED, GL_UNSIGNED_BYTE, texels);
    gxtkSurface::ForgetBinding();
    EXPECT_EQ(texels[0], 255);
    EXPECT_EQ(texels[1], 100) << "one byte a texel: the alpha";

    device->Cls(255, 255, 255);
    device->SetColor(255, 0, 0);
    device->DrawSurface(glow, 0, 0);
    device->EndRender();
    EXPECT_EQ(PixelAt(0, 0), (Rgb{255, 0, 0}));
    EXPECT_TRUE(Near(PixelAt(1, 0), {255, 155, 155}));

    device->WritePixels2(glow, Array<int>(std::vector<int>{int(0xFF00FF00u)}.data(), 1), 1, 0, 1, 1, 0, 1);
    EXPECT_EQ(glow->format, GLenum(GL_RGBA));
    device->BeginRender();
    device->Cls(0, 0, 0);
    device->SetColor(255, 255, 255);
    device->DrawSurface(glow, 0, 0);
    device->EndRender();
    EXPECT_EQ(PixelAt(0, 0), kWhite);
    EXPECT_EQ(PixelAt(1, 0), (Rgb{0, 255, 0}));
}

// A loader pays for a texture's storage a frame before the load: a picture the workers have decoded
// is prepared with its texture, and its load takes that surface and fills it, even with the file
// gone by then. A picture not decoded ahead is left to its own load, and a new list of pictures to
// decode drops what was prepared for the old one.
TEST_F(Device, ALoadTakesTheSurfacePreparedForItAndFillsItsTexture) {
    gltest::TempImages images;
    const std::vector<unsigned char> red = {255, 0, 0, 255, 255, 0, 0, 255};
    const std::string files[] = {images.Write("decoded", 2, 1, 4, red), images.Write("dropped", 2, 1, 4, red),
                                 images.Write("unlisted", 2, 1, 4, red)};
    const String decoded(files[0].c_str()), dropped(files[1].c_str()), unlisted(files[2].c_str());
    auto prepare = [&](std::vector<String> paths) {
        device->PrepareSurfaces(Array<String>(paths.data(), int(paths.size())));
    };
    device->DecodeAhead(Array<String>(std::vector<String>{decoded, dropped}.data(), 2));
    vxPicturesAhead().Finish();
    prepare({decoded, unlisted});
    for (const std::string& file : files) std::filesystem::remove(file);

    gxtkSurface* surface = device->LoadSurface(decoded);
    ASSERT_NE(surface, nullptr) << "the prepared surface, its file no longer needed";
    EXPECT_EQ(surface->data, nullptr) << "its pixels are in the texture now";
    device->DrawSurface(surface, 0, 0);
    device->EndRender();
    EXPECT_EQ(PixelAt(1, 0), (Rgb{255, 0, 0}));
    EXPECT_EQ(device->LoadSurface(unlisted), nullptr) << "never decoded ahead, so never prepared";

    prepare({dropped});
    device->DecodeAhead(Array<String>());
    EXPECT_EQ(device->LoadSurface(dropped), nullptr) << "a new list drops the prepared surfaces";
}

// A surface made empty reports its size at once but takes texture memory only when first used.
TEST_F(Device, AnEmptySurfaceGetsItsTextureWhenFirstDrawn) {
    gxtkSurface* surface = device->CreateSurface(64, 32);
    EXPECT_EQ(surface->Width(), 64);
    EXPECT_EQ(surface->Height(), 32);
    EXPECT_EQ(surface->texSeq, -1);
    device->DrawSurface2(surface, 10, 10, 32, 0, 32, 32);
    EXPECT_EQ(surface->texSeq, glfwGraphicsSeq);
    EXPECT_FLOAT_EQ(device->vertices[2].u, 1.0f) << "drawn with the texture's own scale";
    device->EndRender();
}

TEST_F(Device, LoadingAMissingFileGivesNull) {
    EXPECT_EQ(device->LoadSurface(String(u"/nonexistent/picture.png")), nullptr);
}

TEST_F(Device, DiscardReleasesTextureAndPixels) {
    gxtkSurface* surface = SurfaceOf(2, 2, std::vector<int>(4, -1));
    GLuint texture = surface->texture;
    ASSERT_TRUE(glIsTexture(texture));
    surface->Discard();
    EXPECT_FALSE(glIsTexture(texture));
    EXPECT_EQ(surface->data, nullptr);
    EXPECT_EQ(surface->texSeq, -1);
}

TEST_F(Device, SurfacesDrawCorrectlyAfterTheWindowIsReopened) {
    gxtkSurface* surface = SurfaceOf(2, 1, {int(0xFFFF0000u), int(0xFF00FF00u)});
    int oldSeq = glfwGraphicsSeq;
    gltest::ReopenHostWindow();
    ASSERT_EQ(glfwGraphicsSeq, oldSeq + 1);
    device->BeginRender();
    device->Cls(0, 0, 0);
    device->DrawSurface(surface, 30, 40);
    device->EndRender();
    EXPECT_EQ(surface->texSeq, glfwGraphicsSeq);
    EXPECT_EQ(PixelAt(30, 40), (Rgb{255, 0, 0}));
    EXPECT_EQ(PixelAt(31, 40), (Rgb{0, 255, 0}));
}

} // namespace

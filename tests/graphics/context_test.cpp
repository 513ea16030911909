// The graphics context: composing transforms, the matrix stack, handing state to the device, and
// the state every frame starts from.
#include "framework_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using gltest::kBlack;
using gltest::kWhite;
using gltest::PixelAt;

namespace {

class ContextState : public gltest::FrameworkTest {};

struct Placement {
    const char* name;
    void (*transform)();
    int left, top, right, bottom; // screen pixels covered by the rectangle (0, 0, 5, 5)
};

class RectanglePlacement : public ContextState, public ::testing::WithParamInterface<Placement> {};

// The transform given last applies to the drawing first.
TEST_P(RectanglePlacement, CoversItsScreenRectangle) {
    const Placement& p = GetParam();
    p.transform();
    vx_graphics_DrawRect(0, 0, 5, 5);
    EndFrame();
    EXPECT_EQ(PixelAt(p.left, p.top), kWhite);
    EXPECT_EQ(PixelAt(p.right, p.bottom), kWhite);
    EXPECT_EQ(PixelAt(p.right + 1, p.top), kBlack);
    EXPECT_EQ(PixelAt(p.left, p.bottom + 1), kBlack);
    if (p.left > 0) {
        EXPECT_EQ(PixelAt(p.left - 1, p.top), kBlack);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RectanglePlacement,
    ::testing::Values(Placement{"TranslateThenScale",
                                [] {
                                    vx_graphics_Translate(10, 0);
                                    vx_graphics_Scale(2, 2);
                                },
                                10, 0, 19, 9},
                      Placement{"ScaleThenTranslate",
                                [] {
                                    vx_graphics_Scale(2, 2);
                                    vx_graphics_Translate(10, 0);
                                },
                                20, 0, 29, 9},
                      Placement{"SetMatrixReplaces",
                                [] {
                                    vx_graphics_Translate(100, 100);
                                    vx_graphics_SetMatrix2(Array<float>(
                                        std::initializer_list<float>{1, 0, 0, 3, 40, 50}.begin(), 6));
                                },
                                40, 50, 44, 64}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(ContextState, RotateTurnsCounterClockwiseOnScreen) {
    vx_graphics_Rotate(90);
    c_GraphicsContext* m = Context();
    // The point (1, 0) goes to (a, b): straight up.
    EXPECT_NEAR(m->a, 0, 1e-6);
    EXPECT_FLOAT_EQ(m->b, -1);
    EXPECT_FLOAT_EQ(m->c, 1);
    EXPECT_TRUE(m->transformed);
}

std::vector<float> MatrixOf(const c_GraphicsContext* m) { return {m->a, m->b, m->c, m->d, m->tx, m->ty}; }

TEST_F(ContextState, NestedPushesGrowTheStackAndPopsRestoreEveryMatrix) {
    std::vector<std::vector<float>> pushed;
    for (int i = 0; i < 33; ++i) {
        pushed.push_back(MatrixOf(Context()));
        vx_graphics_PushMatrix();
        vx_graphics_Transform(1.5f, 0.25f, -0.5f, 0.75f, float(i), 0.1f * float(i));
    }
    EXPECT_EQ(Context()->matrixStack.Length(), 384);
    for (int i = 32; i >= 0; --i) {
        vx_graphics_PopMatrix();
        EXPECT_EQ(MatrixOf(Context()), pushed[std::size_t(i)]) << i;
    }
    EXPECT_FALSE(Context()->transformed);
    // An unbalanced pop is ignored.
    vx_graphics_PopMatrix();
    EXPECT_EQ(Context()->matrixSp, 0);
    EXPECT_EQ(MatrixOf(Context()), (std::vector<float>{1, 0, 0, 1, 0, 0}));
}

TEST_F(ContextState, TheDeviceGetsTheMatrixOnceAtTheNextDrawAndOnlyWhenChanged) {
    vx_graphics_DrawRect(0, 0, 1, 1);
    device->setMatrixCalls = 0;
    vx_graphics_SetMatrix(2, 0, 0, 2, 5, 5);
    vx_graphics_SetMatrix(2, 0, 0, 2, 5, 5);
    EXPECT_EQ(device->setMatrixCalls, 0);
    vx_graphics_DrawRect(0, 0, 1, 1);
    EXPECT_EQ(device->setMatrixCalls, 1);
    EXPECT_FLOAT_EQ(device->tx, 5);
    vx_graphics_DrawLine(0, 0, 1, 1);
    vx_graphics_DrawRect(0, 0, 1, 1);
    EXPECT_EQ(device->setMatrixCalls, 1);
}

TEST_F(ContextState, StateSettersReachTheDeviceAtOnce) {
    vx_graphics_SetColor(255, 100, 0);
    vx_graphics_SetAlpha(0.5f);
    EXPECT_EQ(device->packedColor, 127u | 50u << 8 | 127u << 24);
    vx_graphics_SetScissor(10.9f, 20.2f, 30.7f, 40.5f);
    GLint box[4];
    glGetIntegerv(GL_SCISSOR_BOX, box);
    EXPECT_EQ((std::vector<int>(box, box + 4)), (std::vector<int>{10, gltest::kHeight - 20 - 40, 30, 40}));
    EXPECT_FLOAT_EQ(Context()->scissorX, 10.9f);
}

TEST_F(ContextState, EveryFrameStartsFromTheSameState) {
    vx_graphics_SetColor(10, 20, 30);
    vx_graphics_SetAlpha(0.25f);
    vx_graphics_SetBlend(1);
    vx_graphics_SetScissor(1, 1, 2, 2);
    vx_graphics_PushMatrix();
    vx_graphics_Translate(50, 50);
    vx_graphics_DrawRect(0, 0, 4, 4);
    EndFrame();

    BeginFrame();
    c_GraphicsContext* m = Context();
    EXPECT_EQ(m->matrixSp, 0);
    EXPECT_EQ(MatrixOf(m), (std::vector<float>{1, 0, 0, 1, 0, 0}));
    EXPECT_EQ((std::vector<float>{m->red, m->green, m->blue, m->alpha}),
              (std::vector<float>{255, 255, 255, 1}));
    EXPECT_EQ(m->blend, 0);
    EXPECT_EQ((std::vector<float>{m->scissorX, m->scissorY, m->scissorW, m->scissorH}),
              (std::vector<float>{0, 0, float(gltest::kWidth), float(gltest::kHeight)}));
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    vx_graphics_DrawRect(0, 0, 4, 4);
    vx_graphics_DrawRect(0, 0, 4, 4);
    EndFrame();
    // Opaque white with alpha blending: drawing twice changes nothing.
    EXPECT_EQ(PixelAt(1, 1), kWhite);
}

TEST_F(ContextState, EllipsesAreGivenByCentreAndRadii) {
    vx_graphics_DrawEllipse(50, 50, 10, 5);
    EXPECT_EQ((std::vector<float>(device->oval, device->oval + 4)), (std::vector<float>{40, 45, 20, 10}));
    EndFrame();
    EXPECT_EQ(PixelAt(50, 50), kWhite);
    EXPECT_EQ(PixelAt(41, 46), kBlack);
}

TEST_F(ContextState, LinesAndPolygonsGoThroughTheMatrix) {
    vx_graphics_Translate(100, 0);
    vx_graphics_DrawLine(0, 10, 10, 10);
    float triangle[] = {0, 20, 20, 20, 0, 40};
    vx_graphics_DrawPoly(Array<float>(triangle, 6));
    EndFrame();
    EXPECT_EQ(PixelAt(100, 10), kWhite);
    EXPECT_EQ(PixelAt(0, 10), kBlack);
    EXPECT_EQ(PixelAt(102, 22), kWhite);
}

TEST_F(ContextState, DrawingOutsideARenderIsIgnored) {
    EndFrame();
    long before = gxtkDrawCalls::Count();
    vx_graphics_DrawRect(0, 0, 10, 10);
    vx_graphics_SetColor(1, 2, 3);
    device->EndRender();
    EXPECT_EQ(device->batchCount, 0);
    EXPECT_EQ(gxtkDrawCalls::Count(), before);
    EXPECT_FLOAT_EQ(Context()->red, 1);
}

} // namespace

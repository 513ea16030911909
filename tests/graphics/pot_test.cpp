// Surfaces on a driver that refuses textures whose sides are not powers of two: Mesa with that
// extension switched off, which also lowers its OpenGL version to 1.5.
#include "gl_window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

using gltest::PixelAt;
using gltest::Rgb;

namespace {

class PowerOfTwoOnly : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        setenv("MESA_EXTENSION_OVERRIDE", "-GL_ARB_texture_non_power_of_two", 1);
        gltest::OpenHostWindow();
        device = new gxtkGraphics;
    }

    static gxtkGraphics* device;
};

gxtkGraphics* PowerOfTwoOnly::device = nullptr;

TEST_F(PowerOfTwoOnly, ImageSitsInTheCornerOfAPowerOfTwoTexture) {
    ASSERT_EQ(std::strncmp(reinterpret_cast<const char*>(glGetString(GL_VERSION)), "1.", 2), 0)
        << "the driver still offers non-power-of-two textures";
    // Green everywhere but the last column and row, which are red.
    std::vector<int> argb(100 * 50, int(0xFF00FF00u));
    for (int y = 0; y < 50; ++y) argb[std::size_t(y) * 100 + 99] = int(0xFFFF0000u);
    for (int x = 0; x < 100; ++x) argb[49 * 100 + std::size_t(x)] = int(0xFFFF0000u);
    gxtkSurface* surface = device->CreateSurface(100, 50);
    device->WritePixels2(surface, Array<int>(argb.data(), int(argb.size())), 0, 0, 100, 50, 0, 100);

    EXPECT_FLOAT_EQ(surface->uscale, 1.0f / 128);
    EXPECT_FLOAT_EQ(surface->vscale, 1.0f / 64);
    device->BeginRender();
    device->Cls(0, 0, 0);
    device->SetColor(255, 255, 255);
    device->SetAlpha(1);
    device->DrawSurface(surface, 10, 20);
    EXPECT_FLOAT_EQ(device->vertices[2].u, 100.0f / 128);
    EXPECT_FLOAT_EQ(device->vertices[2].v, 50.0f / 64);
    device->EndRender();
    EXPECT_EQ(PixelAt(10, 20), (Rgb{0, 255, 0}));
    EXPECT_EQ(PixelAt(108, 20), (Rgb{0, 255, 0}));
    EXPECT_EQ(PixelAt(109, 20), (Rgb{255, 0, 0}));
    EXPECT_EQ(PixelAt(10, 69), (Rgb{255, 0, 0}));
    EXPECT_EQ(PixelAt(110, 20), gltest::kBlack);
    EXPECT_EQ(PixelAt(10, 70), gltest::kBlack);
}

} // namespace

// One frame showing every primitive, images plain, rotated and scaled, alpha and additive blending,
// scissoring and the default font, drawn through the graphics module into a real window. The frame
// is saved as graphics_demo.png in the working folder so that a person can look at it.
#include "framework_frame.h"
#include "test_images.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

using gltest::kHeight;
using gltest::kWidth;
using gltest::PixelAt;
using gltest::Rgb;

namespace {

class Demo : public gltest::FrameworkTest {
  protected:
    // An arrow pointing right on a transparent ground, with a soft (half-alpha) outline.
    String WriteArrow() {
        std::vector<unsigned char> rgba;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                float dy = std::abs(float(y) - 7.5f);
                bool shaft = x < 9 && dy < 2.5f;
                bool head = x >= 9 && dy < float(16 - x);
                bool edge = x >= 9 && dy < float(17 - x);
                unsigned char a = shaft || head ? 255 : edge ? 128 : 0;
                rgba.insert(rgba.end(), {255, (unsigned char)(80 + 10 * x), 32, a});
            }
        }
        return String(files.Write("arrow", 16, 16, 4, rgba).c_str());
    }

    // Four 12 x 12 frames, red, green, blue and yellow, each with a one-pixel white padding column.
    String WriteStrip() {
        const unsigned char colours[4][3] = {{220, 40, 40}, {40, 200, 60}, {50, 90, 230}, {240, 220, 40}};
        std::vector<unsigned char> rgba;
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 56; ++x) {
                int f = x / 14, fx = x % 14;
                bool pad = fx == 0 || fx == 13;
                const unsigned char* c = colours[f];
                rgba.insert(rgba.end(), {pad ? (unsigned char)255 : c[0], pad ? (unsigned char)255 : c[1],
                                         pad ? (unsigned char)255 : c[2], 255});
            }
        }
        return String(files.Write("strip", 56, 12, 4, rgba).c_str());
    }

    static void Text(float x, float y, const char* text, float scale = 1) {
        c_GraphicsContext* context = Context();
        c_Image* font = context->font;
        for (; *text; ++text, x += float(font->width) * scale) {
            vx_graphics_DrawImage2(font, x, y, 0, scale, scale, *text - context->firstChar);
        }
    }

    static Array<float> Floats(std::vector<float> values) {
        return Array<float>(values.data(), int(values.size()));
    }

    static void DrawPrimitives() {
        vx_graphics_SetColor(255, 255, 255);
        // Points are a device primitive only; the module's matrix is handed over first.
        Context()->p_Validate();
        for (int i = 0; i < 10; ++i) {
            for (int j = 0; j < 10; ++j) device->DrawPoint(20 + float(i) * 6, 60 + float(j) * 6);
        }
        for (int i = 0; i < 12; ++i) {
            float angle = float(i) * 0.2618f;
            vx_graphics_SetColor(120 + float(i) * 11, 200, 255 - float(i) * 15);
            vx_graphics_DrawLine(100, 120, 100 + 55 * std::cos(angle), 120 - 55 * std::sin(angle));
        }
        vx_graphics_SetColor(230, 60, 60);
        vx_graphics_DrawRect(170, 60, 50, 30);
        vx_graphics_SetColor(60, 200, 90);
        vx_graphics_DrawRect(190, 80, 40, 40);
        vx_graphics_SetColor(250, 200, 60);
        vx_graphics_DrawEllipse(280, 90, 30, 30);
        vx_graphics_SetColor(90, 160, 250);
        vx_graphics_DrawEllipse(350, 90, 30, 14);
        vx_graphics_SetColor(200, 90, 230);
        vx_graphics_DrawPoly(Floats({420, 60, 460, 75, 455, 115, 410, 120, 395, 85}));
        vx_graphics_SetColor(90, 230, 220);
        vx_graphics_DrawPoly(Floats({480, 120, 510, 60, 540, 120}));
        vx_graphics_SetColor(255, 255, 255);
    }

    static void DrawImages(c_Image* arrow, c_Image* strip) {
        vx_graphics_DrawImage(arrow, 30, 190, 0);
        for (int i = 0; i < 4; ++i)
            vx_graphics_DrawImage2(arrow, 100 + float(i) * 40, 198, float(i) * 45, 1, 1, 0);
        vx_graphics_DrawImage2(arrow, 290, 198, 0, 3, 2, 0);
        for (int f = 0; f < 4; ++f) vx_graphics_DrawImage(strip, 370 + float(f) * 20, 198, f);
        // A textured quad from frame 2, stretched.
        vx_graphics_DrawPoly2(Floats({470, 180, 0, 0, 530, 180, 12, 0, 540, 215, 12, 12, 460, 215, 0, 12}),
                              strip, 2);
    }

    static void DrawBlending() {
        vx_graphics_SetColor(255, 255, 255);
        vx_graphics_DrawRect(20, 290, 130, 70);
        vx_graphics_SetAlpha(0.5f);
        vx_graphics_SetColor(255, 0, 0);
        vx_graphics_DrawRect(40, 300, 60, 50);
        vx_graphics_SetColor(0, 0, 255);
        vx_graphics_DrawRect(70, 310, 60, 50);
        vx_graphics_SetAlpha(1);

        vx_graphics_SetBlend(1);
        vx_graphics_SetColor(255, 0, 0);
        vx_graphics_DrawEllipse(230, 315, 30, 30);
        vx_graphics_SetColor(0, 255, 0);
        vx_graphics_DrawEllipse(260, 315, 30, 30);
        vx_graphics_SetColor(0, 0, 255);
        vx_graphics_DrawEllipse(245, 340, 30, 30);
        vx_graphics_SetBlend(0);

        vx_graphics_SetScissor(360, 290, 120, 70);
        vx_graphics_SetColor(250, 150, 40);
        vx_graphics_DrawEllipse(420, 325, 70, 50);
        vx_graphics_SetScissor(0, 0, float(kWidth), float(kHeight));
        vx_graphics_SetColor(255, 255, 255);
        vx_graphics_DrawLine(359, 289, 480, 289);
    }

    gltest::TempImages files;
};

void SaveScreenshot(const std::string& path) {
    std::vector<unsigned char> rgba(std::size_t(kWidth) * kHeight * 4);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    // OpenGL's rows run bottom up; a PNG's top down.
    const int stride = kWidth * 4;
    ASSERT_NE(stbi_write_png(path.c_str(), kWidth, kHeight, 4,
                             rgba.data() + std::size_t(kHeight - 1) * stride, -stride),
              0);
    std::cout << "screenshot: " << std::filesystem::absolute(path).string() << "\n";
}

TEST_F(Demo, EveryPrimitiveAndImageInOneFrame) {
    vx_graphics_SetFont(nullptr, 32);
    ASSERT_NE(Context()->font, nullptr) << "no data/kiwi_font.png beside the program (target spindrift_data)";
    c_Image* arrow = vx_graphics_LoadImage(WriteArrow(), 1, c_Image::HandleCentre);
    c_Image* strip = vx_graphics_LoadImage(WriteStrip(), 4, c_Image::PadX | c_Image::HandleCentre);
    ASSERT_TRUE(arrow && strip);

    device->Cls(24, 28, 40);
    Text(20, 14, "Spindrift graphics", 2);
    DrawPrimitives();
    Text(20, 140, "points  lines    rects    ovals          polygons");
    DrawImages(arrow, strip);
    Text(20, 235, "image  rotated by 0 45 90 135  scaled  frames  textured poly");
    DrawBlending();
    Text(20, 380, "alpha blend           additive                 scissor");
    EndFrame();

    EXPECT_EQ(PixelAt(20, 60), (Rgb{255, 255, 255}));   // a point
    EXPECT_EQ(PixelAt(245, 325), (Rgb{255, 255, 255})); // red + green + blue, added
    EXPECT_EQ(PixelAt(420, 300), (Rgb{250, 150, 40}));  // inside the scissor
    EXPECT_EQ(PixelAt(420, 280), (Rgb{24, 28, 40}));    // clipped
    EXPECT_EQ(PixelAt(50, 295), (Rgb{255, 255, 255}));  // white under nothing
    EXPECT_EQ(PixelAt(50, 305), (Rgb{255, 128, 128}));  // half red over white
    // The arrow turned by 90 degrees points up: its shaft is below its centre.
    EXPECT_NE(PixelAt(180, 204), (Rgb{24, 28, 40}));
    EXPECT_EQ(PixelAt(185, 204), (Rgb{24, 28, 40}));
    SaveScreenshot("graphics_demo.png");
}

} // namespace

// The default font: "kiwi_font.png" from the data folder beside the program, one strip of 96
// frames with X padding, for characters 32 to 127.
#include "framework_frame.h"

#include <gtest/gtest.h>

namespace {

class DefaultFont : public gltest::FrameworkTest {};

TEST_F(DefaultFont, LoadsOnFirstNeedFromTheDataFolder) {
    c_GraphicsContext* context = Context();
    ASSERT_EQ(context->defaultFont, nullptr);
    vx_graphics_SetFont(nullptr, 65);
    c_Image* font = context->defaultFont;
    ASSERT_NE(font, nullptr) << "no data/kiwi_font.png beside the program (target spindrift_data)";
    EXPECT_EQ(context->font, font);
    EXPECT_EQ(context->firstChar, 32);
    EXPECT_EQ(font->frames.Length(), 96);
    EXPECT_EQ(font->flags, c_Image::PadX);
    EXPECT_EQ(font->width, font->surface->Width() / 96 - 2);
    EXPECT_EQ(font->frames[1]->x, font->surface->Width() / 96 + 1);
}

TEST_F(DefaultFont, AnotherFontIsTakenWithItsFirstCharacterAndTheDefaultStays) {
    vx_graphics_SetFont(nullptr, 32);
    c_Image* standard = Context()->defaultFont;
    c_Image* other = vx_graphics_CreateImage(8, 8, 4, 0);
    vx_graphics_SetFont(other, 65);
    EXPECT_EQ(Context()->font, other);
    EXPECT_EQ(Context()->firstChar, 65);
    vx_graphics_SetFont(nullptr, 65);
    EXPECT_EQ(Context()->font, standard);
    EXPECT_EQ(Context()->defaultFont, standard);
    EXPECT_EQ(Context()->firstChar, 32);
}

} // namespace

// The drawing kit: the commands it records (text layout, button glyphs, state, the list's limit),
// its small helpers, image loading by tier, and the replay read back from the window's pixels.
#include "game_harness.h"

#include <string_view>
#include <vector>

namespace {

using gametest::App;
using gametest::CommandAt;
using gametest::CommandCount;
using gametest::Host;
using gametest::ImgInfoOf;
using gametest::PixelAt;
using gametest::Render;
using gametest::Rgb;

using Draw = gametest::GameTest;

String Text(std::u16string_view text) { return String(text.data(), int(text.size())); }

struct Glyph {
    float x, y;
    int frame;
    bool operator==(const Glyph&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const Glyph& g) {
        return out << "(" << g.x << ", " << g.y << ", frame " << g.frame << ")";
    }
};

// The glyphs recorded since the list was emptied, all of the font's slot.
std::vector<Glyph> RecordedGlyphs() {
    std::vector<Glyph> glyphs;
    for (int i = 0; i < CommandCount(); ++i) {
        EXPECT_EQ(CommandAt(i)[CmdCode], ImgFont);
        glyphs.push_back({CommandAt(i)[CmdX], CommandAt(i)[CmdY], int(CommandAt(i)[CmdFrame])});
    }
    return glyphs;
}

TEST_F(Draw, TextIsLaidOutGlyphByGlyph) {
    struct Case {
        const char16_t* text;
        float x, y, ax, ay;
        int controlStyle;
        float size, rotation;
        std::vector<Glyph> glyphs;
    } cases[] = {
        // The leading space advances first; H is frame 40, i frame 73.
        {u"Hi", 100, 50, 0, 1, 0, 1, 0, {{107, 50, 40}, {114, 50, 73}}},
        {u"Hi", 100, 50, 0, 1, 0, 2, 0, {{114, 50, 40}, {128, 50, 73}}},
        // Centred: the width counts the space and the a, so the text starts 7 to the left.
        {u"ab", 200, 50, 1, 1, 0, 1, 0, {{200, 50, 65}, {207, 50, 66}}},
        {u"ab", 200, 50, 2, 1, 0, 1, 0, {{193, 50, 65}, {200, 50, 66}}},
        // ay 0 puts y on the top of the line, 2 on its bottom.
        {u"a", 100, 50, 0, 0, 0, 1, 0, {{107, 55, 65}}},
        {u"a", 100, 50, 0, 2, 0, 1, 0, {{107, 45, 65}}},
        // Wide letters take more room, narrow ones less.
        {u"wil", 100, 50, 0, 1, 0, 1, 0, {{107, 50, 87}, {116, 50, 73}, {120, 50, 76}}},
        // A line break: one line lower, one advance right of the first line's start.
        {u"a\\nbc", 100, 50, 0, 1, 0, 1, 0, {{107, 50, 65}, {107, 60, 66}, {114, 60, 67}}},
        // Button glyphs: key caps for the keyboard, pad buttons otherwise, with their own spacing.
        {u"\u00acQ", 100, 50, 0, 1, StyleKeyboard, 1, 0, {{107, 50, 118}}},
        {u"\u00acQ", 100, 50, 0, 1, StylePad, 1, 0, {{107, 50, 102}}},
        {u"\u00acUx", 100, 50, 0, 1, StylePointer, 1, 0, {{107, 50, 100}, {120, 50, 88}}},
        // A glyph that is a letter's frame keeps the letter's spacing: 7 shows frame 55, W's.
        {u"\u00ac7a", 100, 50, 0, 1, StylePointer, 1, 0, {{107, 50, 55}, {115, 50, 65}}},
        // Turned a quarter: the text runs down the screen.
        {u"Hi", 100, 50, 0, 1, 0, 1, 90, {{100, 57, 40}, {100, 64, 73}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << CString(Text(c.text)).c_str() << " at " << c.x << " ax " << c.ax
                                        << " ay " << c.ay << " style " << c.controlStyle);
        app->p_CLS2D(Omitted, 0, 0, 0);
        app->m_ControlStyle = c.controlStyle;
        app->p_SetSize(c.size);
        app->p_SetRot(c.rotation);
        app->p_Text(c.x, c.y, Text(c.text), c.ax, c.ay, 0);
        EXPECT_EQ(RecordedGlyphs(), c.glyphs);
    }
}

TEST_F(Draw, PadButtonGlyphsFlashTheirPressedLookTwoFifthsOfTheTime) {
    struct Case {
        double seconds;
        int style;
        const char16_t* text;
        int frame;
    } cases[] = {
        {1000.1, StylePad, u"\u00acJ", 109},    {1000.3, StylePad, u"\u00acJ", 96},
        {1000.1, StylePad, u"\u00acU", 110},    {1000.1, StylePad, u"\u00acS", 104},
        {1000.1, StylePad, u"\u00acQ", 102},    {1000.1, StyleKeyboard, u"\u00acJ", 112},
        {1000.1, StylePointer, u"\u00acJ", 96},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.seconds << " s, style " << c.style << ", frame " << c.frame);
        gametest::Clock().now = c.seconds;
        app->p_CLS2D(Omitted, 0, 0, 0);
        app->m_ControlStyle = c.style;
        app->p_Text(100, 50, Text(c.text), 0, 1, 0);
        ASSERT_EQ(CommandCount(), 1);
        EXPECT_EQ(CommandAt(0)[CmdFrame], c.frame);
    }
}

TEST_F(Draw, CommandsCarryTheStateTheyWereRecordedWith) {
    app->p_CLS2D(Omitted, 0, 0, 0);
    app->p_SetSize(2);
    app->p_SetRot(30);
    app->p_SetCol(10, 20, 30, 0.5f);
    app->m_Blend = BlendAdditive;
    app->p_DrawImg(ImgIcons, 5, 6, 7);
    app->p_SetCol(40, 50, 60);
    app->p_Rect(1, 2, 3, 4);
    app->p_SetSize(3, 4);
    app->p_Alpha(0.25f);
    app->p_Oval(1, 2, 3, 4);
    app->p_Line(1, 2, 3, 4);
    app->p_Tilt(45);
    app->p_TiltOff();

    struct Expected {
        std::vector<float> first;  // entries 0 to 7
        std::vector<float> colour; // entries 10 to 13
    } expected[] = {
        {{ImgIcons, 5, 6, -30, 2, 2, 7, 0.5f}, {10, 20, 30, BlendAdditive}},
        {{DrawRect, 1, 2, -30, 3, 4, 0, 0.5f}, {40, 50, 60, BlendAdditive}},
        {{DrawOval, 1, 2, -30, 3, 4, 0, 0.25f}, {40, 50, 60, BlendAdditive}},
        {{DrawLine, 1, 2, -30, 3, 4, 0, 0.25f}, {40, 50, 60, BlendAdditive}},
    };
    ASSERT_EQ(CommandCount(), 6);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        std::vector<float> first(CommandAt(i).f, CommandAt(i).f + CmdAlpha + 1);
        std::vector<float> colour(CommandAt(i).f + CmdRed, CommandAt(i).f + CmdBlend + 1);
        EXPECT_EQ(first, expected[i].first);
        EXPECT_EQ(colour, expected[i].colour);
    }
    EXPECT_EQ(CommandAt(4)[CmdCode], DrawTilt);
    EXPECT_EQ(CommandAt(4)[CmdAngle], 45);
    EXPECT_EQ(CommandAt(5)[CmdCode], DrawTiltOff);
}

TEST_F(Draw, TrianglesAreReversedUnlessTheMiddleVertexIsRightmost) {
    struct Case {
        float in[6];
        float out[6];
    } cases[] = {
        {{0, 0, 10, 5, 5, 10}, {0, 0, 10, 5, 5, 10}},
        {{0, 0, 5, 5, 5, 10}, {0, 0, 5, 5, 5, 10}},
        {{10, 0, 5, 5, 0, 10}, {0, 10, 5, 5, 10, 0}},
        {{0, 0, 5, 5, 10, 10}, {10, 10, 5, 5, 0, 0}},
    };
    for (const Case& c : cases) {
        app->p_CLS2D(Omitted, 0, 0, 0);
        app->p_Alpha(0.75f);
        app->p_Tri(c.in[0], c.in[1], c.in[2], c.in[3], c.in[4], c.in[5]);
        ASSERT_EQ(CommandCount(), 1);
        EXPECT_EQ(CommandAt(0)[CmdCode], DrawTri);
        // The three points fill the entries from CmdX on.
        EXPECT_EQ(std::vector<float>(CommandAt(0).f + CmdX, CommandAt(0).f + CmdX + 6),
                  std::vector<float>(c.out, c.out + 6));
        EXPECT_EQ(CommandAt(0)[CmdAlpha], 0.75f);
    }
}

TEST_F(Draw, LeftOutArgumentsKeepOrCopyTheirValue) {
    app->p_SetSize(2);
    EXPECT_EQ(app->m_SizeX, 2);
    EXPECT_EQ(app->m_SizeY, 2);
    app->p_SetSize(2, 3);
    EXPECT_EQ(app->m_SizeY, 3);
    app->p_Alpha(0.5f);
    app->p_SetCol(1, 2, 3);
    EXPECT_EQ(app->m_Alpha, 0.5f);
    EXPECT_EQ(app->m_ColB, 3);
    app->p_SetCol(1, 2, 3, 0.25f);
    EXPECT_EQ(app->m_Alpha, 0.25f);
    app->p_SetRot(30);
    EXPECT_EQ(app->m_Rot, -30);

    app->m_Blend = BlendAdditive;
    app->p_ResetDraw();
    EXPECT_EQ(std::vector<float>({app->m_SizeX, app->m_SizeY, app->m_Rot, app->m_ColR, app->m_ColG,
                                  app->m_ColB, app->m_Alpha, float(app->m_Blend)}),
              std::vector<float>({1, 1, 0, 255, 255, 255, 1, BlendNormal}));
}

TEST_F(Draw, InksComeFromTheColourTableClamped) {
    struct Case {
        int index;
        float brightness;
        float r, g, b;
    } cases[] = {
        {1, 1, 255, 25.5f, 25.5f}, {2, 1, 255, 127.5f, 25.5f},  {7, 1, 127.5f, 25.5f, 255},
        {9, 2, 255, 255, 255},     {0, 1, 76.5f, 76.5f, 76.5f}, {10, 1, 76.5f, 76.5f, 76.5f},
        {5, -1, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        app->p_Ink(c.index, c.brightness);
        EXPECT_FLOAT_EQ(app->m_ColR, c.r);
        EXPECT_FLOAT_EQ(app->m_ColG, c.g);
        EXPECT_FLOAT_EQ(app->m_ColB, c.b);
    }
}

TEST_F(Draw, TheListHoldsAtMost2499CommandsAndDropsTheRest) {
    app->p_CLS2D(Omitted, 0, 0, 0);
    for (int i = 0; i < 2499; ++i) app->p_Rect(float(i), 0, 1, 1);
    EXPECT_EQ(app->m_DrawN, 2499 * DrawStride);
    app->m_Draw[DrawFloats - 1] = 1234;
    app->p_Rect(-1, -1, 1, 1);
    app->p_Text(10, 10, u"dropped", 0, 1, 0);
    app->p_Tilt(10);
    EXPECT_EQ(app->m_DrawN, 2499 * DrawStride);
    EXPECT_EQ(app->m_Draw[DrawFloats - 1], 1234) << "nothing is written past the last command";
    EXPECT_EQ(CommandAt(2498)[CmdX], 2498);
}

TEST_F(Draw, ClearingEmptiesTheListResetsTheStateAndSetsTheBackground) {
    jscrw = 600;
    jscrh = 300;
    app->p_Rect(0, 0, 1, 1);
    app->p_SetSize(3);
    app->p_CLS2D(10, 20, 30, 0.5f);
    EXPECT_EQ(app->m_DrawN, 0);
    EXPECT_EQ(app->m_SizeX, 1);
    EXPECT_EQ(std::vector<float>({app->m_BgR, app->m_BgG, app->m_BgB, app->m_BgA}),
              std::vector<float>({10, 20, 30, 0.5f}));
    app->p_CLS2D(Omitted, 0, 0, 0);
    EXPECT_EQ(app->m_BgR, 10) << "a left-out colour keeps the background";
}

TEST_F(Draw, TheEasedBackgroundMovesAnEighthOfTheWayEachFrame) {
    app->p_DoBG(80, 160, 240, 0.5f);
    EXPECT_EQ(std::vector<float>({app->m_BgR, app->m_BgG, app->m_BgB, app->m_BgA}),
              std::vector<float>({10, 20, 30, 0.5f}));
    app->p_DoBG(-123, -123, -123, -123);
    EXPECT_EQ(std::vector<float>({app->m_BgParam0, app->m_BgParam1, app->m_BgParam2}),
              std::vector<float>({80, 160, 240}));
    EXPECT_EQ(std::vector<float>({app->m_BgR, app->m_BgG, app->m_BgB, app->m_BgA}),
              std::vector<float>({18.75f, 37.5f, 56.25f, 1}));
    app->p_DoBG(0, -200, -122, 3);
    EXPECT_EQ(std::vector<float>({app->m_BgParam0, app->m_BgParam1, app->m_BgParam2}),
              std::vector<float>({0, 160, -122}));
    EXPECT_EQ(app->m_BgA, 1) << "clamped";
    app->p_DoBG(-123, -123, -123, -0.5f);
    EXPECT_EQ(app->m_BgA, 0);
}

TEST_F(Draw, NumbersAreRightJustified) {
    struct Case {
        int value, width;
        const char16_t* pad;
        const char16_t* text;
    } cases[] = {
        {42, 5, u"0", u"00042"}, {1234, 3, u"0", u"234"}, {7, 3, u" ", u"  7"},
        {-5, 4, u"0", u"00-5"},  {42, 0, u"0", u""},      {123, 3, u"ab", u"123"},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(app->p_rstr(c.value, c.width, Text(c.pad)) == Text(c.text)) << c.value;
}

TEST_F(Draw, ImagesAndTheFontLoadAtTheCurrentTier) {
    for (int tier : {1, 2, 4}) {
        SCOPED_TRACE(tier);
        app->m_ImgRes = tier;
        app->p_LoadImg(ImgGfx, u"gfx", 36, 36, 49, 1);
        ASSERT_NE(app->m_Img[ImgGfx], nullptr);
        EXPECT_EQ(app->m_Img[ImgGfx]->width, 36 * tier);
        EXPECT_EQ(app->m_Img[ImgGfx]->frames.Length(), 49);
        EXPECT_EQ(app->m_Img[ImgGfx]->handleX, 18 * tier) << "handles at the frames' centres";
        EXPECT_EQ(ImgInfoOf(ImgGfx), std::vector<int>({36 * tier, 36 * tier, 49}));

        app->p_LoadFont(70, u"fonts/shadow_editundo", 6, 9);
        ASSERT_NE(app->m_Img[70], nullptr);
        EXPECT_EQ(app->m_Img[70]->width, 16 * tier);
        EXPECT_EQ(app->m_Font, 70);
        EXPECT_EQ(ImgInfoOf(70), std::vector<int>({6, 9, 128})) << "advance and line height for the cell";
    }
    app->p_LoadImg(ImgGfx, u"no_such_picture", 36, 36, 49, 1);
    EXPECT_EQ(app->m_Img[ImgGfx], nullptr) << "a missing file leaves the slot empty";

    app->p_ReserveImg(5, 20, 10);
    ASSERT_NE(app->m_Img[5], nullptr);
    EXPECT_EQ(app->m_Img[5]->width, 20);
    EXPECT_EQ(app->m_Img[5]->height, 10);
}

TEST_F(Draw, TheFirstFreeObjectIsFoundWithinTheLimit) {
    app->m_Obj[ObjState] = ObjWalker;
    app->m_Obj[RecordFloats + ObjState] = ObjPickup;
    EXPECT_EQ(app->p_FreeObj(500), 2 * RecordFloats);
    EXPECT_EQ(app->p_FreeObj(1), -1);
    EXPECT_EQ(app->p_FreeObj(2), 2 * RecordFloats);
    EXPECT_EQ(app->p_FreeObj(-1), -1);
    for (int i = 0; i < app->m_Obj.Length(); i += RecordFloats) app->m_Obj[i + ObjState] = ObjWalker;
    EXPECT_EQ(app->p_FreeObj(1000), -1) << "a limit past the table stops at its end";
}

// A blue 16 x 16 image in slot 50, drawn 32 virtual units large whatever the tier.
void PutBlueImage(c_MyApp* app) {
    app->p_ReserveImg(50, 16, 16);
    std::vector<int> blue(16 * 16, int(0xFF0000FF));
    app->m_Img[50]->surface->SetSubData(0, 0, 16, 16, blue.data(), 16);
    app->p_SetSize(2 / app->m_ImgScale);
}

// One list replayed at two window sizes of the same shape: every pixel scales with the window.
TEST_F(Draw, TheReplayDrawsTheListScaledToTheDevice) {
    const Rgb background{0, 0, 40}, red{255, 0, 0}, blue{0, 0, 255};
    for (int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        Host()->SetGlfwWindow({.width = 640 * scale, .height = 480 * scale});
        app->p_CLS2D(0, 0, 40, 1);
        app->p_SetCol(255, 0, 0);
        app->p_Rect(10, 10, 100, 50);
        app->m_Blend = BlendAdditive;
        app->p_SetCol(0, 255, 0);
        app->p_Rect(60, 10, 100, 50); // added onto the red where they overlap
        app->p_Oval(300, 100, 20, 10);
        app->p_ResetDraw();
        PutBlueImage(app);
        app->p_DrawImg(50, 200, 100, 0);
        app->p_DrawImg(51, 400, 100, 0); // an empty slot draws nothing
        app->p_ResetDraw();
        app->p_SetCol(255, 0, 0);
        app->p_Tri(400, 300, 440, 320, 400, 340);
        Render();

        auto at = [&](int x, int y) { return PixelAt(x * scale, y * scale); };
        EXPECT_EQ(at(5, 5), background) << "the background fills the device";
        EXPECT_EQ(at(35, 35), red);
        EXPECT_EQ(at(85, 35), (Rgb{255, 255, 0})) << "green added onto the red";
        EXPECT_EQ(at(135, 35), (Rgb{0, 255, 40})) << "and onto the background";
        EXPECT_EQ(at(318, 100), (Rgb{0, 255, 40}));
        EXPECT_EQ(at(300, 112), background) << "outside the oval's vertical radius of 10";
        EXPECT_EQ(at(200, 100), blue);
        EXPECT_EQ(at(214, 114), blue);
        EXPECT_EQ(at(218, 100), background);
        EXPECT_EQ(at(400, 100), background);
        EXPECT_EQ(at(410, 320), red);
        EXPECT_EQ(at(430, 305), background);
    }
}

// Virtual (0, 0) goes to the device's centre and the view turns about it until the turn ends.
TEST_F(Draw, AScreenTurnRotatesWhatFollowsAboutTheDevicesCentre) {
    for (int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        Host()->SetGlfwWindow({.width = 640 * scale, .height = 480 * scale});
        app->p_CLS2D(0, 0, 0, 1);
        app->p_Tilt(90);
        app->p_SetCol(0, 255, 0);
        app->p_Rect(20, -5, 100, 10); // a bar to the right of the centre, turned to point up
        app->p_TiltOff();
        app->p_SetCol(255, 0, 0);
        app->p_Rect(0, 0, 10, 10);
        Render();

        const int cx = 320 * scale, cy = 240 * scale;
        EXPECT_EQ(PixelAt(cx, cy - 60 * scale), (Rgb{0, 255, 0}));
        EXPECT_EQ(PixelAt(cx + 60 * scale, cy), (Rgb{0, 0, 0}));
        EXPECT_EQ(PixelAt(5 * scale, 5 * scale), (Rgb{255, 0, 0})) << "back to the plain view";
    }
}

TEST_F(Draw, TheOverscanBorderMovesTheListInward) {
    overscan = 64;
    app->p_CLS2D(0, 0, 0, 1);
    app->p_SetCol(255, 0, 0);
    app->p_Rect(0, 0, 10, 10);
    Render();
    EXPECT_EQ(PixelAt(66, 50), (Rgb{255, 0, 0}));
    EXPECT_EQ(PixelAt(62, 50), (Rgb{0, 0, 0}));
    EXPECT_EQ(PixelAt(66, 46), (Rgb{0, 0, 0}));
}

} // namespace

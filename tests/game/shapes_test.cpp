// Every screen at every common monitor shape, from 32:9 to 9:16: the texts and interface pictures
// stay on the virtual screen, and the menu's title, dial, cog, score strip and start button keep
// clear of each other. Extents come from the pictures' own opaque pixels, read back from their
// textures, so a transparent margin around a picture never counts as overlap.
#include "game_harness.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

using gametest::App;
using gametest::CommandAt;
using gametest::CommandCount;
using gametest::FinishLoading;
using gametest::Host;
using gametest::PixelAt;
using gametest::Render;
using gametest::Rgb;
using gametest::Update;
using gametest::Updates;

constexpr int kWheelFrames[] = {8, 9, 10};

struct Box {
    float x0, y0, x1, y1;
    bool Overlaps(const Box& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
    Box Joined(const Box& o) const {
        return {std::min(x0, o.x0), std::min(y0, o.y0), std::max(x1, o.x1), std::max(y1, o.y1)};
    }
    friend std::ostream& operator<<(std::ostream& out, const Box& b) {
        return out << "(" << b.x0 << ", " << b.y0 << ")-(" << b.x1 << ", " << b.y1 << ")";
    }
};

// The opaque pixels of the pictures on the draw list, read back from their textures. Made afresh
// for each look at the list: a reload puts new images (at another tier) into the slots.
class Pictures {
  public:
    // Where image command i shows opaque pixels, in virtual units: scaled, mirrored and turned as
    // drawn.
    Box Extent(int i) {
        gametest::Command c = CommandAt(i);
        Box f = OpaqueFrame(int(c[CmdCode]), int(c[CmdFrame]));
        const float sx = c[CmdScaleX] * App()->m_ImgScale, sy = c[CmdScaleY] * App()->m_ImgScale;
        const float a = c[CmdRot] * float(M_PI) / 180, cs = std::cos(a), sn = std::sin(a);
        Box out{1e9f, 1e9f, -1e9f, -1e9f};
        for (float px : {f.x0, f.x1}) {
            for (float py : {f.y0, f.y1}) {
                float x = px * sx, y = py * sy;
                float rx = c[CmdX] + x * cs + y * sn, ry = c[CmdY] - x * sn + y * cs;
                out = out.Joined({rx, ry, rx, ry});
            }
        }
        return out;
    }

    // Whether image command i, drawn upright, shows an opaque pixel inside `area`.
    bool OpaqueIn(int i, const Box& area) {
        gametest::Command c = CommandAt(i);
        c_Image* image = App()->m_Img[int(c[CmdCode])];
        const float sx = c[CmdScaleX] * App()->m_ImgScale, sy = c[CmdScaleY] * App()->m_ImgScale;
        const c_Frame* f = image->frames[int(c[CmdFrame])];
        for (int y = 0; y < image->height; ++y) {
            for (int x = 0; x < image->width; ++x) {
                float vx = c[CmdX] + (float(x) + 0.5f - image->handleX) * sx;
                float vy = c[CmdY] + (float(y) + 0.5f - image->handleY) * sy;
                if (vx > area.x0 && vx < area.x1 && vy > area.y0 && vy < area.y1 &&
                    Alpha(int(c[CmdCode]), f->x + x, f->y + y) >= kOpaque)
                    return true;
            }
        }
        return false;
    }

  private:
    static constexpr int kOpaque = 32;
    struct Texels {
        int width = 0;
        std::vector<unsigned char> rgba;
    };
    std::map<int, Texels> read;
    std::map<std::pair<int, int>, Box> frames;

    int Alpha(int slot, int x, int y) {
        auto found = read.find(slot);
        if (found == read.end()) {
            Texels& t = read[slot];
            App()->m_Img[slot]->surface->Bind();
            GLint texW = 0, texH = 0;
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &texW);
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &texH);
            t.width = texW;
            t.rgba.resize(std::size_t(texW) * std::size_t(texH) * 4);
            glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, t.rgba.data());
            gxtkSurface::ForgetBinding();
            found = read.find(slot);
        }
        const Texels& t = found->second;
        return t.rgba[(std::size_t(y) * std::size_t(t.width) + std::size_t(x)) * 4 + 3];
    }

    // The opaque pixels of one frame, relative to the image's handle, in the texture's pixels.
    Box OpaqueFrame(int slot, int frame) {
        auto key = std::make_pair(slot, frame);
        if (auto found = frames.find(key); found != frames.end()) return found->second;
        c_Image* image = App()->m_Img[slot];
        const c_Frame* f = image->frames[frame];
        Box box{1e9f, 1e9f, -1e9f, -1e9f};
        for (int y = 0; y < image->height; ++y)
            for (int x = 0; x < image->width; ++x)
                if (Alpha(slot, f->x + x, f->y + y) >= kOpaque)
                    box = box.Joined({float(x), float(y), float(x + 1), float(y + 1)});
        box = {box.x0 - image->handleX, box.y0 - image->handleY, box.x1 - image->handleX,
               box.y1 - image->handleY};
        return frames[key] = box;
    }
};

// The image commands drawn upright on the virtual screen (not inside the tilted play view).
std::vector<int> UprightImages() {
    std::vector<int> found;
    bool tilted = false;
    for (int i = 0; i < CommandCount(); ++i) {
        int code = int(CommandAt(i)[CmdCode]);
        if (code == DrawTilt) tilted = true;
        if (code == DrawTiltOff) tilted = false;
        if (code >= 0 && !tilted && App()->m_Img[code]) found.push_back(i);
    }
    return found;
}

bool IsInterface(int slot) {
    return slot == ImgFont || slot == ImgBadges || slot == ImgLogo || slot == ImgButtons ||
           slot == ImgIcons || slot == ImgTitle;
}

struct Shape {
    const char* name;
    int w, h;
};
// Named in the test list by its ratio and size rather than by its bytes.
void PrintTo(const Shape& shape, std::ostream* out) {
    *out << shape.name << " " << shape.w << "x" << shape.h;
}
constexpr Shape kShapes[] = {
    {"4:3", 1024, 768},   {"5:4", 1280, 1024},  {"16:10", 1680, 1050},
    {"16:9", 1920, 1080}, {"21:9", 2560, 1080}, {"32:9", 3840, 1080},
    {"1:1", 1080, 1080},  {"3:4", 768, 1024},   {"9:16", 1080, 1920},
};

class Shapes : public gametest::GameTest {
  protected:
    void TearDown() override {
        Host()->SetGlfwWindow(VxWindowRequest{});
        GameTest::TearDown();
    }

    // A fresh game in a window of the shape's size, loaded at its tier, its menu settled.
    void Open(const Shape& shape) {
        app = gametest::FreshApp();
        Host()->SetGlfwWindow({.width = shape.w, .height = shape.h});
        ASSERT_EQ(Host()->GetDeviceWidth(), shape.w);
        ASSERT_EQ(Host()->GetDeviceHeight(), shape.h);
        Render();
        FinishLoading();
        Settle();
    }
    void Settle() {
        for (int i = 0; i < 90; ++i) {
            Update();
            Render();
        }
    }

    // Every text and interface picture on the draw list lies on the virtual screen; `exempt` names
    // commands that are meant to run off it.
    void ExpectAllInside(const char* screen, const std::function<bool(int)>& exempt = nullptr) {
        const Box view{-0.5f, -0.5f, jscrw + 0.5f, jscrh + 0.5f};
        Pictures pictures;
        int checked = 0;
        for (int i : UprightImages()) {
            if (!IsInterface(int(CommandAt(i)[CmdCode])) || (exempt && exempt(i))) continue;
            Box b = pictures.Extent(i);
            ++checked;
            EXPECT_TRUE(b.x0 >= view.x0 && b.y0 >= view.y0 && b.x1 <= view.x1 && b.y1 <= view.y1)
                << screen << ": slot " << CommandAt(i)[CmdCode] << " frame " << CommandAt(i)[CmdFrame]
                << " at " << b << " outside " << jscrw << " x " << jscrh;
        }
        EXPECT_GT(checked, 0) << screen;
    }

    // The joined extent of the commands that `pick` chooses.
    static Box Group(Pictures& pictures, const std::function<bool(int)>& pick) {
        Box box{1e9f, 1e9f, -1e9f, -1e9f};
        for (int i : UprightImages())
            if (pick(i)) box = box.Joined(pictures.Extent(i));
        return box;
    }

    static bool Is(int i, int slot) { return int(CommandAt(i)[CmdCode]) == slot; }
    static bool IsWheel(int i) {
        return Is(i, ImgButtons) &&
               std::count(std::begin(kWheelFrames), std::end(kWheelFrames), int(CommandAt(i)[CmdFrame]));
    }
    // A dial row: its button (frames 0 to 5) or the name written over it, near the button.
    bool IsDialRow(int i, int row) const {
        float angle = float(32 * row + 48) + app->m_DialPos;
        float off = std::abs(angle - 45), radius = off <= 45 ? 116 + (45 - off) * 1.5f : 116;
        float cx = 38, cy = jscrh - 64;
        float x = cx + std::cos(angle * float(M_PI) / 180) * radius;
        float y = cy - std::sin(angle * float(M_PI) / 180) * radius;
        gametest::Command c = CommandAt(i);
        bool button = Is(i, ImgButtons) && c[CmdFrame] < 6 && c[CmdX] == x && c[CmdY] == y;
        bool name = Is(i, ImgFont) && std::abs(c[CmdX] - x) < 60 && std::abs(c[CmdY] - y) < 30;
        return button || name;
    }
    // Rows beyond the selected row's neighbours are the dial turning out of view.
    bool IsFarDialRow(int i) const {
        for (int row = 0; row <= 2; ++row)
            if (std::abs(row - app->m_MenuRow) > 1 && IsDialRow(i, row)) return true;
        return false;
    }
};

// One test a shape, so that each stays short on a busy machine.
class EveryShape : public Shapes, public testing::WithParamInterface<Shape> {};

std::string ShapeName(const testing::TestParamInfo<Shape>& shape) {
    std::string name = "Shape";
    for (const char* c = shape.param.name; *c; ++c) name += *c == ':' ? '_' : *c;
    return name;
}

INSTANTIATE_TEST_SUITE_P(Shapes, EveryShape, testing::ValuesIn(kShapes), ShapeName);

TEST_P(EveryShape, TheMenuKeepsItsPartsApartAndOnTheScreen) {
    const Shape& shape = GetParam();
    Open(shape);
    ASSERT_GE(jscrh, 359.9f);
    ASSERT_GE(jscrw, 529.9f);
    const float strip = jscrw - float(app->m_SidePanelX + 140);
    ExpectAllInside("menu", [&](int i) { return IsFarDialRow(i); });

    Pictures pictures;
    Box title = Group(pictures, [](int i) { return Is(i, ImgTitle); });
    Box dial = Group(pictures, [&](int i) {
        return IsWheel(i) || (IsDialRow(i, app->m_MenuRow) || IsDialRow(i, app->m_MenuRow - 1) ||
                              IsDialRow(i, app->m_MenuRow + 1));
    });
    Box cog = Group(pictures, IsWheel);
    const Box stripArea{strip, -128, jscrw, jscrh};
    struct Pair {
        const char* what;
        Box a, b;
    } pairs[] = {
        {"title and dial", title, dial},     {"title and strip", title, stripArea},
        {"dial and strip", dial, stripArea}, {"cog and strip", cog, stripArea},
        {"title and cog", title, cog},
    };
    for (const Pair& p : pairs) EXPECT_FALSE(p.a.Overlaps(p.b)) << p.what << ": " << p.a << " and " << p.b;

    // The score lists end just above the start button's point: each digit against its pixels.
    int start = -1, digits = 0;
    for (int i : UprightImages())
        if (Is(i, ImgIcons) && CommandAt(i)[CmdFrame] == IconStart) start = i;
    ASSERT_GE(start, 0);
    for (int i : UprightImages()) {
        if (!Is(i, ImgFont) || CommandAt(i)[CmdX] <= strip) continue;
        ++digits;
        EXPECT_FALSE(pictures.OpaqueIn(start, pictures.Extent(i)))
            << "a score glyph on the start button at " << pictures.Extent(i);
    }
    EXPECT_GT(digits, 0);
}

TEST_P(EveryShape, EveryOtherScreenStaysOnTheScreen) {
    const Shape& shape = GetParam();
    Open(shape);

    app->p_Reload();
    Update();
    ExpectAllInside("loading");
    FinishLoading();
    Settle();

    // The opened panel pushes the title off to the left, as a page turned.
    app->m_SidePanel = 1;
    Settle();
    ExpectAllInside("side panel", [](int i) { return Is(i, ImgTitle); });
    app->m_SidePanel = 0;
    Settle();

    app->m_OptionOpen = 1;
    Settle();
    ExpectAllInside("options box");
    app->m_OptionOpen = 0;
    Settle();

    app->m_Screen = ScreenStartRound;
    Updates(30);
    ASSERT_EQ(app->m_Screen, ScreenRound);
    ExpectAllInside("round");

    app->m_BadgeQueue[0] = 5;
    app->m_BadgeQueueT[0] = 100;
    Update();
    ExpectAllInside("badge banner");

    gametest::Tap(VkEscape);
    Updates(20);
    ASSERT_EQ(app->m_Paused, 1);
    ExpectAllInside("pause");

    app->m_PauseSel = -1;
    Updates(20);
    app->m_RoundOver = 1;
    app->m_QuitRound = -1;
    app->m_Score = 1000000;
    Updates(60);
    ExpectAllInside("end of the round");
}

// The title used to run off the left edge in tall portrait and under the dial on ultrawide screens:
// the device's left edge and the gap between the title and the dial now show the menu's background.
TEST_F(Shapes, UltrawideAndTallPortraitShowTheBackgroundAroundTheTitle) {
    for (const Shape& shape : {kShapes[4], kShapes[8]}) {
        SCOPED_TRACE(shape.name);
        Open(shape);
        Render();
        const Rgb background = PixelAt(shape.w / 2, shape.h - 2);
        auto isBackground = [&](Rgb p) {
            return std::abs(p.r - background.r) < 8 && std::abs(p.g - background.g) < 8 &&
                   std::abs(p.b - background.b) < 8;
        };
        Pictures pictures;
        Box title = Group(pictures, [](int i) { return Is(i, ImgTitle); });
        Box row = Group(pictures, [&](int i) { return IsDialRow(i, app->m_MenuRow); });
        ASSERT_LT(title.y1, row.y0) << "the title ends above the selected row";
        const float scale = app->m_ScaleX;
        for (int y = 0; y < int(row.y0 * scale); y += 4)
            EXPECT_TRUE(isBackground(PixelAt(0, y)))
                << "left edge at device y " << y << ": " << PixelAt(0, y);
        int gapY = int((title.y1 + row.y0) / 2 * scale);
        int rowX = int((row.x0 + row.x1) / 2 * scale);
        EXPECT_TRUE(isBackground(PixelAt(rowX, gapY)))
            << "between the title and the dial: " << PixelAt(rowX, gapY);
    }
}

// The pointer follows the held virtual screen: a click on the start button, where it is drawn on the
// device, starts a round.
TEST_F(Shapes, UltrawideAndTallPortraitTakeClicksWhereThingsAreDrawn) {
    for (const Shape& shape : {kShapes[4], kShapes[5], kShapes[8]}) {
        SCOPED_TRACE(shape.name);
        Open(shape);
        float x = -1, y = -1;
        for (int i : UprightImages())
            if (Is(i, ImgIcons) && CommandAt(i)[CmdFrame] == IconStart)
                x = CommandAt(i)[CmdX], y = CommandAt(i)[CmdY];
        ASSERT_GE(x, 0);
        const float deviceX = x * app->m_ScaleX, deviceY = y * app->m_ScaleY;
        Host()->MouseEvent(MouseMove, 0, deviceX, deviceY);
        Host()->MouseEvent(MouseDown, 0, deviceX, deviceY);
        Update();
        Host()->MouseEvent(MouseUp, 0, deviceX, deviceY);
        EXPECT_EQ(app->m_Screen, ScreenStartRound);
    }
}

} // namespace

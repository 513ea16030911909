// The drawing kit: the drawing state, the per-update draw list and its replay, the bitmap-font text
// renderer with its button glyphs, and the image slots loaded at the current resolution tier.
//
// Recording is a bounds check and fifteen float stores into the preallocated m_Draw; nothing is
// allocated and the framework is not called until p_OnRender replays the list.
#include "framework/app/app.h"
#include "framework/graphics/graphics.h"
#include "game/my_app.h"

#include <algorithm>
#include <cmath>

namespace {

double SinDeg(double degrees) { return std::sin(Radians(degrees)); }
double CosDeg(double degrees) { return std::cos(Radians(degrees)); }

// Starts a glyph escape: it and the character after it draw one controller-button glyph.
constexpr int GlyphEscape = 172;

// The next command's fifteen floats, or null when the list is full and the command is dropped.
float* NextCommand(c_MyApp& app) {
    if (app.m_DrawN > DrawLimit) return nullptr;
    float* command = &app.m_Draw[app.m_DrawN];
    app.m_DrawN += DrawStride;
    return command;
}

// Every drawing command carries the colour, alpha and blend it was recorded with.
void PutStyle(const c_MyApp& app, float* command) {
    command[CmdAlpha] = app.m_Alpha;
    command[CmdRed] = app.m_ColR;
    command[CmdGreen] = app.m_ColG;
    command[CmdBlue] = app.m_ColB;
    command[CmdBlend] = float(app.m_Blend);
}

// Records a command whose entries 1 to 6 are given; the shapes and images share this layout.
void RecordShape(c_MyApp& app, float code, float a, float b, float c, float d, float e, float f) {
    float* command = NextCommand(app);
    if (!command) return;
    command[CmdCode] = code;
    command[CmdX] = a;
    command[CmdY] = b;
    command[CmdRot] = c;
    command[CmdScaleX] = d;
    command[CmdScaleY] = e;
    command[CmdFrame] = f;
    PutStyle(app, command);
}

void RecordScreenTurn(c_MyApp& app, float code, float angle) {
    float* command = NextCommand(app);
    if (!command) return;
    command[CmdCode] = code;
    command[CmdAngle] = angle;
}

// The font is monospaced, but narrow and wide letters look better nudged together or apart.
int LetterSpacing(int c) {
    switch (c) {
    case 'w':
    case 'm':
        return 2;
    case 'W':
    case 'M':
        return 1;
    case 'i':
    case 'f':
    case 'l':
        return -3;
    case 'j':
    case 's':
    case 'k':
    case 'r':
    case 'z':
    case 't':
    case 'n':
        return -1;
    default:
        return 0;
    }
}

struct ButtonGlyph {
    int letter;
    int frame;
    int spacing;
    int pressedFrame; // 0: the glyph does not blink
};

constexpr ButtonGlyph ButtonGlyphs[] = {
    {'J', 96, 4, 109},  {'K', 97, 4, 109},  {'L', 98, 4, 109},  {'I', 99, 4, 109}, {'U', 100, 6, 110},
    {'O', 101, 6, 110}, {'Q', 102, 4, 0},   {'E', 103, 4, 0},   {'F', 104, 4, 0},  {'W', 105, 4, 104},
    {'S', 106, 4, 104}, {'A', 107, 4, 104}, {'D', 108, 4, 104},
};

struct Glyph {
    int frame;
    int spacing;
};

// The glyph that the escape letter stands for. Keyboard players see key caps (16 frames on from the
// pad buttons); pad players see buttons that flash their pressed look as a prompt, in its phase.
Glyph ButtonGlyphFor(int letter, int controlStyle, bool pressedPhase) {
    Glyph glyph{letter, 4};
    for (const ButtonGlyph& button : ButtonGlyphs) {
        if (button.letter != letter) continue;
        glyph = {button.frame, button.spacing};
        if (pressedPhase && button.pressedFrame) glyph.frame = button.pressedFrame;
        break;
    }
    if (controlStyle == StyleKeyboard) glyph.frame += 16;
    // A frame that is an ordinary letter keeps that letter's spacing.
    if (int spacing = LetterSpacing(glyph.frame + 32)) glyph.spacing = spacing;
    return glyph;
}

// The text as drawn: a space in front, so that the pen's first step leaves a small margin.
struct PrefixedText {
    const String& text;
    int Length() const { return text.Length() + 1; }
    int operator[](int i) const { return i == 0 ? ' ' : text[i - 1]; }
};

// Width of the text for alignment: every character but the last, line breaks included.
int TextWidth(PrefixedText s, int advance, float sizeX) {
    int width = 0;
    for (int i = 0; i < s.Length() - 1;) {
        const bool escape = s[i] == GlyphEscape;
        const int spacing = escape ? 2 : LetterSpacing(s[i]);
        i += escape ? 2 : 1;
        width = TruncInt(width + (spacing + advance) * sizeX);
    }
    return width;
}

float Clamp(float v, float lo, float hi) { return std::min(std::max(v, lo), hi); }

} // namespace

String TierFile(const String& name, int tier) {
    if (tier == 2) return name + u"-hd.png";
    if (tier == 4) return name + u"-hd2.png";
    return name + u".png";
}

int c_MyApp::p_ResetDraw() {
    m_SizeX = 1;
    m_SizeY = 1;
    m_Rot = 0;
    m_ColR = 255;
    m_ColG = 255;
    m_ColB = 255;
    m_Alpha = 1;
    m_Blend = BlendNormal;
    return 0;
}

int c_MyApp::p_SetSize(float x, float y) {
    m_SizeX = x;
    m_SizeY = y <= Omitted ? x : y;
    return 0;
}

int c_MyApp::p_SetRot(float a) {
    m_Rot = -a;
    return 0;
}

int c_MyApp::p_SetCol(float r, float g, float b, float a) {
    m_ColR = r;
    m_ColG = g;
    m_ColB = b;
    if (a > Omitted) m_Alpha = a;
    return 0;
}

int c_MyApp::p_Alpha(float a) {
    m_Alpha = a;
    return 0;
}

int c_MyApp::p_Ink(int index, float brightness) {
    struct Factors {
        float r, g, b;
    };
    static constexpr Factors Inks[] = {
        {0.3f, 0.3f, 0.3f}, {1.0f, 0.1f, 0.1f}, {1.0f, 0.5f, 0.1f}, {1.0f, 1.0f, 0.1f}, {0.1f, 1.0f, 0.1f},
        {0.1f, 1.0f, 1.0f}, {0.1f, 0.1f, 1.0f}, {0.5f, 0.1f, 1.0f}, {1.0f, 0.1f, 0.5f}, {1.0f, 1.0f, 1.0f},
    };
    const Factors& ink = Inks[index >= 1 && index <= 9 ? index : 0];
    float level = brightness * 255;
    m_ColR = Clamp(ink.r * level, 0, 255);
    m_ColG = Clamp(ink.g * level, 0, 255);
    m_ColB = Clamp(ink.b * level, 0, 255);
    return 0;
}

int c_MyApp::p_CLS2D(float r, float g, float b, float a) {
    m_ViewX = 0;
    m_ViewY = 0;
    m_ViewW = jscrw;
    m_ViewH = jscrh;
    if (r > Omitted) {
        m_BgR = r;
        m_BgG = g;
        m_BgB = b;
        m_BgA = a;
    }
    p_ResetDraw();
    m_DrawN = 0;
    return 0;
}

int c_MyApp::p_DoBG(int r, int g, int b, float a) {
    if (r > KeepBackground) m_BgParam0 = float(r);
    if (g > KeepBackground) m_BgParam1 = float(g);
    if (b > KeepBackground) m_BgParam2 = float(b);
    m_BgParam3 -= (m_BgParam3 - m_BgParam0) * 0.125f;
    m_BgParam4 -= (m_BgParam4 - m_BgParam1) * 0.125f;
    m_BgParam5 -= (m_BgParam5 - m_BgParam2) * 0.125f;
    float alpha = a == KeepBackground ? 1.0f : Clamp(a, 0, 1);
    return p_CLS2D(m_BgParam3, m_BgParam4, m_BgParam5, alpha);
}

int c_MyApp::p_DrawImg(int slot, float x, float y, float frame) {
    RecordShape(*this, float(slot), x, y, m_Rot, m_SizeX, m_SizeY, frame);
    return 0;
}

int c_MyApp::p_Rect(float x, float y, float w, float h) {
    RecordShape(*this, DrawRect, x, y, m_Rot, w, h, 0);
    return 0;
}

int c_MyApp::p_Oval(float x, float y, float rx, float ry) {
    RecordShape(*this, DrawOval, x, y, m_Rot, rx, ry, 0);
    return 0;
}

int c_MyApp::p_Line(float x1, float y1, float x2, float y2) {
    RecordShape(*this, DrawLine, x1, y1, m_Rot, x2, y2, 0);
    return 0;
}

// The vertices keep their order only when the middle one is rightmost, otherwise they are reversed.
int c_MyApp::p_Tri(float x1, float y1, float x2, float y2, float x3, float y3) {
    if (x2 >= x1 && x2 >= x3) {
        RecordShape(*this, DrawTri, x1, y1, x2, y2, x3, y3);
    } else {
        RecordShape(*this, DrawTri, x3, y3, x2, y2, x1, y1);
    }
    return 0;
}

int c_MyApp::p_Tilt(float a) {
    RecordScreenTurn(*this, DrawTilt, a);
    return 0;
}

int c_MyApp::p_TiltOff() {
    RecordScreenTurn(*this, DrawTiltOff, 0);
    return 0;
}

int c_MyApp::p_Text(float x, float y, String text, float ax, float ay, int slotOffset) {
    const PrefixedText s{text};
    const int fontSlot = m_Font + slotOffset;
    // The font's slot holds its advance and line height in place of a cell size.
    const int advance = m_ImgInfo[ImgInfoStride * m_Font + ImgInfoW];
    const float lineHeight = float(m_ImgInfo[ImgInfoStride * m_Font + ImgInfoH]) * m_SizeY;
    const int width = TextWidth(s, advance, m_SizeX);

    // The start of the first line, from the alignment, along the text's own axes.
    const double r = -m_Rot;
    const double v = (ay - 1) / 2;
    const double x0 = x + SinDeg(r - 90) * width * ax / 2 + SinDeg(r) * lineHeight * v;
    const double y0 = y - CosDeg(r - 90) * width * ax / 2 - CosDeg(r) * lineHeight * v;

    const double alongX = SinDeg(90 - m_Rot), alongY = CosDeg(90 - m_Rot);
    // The live clock: what is drawn must not take the round's recorded readings.
    const bool pressedPhase = m_ControlStyle == StylePad && vx_app_Millisecs() % 500 < 200;
    int penX = TruncInt(x0);
    float penY = float(y0);
    int line = 0;
    for (int i = 0; i < s.Length();) {
        int c = s[i];
        int spacing = LetterSpacing(c);
        if (c == GlyphEscape && i + 1 < s.Length()) {
            Glyph glyph = ButtonGlyphFor(s[i + 1], m_ControlStyle, pressedPhase);
            spacing = glyph.spacing;
            p_DrawImg(fontSlot, float(penX), penY, float(glyph.frame));
            i += 2;
        } else if (c == '\\' && i + 1 < s.Length() && s[i + 1] == 'n') {
            ++line;
            double down = lineHeight * line;
            penX = TruncInt(x0 + down * SinDeg(180 - m_Rot) + advance * m_SizeX * alongX);
            penY = float(y0 - down * CosDeg(180 - m_Rot));
            i += 2;
            continue;
        } else if (c == 0) {
            i += 1;
            continue;
        } else {
            int frame = c - 32;
            if (frame >= 1 && frame <= 127) p_DrawImg(fontSlot, float(penX), penY, float(frame));
            i += 1;
        }
        double step = (spacing + advance) * m_SizeX;
        penX = TruncInt(penX + alongX * step);
        penY = float(penY - alongY * step);
    }
    return 0;
}

String c_MyApp::p_rstr(int value, int width, String pad) {
    String padded;
    for (int i = 0; i < width; ++i) padded += pad;
    padded += String(value);
    return padded.Slice(padded.Length() - width);
}

int c_MyApp::p_LoadImg(int slot, String name, int w, int h, int frames, int imageFlags) {
    int cellW = w * m_ImgRes, cellH = h * m_ImgRes;
    gc_assign(m_Img[slot],
              vx_graphics_LoadImage2(TierFile(name, m_ImgRes), cellW, cellH, frames, imageFlags));
    m_ImgInfo[ImgInfoStride * slot + ImgInfoW] = cellW;
    m_ImgInfo[ImgInfoStride * slot + ImgInfoH] = cellH;
    m_ImgInfo[ImgInfoStride * slot + ImgInfoFrames] = frames;
    return 0;
}

int c_MyApp::p_LoadFont(int slot, String name, int advance, int lineHeight) {
    constexpr int FontCell = 16, FontFrames = 128;
    int cell = FontCell * m_ImgRes;
    gc_assign(m_Img[slot], vx_graphics_LoadImage2(TierFile(name, m_ImgRes), cell, cell, FontFrames,
                                                  c_Image::HandleCentre));
    m_ImgInfo[ImgInfoStride * slot + ImgInfoW] = advance;
    m_ImgInfo[ImgInfoStride * slot + ImgInfoH] = lineHeight;
    m_ImgInfo[ImgInfoStride * slot + ImgInfoFrames] = FontFrames;
    m_Font = slot;
    return 0;
}

int c_MyApp::p_ReserveImg(int slot, int w, int h) {
    gc_assign(m_Img[slot], vx_graphics_CreateImage(w, h, 1, c_Image::HandleCentre));
    return 0;
}

float c_MyApp::p_OverscanY() { return m_FittedW > 0 ? overscan * float(m_FittedH) / float(m_FittedW) : 0; }

// Virtual units to device pixels: scaled, then moved in by the overscan border.
int c_MyApp::p_ReplayDrawList() {
    const float sx = m_ScaleX, sy = m_ScaleY;
    const float ox = overscan, oy = p_OverscanY();
    auto mapX = [&](float x) { return x * sx + ox; };
    auto mapY = [&](float y) { return y * sy + oy; };
    for (int n = 0; n + DrawStride <= m_DrawN; n += DrawStride) {
        const float* c = &m_Draw[n];
        const int code = TruncInt(c[CmdCode]);
        if (code == DrawTilt) {
            vx_graphics_PopMatrix();
            vx_graphics_PushMatrix();
            vx_graphics_Translate(float(vx_app_DeviceWidth() / 2), float(vx_app_DeviceHeight() / 2));
            vx_graphics_Rotate(c[CmdAngle]);
            continue;
        }
        if (code == DrawTiltOff) {
            vx_graphics_PopMatrix();
            vx_graphics_PushMatrix();
            continue;
        }
        vx_graphics_SetAlpha(c[CmdAlpha]);
        vx_graphics_SetColor(c[CmdRed], c[CmdGreen], c[CmdBlue]);
        vx_graphics_SetBlend(c[CmdBlend] == BlendAdditive ? 1 : 0);
        switch (code) {
        case DrawRect:
            vx_graphics_DrawRect(mapX(c[CmdX]), mapY(c[CmdY]), c[CmdScaleX] * sx, c[CmdScaleY] * sy);
            break;
        case DrawOval:
            vx_graphics_DrawEllipse(mapX(c[CmdX]), mapY(c[CmdY]), c[CmdScaleX] * sx, c[CmdScaleY] * sy);
            break;
        case DrawLine:
            vx_graphics_DrawLine(mapX(c[CmdX]), mapY(c[CmdY]), mapX(c[CmdScaleX]), mapY(c[CmdScaleY]));
            break;
        case DrawTri: {
            // A triangle's three points fill entries 1 to 6.
            for (int k = 0; k < 6; k += 2) {
                m_TriPoints[k] = mapX(c[CmdX + k]);
                m_TriPoints[k + 1] = mapY(c[CmdY + k]);
            }
            vx_graphics_DrawPoly(m_TriPoints);
            break;
        }
        default:
            if (code < 0 || code >= m_Img.Length() || !m_Img[code]) break;
            vx_graphics_DrawImage2(m_Img[code], mapX(c[CmdX]), mapY(c[CmdY]), c[CmdRot],
                                   c[CmdScaleX] * sx * m_ImgScale, c[CmdScaleY] * sy * m_ImgScale,
                                   TruncInt(c[CmdFrame]));
        }
    }
    return 0;
}

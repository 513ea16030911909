// The contact sheet: every image of the data folder, frame by frame with its number, in one PNG
// for reviewing the art at a glance. It reads the generated files, so it shows what the game
// loads.
#include "contact_sheet.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include <stb_image.h>

#include "glyphs.h"
#include "sheets.h"

namespace assetgen {

namespace {

struct SheetEntry {
    const char* name;
    int cellW, cellH, frames;
    bool tiered; // has "-hd" and "-hd2" files
};

const SheetEntry kEntries[] = {
    {"gfx", 36, 36, 49, true},
    {"parts", 8, 8, 256, true},
    {"BadgesA", 64, 64, 64, true},
    {"common/circle", 256, 256, 4, true},
    {"common/light", 32, 32, 4, true},
    {"common/icons", 32, 32, 16, true},
    {"common/Buttons", 64, 64, 16, true},
    {"common/dpad", 32, 32, 16, true},
    {"common/ZOKULogo", 256, 256, 1, true},
    {"logo", 256, 128, 1, true},
    {"menu", 256, 256, 4, true},
    {"fonts/shadow_editundo", 16, 16, 128, true},
    {"kiwi_font", 10, 12, 96, false},
};

constexpr int kMargin = 12, kGap = 6, kLabelH = 10, kMaxWidth = 2048, kMaxFrame = 512, kMinFrame = 72;

Canvas loadPng(const std::string& path) {
    int w = 0, h = 0, n = 0;
    unsigned char* px = stbi_load(path.c_str(), &w, &h, &n, 4);
    if (!px) throw std::runtime_error("cannot read " + path);
    Canvas c(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned char* p = px + (static_cast<size_t>(y) * w + x) * 4;
            c.set(x, y, rgb(p[0], p[1], p[2], p[3] / 255.0f));
        }
    stbi_image_free(px);
    return c;
}

// One frame cut out, enlarged when small or shrunk (box filter) when huge.
Canvas frameView(const Canvas& src, int fx, int fy, int fw, int fh) {
    Canvas f(fw, fh);
    for (int y = 0; y < fh; ++y)
        for (int x = 0; x < fw; ++x) f.set(x, y, src.at(fx + x, fy + y));
    if (fw < kMinFrame) return f.enlarged(std::max(1, kMinFrame / fw));
    int d = (std::max(fw, fh) + kMaxFrame - 1) / kMaxFrame;
    if (d <= 1) return f;
    Canvas small(fw / d, fh / d);
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x) {
            float r = 0, g = 0, b = 0, a = 0;
            for (int v = 0; v < d; ++v)
                for (int u = 0; u < d; ++u) {
                    Rgba p = f.at(x * d + u, y * d + v);
                    r += p.r * p.a, g += p.g * p.a, b += p.b * p.a, a += p.a;
                }
            small.set(x, y, a > 0 ? Rgba{r / a, g / a, b / a, a / (d * d)} : Rgba{});
        }
    return small;
}

void checker(Canvas& c, int x0, int y0, int w, int h) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            c.set(x0 + x, y0 + y, ((x / 8 + y / 8) % 2) ? rgb(30, 38, 64) : rgb(22, 28, 50));
}

struct Section {
    std::string title;
    std::vector<Canvas> frames;
    int cols = 1, frameW = 0, frameH = 0;
    int width() const { return cols * (frameW + kGap) - kGap; }
    int height() const {
        int rows = (static_cast<int>(frames.size()) + cols - 1) / cols;
        return 2 * kLabelH + 4 + rows * (frameH + kLabelH + kGap);
    }
};

Section sectionOf(const SheetEntry& e, const std::string& dataDir, int tier) {
    int t = e.tiered ? tier : 1;
    std::string file = std::string(e.name) + (e.tiered ? tierSuffix(tier) : "") + ".png";
    Canvas img = loadPng(dataDir + "/" + file);
    int cw = e.cellW * t, ch = e.cellH * t;
    if (!e.tiered) {
        cw = img.width() / e.frames;
        ch = img.height();
    }
    int fileCols = std::max(1, img.width() / cw);
    Section s;
    s.title = file + "  " + std::to_string(cw) + "x" + std::to_string(ch) + "  " + std::to_string(e.frames) +
              (e.frames == 1 ? " frame" : " frames");
    for (int f = 0; f < e.frames; ++f)
        s.frames.push_back(frameView(img, f % fileCols * cw, f / fileCols * ch, cw, ch));
    s.frameW = s.frames[0].width();
    s.frameH = s.frames[0].height();
    s.cols = std::max(1, std::min(fileCols, (kMaxWidth + kGap) / (s.frameW + kGap)));
    if (!e.tiered) s.cols = 16;
    return s;
}

void paintSection(Canvas& sheet, const Section& s, int x0, int y0, const GlyphTable& glyphs) {
    Canvas title(sheet.width() / 2, kLabelH);
    drawLabel(title, glyphs, 0, 0, s.title, rgb(255, 220, 140));
    sheet.draw(title.enlarged(2), x0, y0);
    int top = y0 + 2 * kLabelH + 4;
    for (size_t i = 0; i < s.frames.size(); ++i) {
        int x = x0 + static_cast<int>(i % s.cols) * (s.frameW + kGap);
        int y = top + static_cast<int>(i / s.cols) * (s.frameH + kLabelH + kGap);
        drawLabel(sheet, glyphs, x, y, std::to_string(i), rgb(170, 220, 255));
        checker(sheet, x, y + kLabelH, s.frameW, s.frameH);
        sheet.draw(s.frames[i], x, y + kLabelH);
    }
}

} // namespace

void writeContactSheet(const std::string& dataDir, const std::string& glyphTable, const std::string& out,
                       int tier) {
    GlyphTable glyphs = readGlyphTable(glyphTable);
    std::vector<Section> sections;
    for (const SheetEntry& e : kEntries) sections.push_back(sectionOf(e, dataDir, tier));
    int w = 0, h = kMargin;
    for (const Section& s : sections) {
        w = std::max(w, s.width());
        h += s.height() + kMargin;
    }
    Canvas sheet(w + 2 * kMargin, h);
    for (int y = 0; y < sheet.height(); ++y)
        for (int x = 0; x < sheet.width(); ++x) sheet.set(x, y, rgb(8, 10, 20));
    int y = kMargin;
    for (const Section& s : sections) {
        paintSection(sheet, s, kMargin, y, glyphs);
        y += s.height() + kMargin;
    }
    sheet.savePng(out);
}

} // namespace assetgen

// The generated data folder, loaded file by file the way the game loads it: every image sheet
// at its three tiers with the frame grid the game cuts, the two fonts, the sound effects and the
// music loop.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "host/game.h"

extern char** environ;

namespace {

// ---- Loaders: the host's own, as the game uses them.

VxGlfwGame& host() {
    static VxGlfwGame game;
    return game;
}

struct Pixels {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba;
    std::uint8_t alpha(int x, int y) const { return rgba[(static_cast<size_t>(y) * width + x) * 4 + 3]; }
};

// Every sheet is RGBA; anything else is a finding.
std::optional<Pixels> loadImage(const std::string& path) {
    int w = 0, h = 0, depth = 0;
    unsigned char* px = host().LoadImageData(String(path.c_str()), &w, &h, &depth);
    if (!px) return std::nullopt;
    EXPECT_EQ(depth, 4) << path;
    Pixels p{w, h, std::vector<std::uint8_t>(px, px + static_cast<size_t>(w) * h * depth)};
    std::free(px);
    if (depth != 4) return std::nullopt;
    return p;
}

struct Pcm {
    int channels = 0, rate = 0, format = 0; // format: bytes per sample
    std::vector<std::int16_t> samples;      // interleaved
};

// WAV through the host's reader, Ogg Vorbis decoded whole, as the game does when a round starts.
std::optional<Pcm> loadSound(const std::string& path) {
    int frames = 0;
    Pcm pcm;
    unsigned char* data =
        host().LoadAudioData(String(path.c_str()), &frames, &pcm.channels, &pcm.format, &pcm.rate);
    if (!data) return std::nullopt;
    if (pcm.format == 2) {
        const auto* samples = reinterpret_cast<const std::int16_t*>(data);
        pcm.samples.assign(samples, samples + static_cast<size_t>(frames) * pcm.channels);
    }
    std::free(data);
    return pcm;
}

// ---- The data folder beside this program.

std::string binDir() { return std::filesystem::read_symlink("/proc/self/exe").parent_path().string(); }
std::string dataDir() { return binDir() + "/data"; }

const int kTiers[] = {1, 2, 4};
std::string tierFile(const std::string& name, int tier) {
    return dataDir() + "/" + name + (tier == 1 ? "" : tier == 2 ? "-hd" : "-hd2") + ".png";
}

int inkIn(const Pixels& p, int x0, int y0, int w, int h) {
    int n = 0;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) n += p.alpha(x, y) > 0;
    return n;
}

// ---- Image sheets.

struct SheetCase {
    const char* name;
    int cellW, cellH, frames;
    std::vector<int> drawn; // frames the game draws: each must show something
};
// Named in the test list by its file and frame size rather than by its bytes.
void PrintTo(const SheetCase& sheet, std::ostream* out) {
    *out << sheet.name << " " << sheet.cellW << "x" << sheet.cellH << " x " << sheet.frames;
}

std::vector<int> allFrames(int n) {
    std::vector<int> v(n);
    for (int i = 0; i < n; ++i) v[i] = i;
    return v;
}

const SheetCase kSheets[] = {
    {"gfx", 36, 36, 49, {0, 1, 2, 7, 8, 9, 10, 14, 15, 16, 17}},
    {"parts", 8, 8, 256, allFrames(256)},
    {"BadgesA", 64, 64, 64, allFrames(64)},
    {"common/circle", 256, 256, 4, allFrames(4)},
    {"common/light", 32, 32, 4, allFrames(4)},
    {"common/icons", 32, 32, 16, {0, 1, 3, 7}},
    {"common/Buttons", 64, 64, 16, {0, 1, 2, 3, 4, 5, 8, 9, 10}},
    {"common/dpad", 32, 32, 16, {0, 1, 4, 5, 6, 9}},
    {"common/ZOKULogo", 256, 256, 1, {0}},
    {"logo", 256, 128, 1, {0}},
    {"menu", 256, 256, 4, allFrames(4)},
    {"fonts/shadow_editundo", 16, 16, 128, {}},
};

class SheetTest : public testing::TestWithParam<SheetCase> {};

// The game cuts frames of cell x tier pixels left to right, top to bottom; every frame must fit
// and the finer tiers must be the same sheet at two and four times the pixels.
TEST_P(SheetTest, EveryTierHoldsTheFrameGridAndTheDrawnFramesShowSomething) {
    const SheetCase& s = GetParam();
    std::optional<Pixels> base = loadImage(tierFile(s.name, 1));
    ASSERT_TRUE(base) << s.name;
    for (int tier : kTiers) {
        std::optional<Pixels> p = loadImage(tierFile(s.name, tier));
        ASSERT_TRUE(p) << s.name << " tier " << tier;
        EXPECT_EQ(p->width, base->width * tier) << s.name << " tier " << tier;
        EXPECT_EQ(p->height, base->height * tier) << s.name << " tier " << tier;
        int cw = s.cellW * tier, ch = s.cellH * tier;
        ASSERT_EQ(p->width % cw, 0) << s.name;
        ASSERT_EQ(p->height % ch, 0) << s.name;
        int cols = p->width / cw;
        ASSERT_GE(cols * (p->height / ch), s.frames) << s.name << ": the last frames fall outside";
        for (int f : s.drawn)
            EXPECT_GT(inkIn(*p, f % cols * cw, f / cols * ch, cw, ch), 2 * tier * tier)
                << s.name << " frame " << f << " tier " << tier;
    }
}

INSTANTIATE_TEST_SUITE_P(DataFolder, SheetTest, testing::ValuesIn(kSheets),
                         [](const testing::TestParamInfo<SheetCase>& i) {
                             std::string n = i.param.name;
                             std::replace(n.begin(), n.end(), '/', '_');
                             return n;
                         });

// ---- The game font.

// Extra spacing of the text routine by character; the advance is 7 plus this.
int spacing(int c) {
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

struct InkBox {
    int left = 99, right = -1, top = 99, bottom = -1;
};

InkBox inkBox(const Pixels& p, int frame) {
    InkBox b;
    int x0 = frame % 16 * 16, y0 = frame / 16 * 16;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            if (p.alpha(x0 + x, y0 + y) > 0) {
                b.left = std::min(b.left, x), b.right = std::max(b.right, x);
                b.top = std::min(b.top, y), b.bottom = std::max(b.bottom, y);
            }
    return b;
}

std::vector<std::uint8_t> frameAlpha(const Pixels& p, int frame) {
    std::vector<std::uint8_t> a;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) a.push_back(p.alpha(frame % 16 * 16 + x, frame / 16 * 16 + y));
    return a;
}

class FontTest : public testing::Test {
  protected:
    void SetUp() override {
        std::optional<Pixels> p = loadImage(tierFile("fonts/shadow_editundo", 1));
        ASSERT_TRUE(p);
        font = *p;
        ASSERT_EQ(font.width, 256);
        ASSERT_EQ(font.height, 128);
    }
    Pixels font;
};

TEST_F(FontTest, PrintableCharactersHaveGlyphsAndTheSpaceIsClear) {
    EXPECT_EQ(inkBox(font, 0).right, -1);
    for (int c = 33; c <= 126; ++c) EXPECT_GE(inkBox(font, c - 32).right, 0) << "character " << c;
}

// Each glyph, shadow included, ends before the next glyph's ink can start, so text never
// touches at the routine's advances; and all text sits within one line height.
TEST_F(FontTest, GlyphsFitTheirAdvanceAndTheLineHeight) {
    int leftmost = 16, top = 16, bottom = -1;
    for (int c = 33; c <= 126; ++c) {
        InkBox b = inkBox(font, c - 32);
        leftmost = std::min(leftmost, b.left);
        top = std::min(top, b.top);
        bottom = std::max(bottom, b.bottom);
    }
    for (int c = 33; c <= 126; ++c)
        EXPECT_LT(inkBox(font, c - 32).right, 7 + spacing(c) + leftmost)
            << "character " << static_cast<char>(c);
    EXPECT_LE(bottom - top + 1, 10);
}

// Pad buttons 96..110 and key caps 112..126, in the order of the glyph escapes; the escapes
// advance 11 pixels (13 for the shoulder buttons U and O at 100, 101).
TEST_F(FontTest, ButtonGlyphsExistAndFitTheirAdvance) {
    int leftmost = 16;
    for (int c = 33; c <= 126; ++c) leftmost = std::min(leftmost, inkBox(font, c - 32).left);
    for (int base : {96, 112})
        for (int i = 0; i < 15; ++i) {
            InkBox b = inkBox(font, base + i);
            ASSERT_GE(b.right, 0) << "frame " << base + i;
            int advance = (i == 4 || i == 5 || i == 14) ? 13 : 11;
            EXPECT_LT(b.right, advance + leftmost) << "frame " << base + i;
        }
    // The pressed looks differ from the buttons they blink with.
    EXPECT_NE(frameAlpha(font, 109), frameAlpha(font, 96));
    EXPECT_NE(frameAlpha(font, 110), frameAlpha(font, 100));
}

// The framework's default font: one strip of 96 frames with a clear padding column on each side.
TEST(DefaultFontTest, StripOf96PaddedFrames) {
    std::optional<Pixels> p = loadImage(dataDir() + "/kiwi_font.png");
    ASSERT_TRUE(p);
    ASSERT_EQ(p->width % 96, 0);
    int fw = p->width / 96;
    ASSERT_GE(fw, 3);
    for (int f = 0; f < 96; ++f) {
        EXPECT_EQ(inkIn(*p, f * fw, 0, 1, p->height), 0) << "left padding of frame " << f;
        EXPECT_EQ(inkIn(*p, f * fw + fw - 1, 0, 1, p->height), 0) << "right padding of frame " << f;
        if (f >= 1 && f <= 94) {
            EXPECT_GT(inkIn(*p, f * fw + 1, 0, fw - 2, p->height), 0) << "character " << f + 32;
        }
    }
}

// ---- Sounds.

double peakOf(const std::vector<std::int16_t>& s) {
    int peak = 0;
    for (std::int16_t v : s) peak = std::max(peak, std::abs(static_cast<int>(v)));
    return peak;
}

bool clips(const std::vector<std::int16_t>& s) {
    return std::any_of(s.begin(), s.end(), [](std::int16_t v) { return v >= 32767 || v <= -32767; });
}

const int kSfxSlots[] = {1, 2, 3, 4, 5, 6, 7, 8, 95, 96, 98, 99};

std::string sfxFile(int slot) {
    char name[32];
    std::snprintf(name, sizeof name, "/sfx/%03d.wav", slot);
    return dataDir() + name;
}

class SoundEffectTest : public testing::TestWithParam<int> {};

TEST_P(SoundEffectTest, ShortCleanSixteenBitPcm) {
    std::optional<Pcm> w = loadSound(sfxFile(GetParam()));
    ASSERT_TRUE(w);
    EXPECT_EQ(w->format, 2) << "16-bit PCM";
    ASSERT_GE(w->channels, 1);
    double seconds = static_cast<double>(w->samples.size()) / w->channels / w->rate;
    EXPECT_GT(seconds, 0.03);
    EXPECT_LT(seconds, 3.0);
    EXPECT_GT(peakOf(w->samples), 0.25 * 32767) << "too quiet";
    EXPECT_FALSE(clips(w->samples));
    // Starts and ends at silence: no click.
    for (int i = 0; i < 8; ++i) {
        EXPECT_LT(std::abs(w->samples[i]), 330) << "start sample " << i;
        EXPECT_LT(std::abs(w->samples[w->samples.size() - 1 - i]), 330) << "end sample " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(DataFolder, SoundEffectTest, testing::ValuesIn(kSfxSlots));

TEST(SoundEffectsTest, NoTwoEffectsAreTheSame) {
    std::vector<std::vector<std::int16_t>> all;
    for (int slot : kSfxSlots) {
        std::optional<Pcm> w = loadSound(sfxFile(slot));
        ASSERT_TRUE(w) << slot;
        for (const auto& other : all) EXPECT_NE(other, w->samples) << "slot " << slot;
        all.push_back(w->samples);
    }
}

// The round's music decodes whole, plays at a sane level and loops without a jump: the step
// from its last sample back to its first is no bigger than the steps inside the music.
TEST(MusicTest, DecodesWholeAndLoopsSeamlessly) {
    std::optional<Pcm> m = loadSound(dataDir() + "/sfx/spindrift.ogg");
    ASSERT_TRUE(m);
    ASSERT_EQ(m->channels, 1);
    ASSERT_EQ(m->format, 2);
    const std::vector<std::int16_t>& s = m->samples;
    double seconds = static_cast<double>(s.size()) / m->rate;
    EXPECT_GT(seconds, 8.0);
    EXPECT_LT(seconds, 30.0);
    double energy = 0;
    for (std::int16_t v : s) energy += static_cast<double>(v) * v;
    EXPECT_GT(std::sqrt(energy / static_cast<double>(s.size())), 0.05 * 32767) << "too quiet";
    EXPECT_FALSE(clips(s));
    std::vector<int> steps;
    for (size_t i = 1; i < s.size(); ++i) steps.push_back(std::abs(s[i] - s[i - 1]));
    std::nth_element(steps.begin(), steps.begin() + static_cast<long>(steps.size() * 99 / 100), steps.end());
    int p99 = steps[steps.size() * 99 / 100];
    EXPECT_LE(std::abs(s.back() - s.front()), p99);
}

// ---- Generation is reproducible: a fresh run writes the very same bytes.

std::vector<char> bytesOf(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(GenerationTest, AFreshRunWritesTheSameFiles) {
    std::filesystem::path fresh = std::filesystem::path(testing::TempDir()) / "spindrift_data_again";
    std::filesystem::remove_all(fresh);
    std::string tool = binDir() + "/assetgen", src = SPINDRIFT_ASSET_SOURCE_DIR, out = fresh.string();
    char* argv[] = {tool.data(), const_cast<char*>("generate"), src.data(), out.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, tool.c_str(), nullptr, nullptr, argv, environ), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // Other tests may put files of their own into the data folder; only the generated ones count.
    int compared = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(fresh)) {
        if (!e.is_regular_file()) continue;
        std::filesystem::path rel = std::filesystem::relative(e.path(), fresh);
        EXPECT_EQ(bytesOf(e.path()), bytesOf(std::filesystem::path(dataDir()) / rel)) << rel;
        ++compared;
    }
    EXPECT_GT(compared, 0);
    std::filesystem::remove_all(fresh);
}

} // namespace

// Sound files: PCM WAV fixtures written byte by byte, and Ogg Vorbis streams encoded here with
// libvorbisenc, decoded whole through the host.
#include "host/files.h"
#include "host/game.h"
#include "runtime/gc.h"
#include "tests/support/largest_allocation.h"
#include "tests/support/ogg_tone.h"
#include "tests/support/temp_dir.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

namespace {

struct FreeDeleter {
    void operator()(unsigned char* p) const { std::free(p); }
};
using Buffer = std::unique_ptr<unsigned char, FreeDeleter>;

std::string le(uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += char(value >> (8 * i) & 0xFF);
    return out;
}

// A chunk padded to an even length, as RIFF requires; `declared` overrides the size field.
std::string chunk(const std::string& tag, const std::string& payload,
                  std::optional<uint32_t> declared = std::nullopt) {
    std::string out = tag + le(declared.value_or(uint32_t(payload.size())), 4) + payload;
    if (payload.size() % 2) out += '\0';
    return out;
}

std::string fmt(int channels, uint32_t rate, int bits, int tag = 1, const std::string& extra = "") {
    int block = channels * bits / 8;
    return chunk("fmt ", le(tag, 2) + le(channels, 2) + le(rate, 4) + le(rate * uint32_t(block), 4) +
                             le(block, 2) + le(bits, 2) + extra);
}

std::string riff(const std::string& body) {
    return "RIFF" + le(uint32_t(4 + body.size()), 4) + "WAVE" + body;
}

std::string payload(std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) out += char(i * 37 + 11);
    return out;
}

struct Sound {
    Buffer samples;
    int length = -1, channels = -1, format = -1, hertz = -1;
};

Sound load(const String& path) {
    Sound s;
    VxGlfwGame game;
    s.samples.reset(game.LoadAudioData(path, &s.length, &s.channels, &s.format, &s.hertz));
    return s;
}

} // namespace

using WavTest = TempDirTest;

TEST_F(WavTest, PcmFilesLoadWithTheirOwnLayout) {
    struct Case {
        const char* name;
        std::string header; // everything after "WAVE" up to the data chunk
        std::size_t dataBytes;
        int length, channels, format, hertz;
    } cases[] = {
        {"plain.wav", fmt(2, 44100, 16), 32, 8, 2, 2, 44100},
        {"listed.wav", fmt(1, 22050, 8) + chunk("LIST", "odd"), 9, 9, 1, 1, 22050},
        {"deep.wav", fmt(1, 8000, 24), 30, 10, 1, 3, 8000},
        {"long_fmt.wav", fmt(2, 11025, 16, 1, std::string(2, '\0')), 16, 4, 2, 2, 11025},
        {"LOUD.WAV", fmt(1, 44100, 16), 8, 4, 1, 2, 44100},
        {"ragged.wav", fmt(2, 44100, 16), 10, 2, 2, 2, 44100},
        {"fast.wav", fmt(1, 0xFFFFFFFF, 8), 4, 4, 1, 1, INT_MAX}, // a rate beyond int saturates
    };
    for (const Case& c : cases) {
        std::string data = payload(c.dataBytes);
        writeFile(c.name, riff(c.header + chunk("data", data)));
        int before = gc_ext_new_bytes;
        Sound s = load(String(c.name));
        ASSERT_NE(s.samples, nullptr) << c.name;
        EXPECT_EQ(std::string(reinterpret_cast<char*>(s.samples.get()), data.size()), data) << c.name;
        EXPECT_EQ(s.length, c.length) << c.name;
        EXPECT_EQ(s.channels, c.channels) << c.name;
        EXPECT_EQ(s.format, c.format) << c.name;
        EXPECT_EQ(s.hertz, c.hertz) << c.name;
        EXPECT_EQ(gc_ext_new_bytes - before, c.length * c.channels * c.format) << c.name;
    }
}

TEST_F(WavTest, MalformedFilesAreRefused) {
    std::string data = chunk("data", payload(16));
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"list_first.wav", riff(chunk("LIST", "ab") + fmt(1, 8000, 16) + data)},
        {"float.wav", riff(fmt(1, 8000, 32, 3) + data)},
        {"no_channels.wav", riff(fmt(0, 8000, 16) + data)},
        {"four_bits.wav", riff(fmt(1, 8000, 4) + data)},
        {"short_fmt.wav", riff(chunk("fmt ", le(1, 2) + le(1, 2) + le(8000, 4)) + data)},
        {"cut_data.wav", riff(fmt(1, 8000, 16) + chunk("data", payload(50), 100))},
        {"no_data.wav", riff(fmt(1, 8000, 16))},
        {"rifx.wav", "RIFX" + riff(fmt(1, 8000, 16) + data).substr(4)},
        {"empty.wav", ""},
    };
    for (const Case& c : cases) {
        writeFile(c.name, c.bytes);
        EXPECT_EQ(load(String(c.name)).samples, nullptr) << c.name;
    }
    EXPECT_EQ(load(u"missing.wav").samples, nullptr);
}

// A header may declare any size; the file's real length decides what is allocated.
TEST_F(WavTest, OversizeChunksAreRefusedWithoutAllocatingThem) {
    const uint32_t huge = 0x7FFFFFF0;
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"huge_data.wav", riff(fmt(2, 44100, 16) + chunk("data", payload(16), huge))},
        {"huge_list.wav",
         riff(fmt(2, 44100, 16) + chunk("LIST", payload(16), huge) + chunk("data", payload(16)))},
        {"huge_fmt.wav", riff(chunk("fmt ", fmt(2, 44100, 16).substr(8), huge) + chunk("data", payload(16)))},
    };
    for (const Case& c : cases) {
        writeFile(c.name, c.bytes);
        Sound s;
        std::size_t largest = LargestAllocationDuring([&] { s = load(String(c.name)); });
        EXPECT_EQ(s.samples, nullptr) << c.name;
        EXPECT_LT(largest, std::size_t(1) << 20) << c.name;
    }
}

TEST(ReadInt, LittleEndianOrMinusOneWhenShort) {
    struct Case {
        std::string bytes;
        int value;
    } cases[] = {
        {"\x01\x02\x03\x04", 0x04030201},
        {std::string("\xff\xff\xff\x7f\x00", 5), INT_MAX},
        {"\x01\x02\x03", -1},
        {"", -1},
    };
    for (const Case& c : cases) {
        std::FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        std::fwrite(c.bytes.data(), 1, c.bytes.size(), file);
        std::rewind(file);
        EXPECT_EQ(readInt(file), c.value);
        std::fclose(file);
    }
}

using OggTest = TempDirTest;

TEST_F(OggTest, DecodesTo16BitSamplesWhateverTheQuality) {
    struct Case {
        int channels, rate;
        float quality;
        int frames;
    } cases[] = {
        {1, 22050, 0.0f, 10000},
        {2, 44100, 0.9f, 30000},
        {2, 44100, -0.1f, 4097},
    };
    for (const Case& c : cases) {
        std::string tone = OggTone(c.channels, c.rate, c.quality, c.frames);
        ASSERT_FALSE(tone.empty());
        writeFile("tone.ogg", tone);
        int before = gc_ext_new_bytes;
        Sound s = load(u"tone.ogg");
        ASSERT_NE(s.samples, nullptr) << c.quality;
        EXPECT_EQ(s.format, 2);
        EXPECT_EQ(s.channels, c.channels);
        EXPECT_EQ(s.hertz, c.rate);
        EXPECT_EQ(s.length, c.frames) << c.quality;
        EXPECT_EQ(gc_ext_new_bytes - before, s.length * c.channels * 2);

        auto* pcm = reinterpret_cast<const int16_t*>(s.samples.get());
        int peak = 0;
        for (int i = 0; i < s.length * s.channels; ++i) peak = std::max(peak, std::abs(int(pcm[i])));
        EXPECT_NEAR(peak, 16384, 2500) << c.quality; // the half-scale sine survives
    }
}

TEST_F(OggTest, NonVorbisFilesAreRefused) {
    writeFile("noise.ogg", payload(5000));
    writeFile("pages.ogg", "OggS" + payload(5000));
    EXPECT_EQ(load(u"noise.ogg").samples, nullptr);
    EXPECT_EQ(load(u"pages.ogg").samples, nullptr);
}

using SoundFileTest = TempDirTest;

TEST_F(SoundFileTest, DecodedByWhatTheBytesAreWhateverTheName) {
    const std::string wave = riff(fmt(1, 8000, 16) + chunk("data", payload(16)));
    const std::string vorbis = OggTone(2, 22050, 0.2f, 3000);
    struct Case {
        const char* name;
        const std::string& bytes;
        int channels, format, hertz;
    } cases[] = {
        {"tone.oga", vorbis, 2, 2, 22050}, {"tone.wav", vorbis, 2, 2, 22050}, {"tone", vorbis, 2, 2, 22050},
        {"beep.ogg", wave, 1, 2, 8000},    {"beep.snd", wave, 1, 2, 8000},
    };
    for (const Case& c : cases) {
        writeFile(c.name, c.bytes);
        Sound s = load(String(c.name));
        ASSERT_NE(s.samples, nullptr) << c.name;
        EXPECT_EQ(s.channels, c.channels) << c.name;
        EXPECT_EQ(s.format, c.format) << c.name;
        EXPECT_EQ(s.hertz, c.hertz) << c.name;
    }
}

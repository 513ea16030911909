// Files that break: a read that fails part way through is a failed load, never a shorter success;
// so is an Ogg stream that breaks off with a decoding error, or whose headers lie about their sizes.
#include "host/game.h"
#include "tests/support/largest_allocation.h"
#include "tests/support/temp_dir.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::filesystem::path exeDir() { return std::filesystem::read_symlink("/proc/self/exe").parent_path(); }

// A file's bytes served through a stdio stream whose reads fail with EIO from `failAt` on.
struct FailingFile {
    std::string bytes;
    std::size_t failAt;
    std::size_t position = 0;
};

ssize_t readFailing(void* cookie, char* buffer, std::size_t size) {
    auto* f = static_cast<FailingFile*>(cookie);
    if (f->position >= f->failAt && f->position < f->bytes.size()) {
        errno = EIO;
        return -1;
    }
    std::size_t end = std::min({f->position + size, f->failAt, f->bytes.size()});
    if (end <= f->position) return 0;
    std::memcpy(buffer, f->bytes.data() + f->position, end - f->position);
    ssize_t n = ssize_t(end - f->position);
    f->position = end;
    return n;
}

int seekFailing(void* cookie, off64_t* offset, int whence) {
    auto* f = static_cast<FailingFile*>(cookie);
    off64_t base = whence == SEEK_SET   ? 0
                   : whence == SEEK_CUR ? off64_t(f->position)
                                        : off64_t(f->bytes.size());
    off64_t to = base + *offset;
    if (to < 0) return -1;
    f->position = std::size_t(to);
    *offset = to;
    return 0;
}

int closeFailing(void* cookie) {
    delete static_cast<FailingFile*>(cookie);
    return 0;
}

// Every file it opens is the file of that name, read through a stream that fails at `failAt`
// (a fraction of the file's length; 1 or more never fails).
class FailingHost : public VxGlfwGame {
  public:
    double failAt = 1;

    std::FILE* OpenFile(String path, String mode) override {
        std::string name(CString(path).c_str());
        if (!std::filesystem::exists(name)) return nullptr;
        auto* f = new FailingFile{readFile(name), 0};
        f->failAt = failAt >= 1 ? f->bytes.size() : std::size_t(double(f->bytes.size()) * failAt);
        return fopencookie(f, "rb", {readFailing, nullptr, seekFailing, closeFailing});
    }
};

std::string Wav(int frames) {
    auto put = [](std::string& out, uint32_t value, int count) {
        for (int i = 0; i < count; ++i) out += char(value >> (8 * i) & 0xFF);
    };
    std::string out = "RIFF";
    put(out, uint32_t(36 + 2 * frames), 4);
    out += "WAVEfmt ";
    for (auto [value, count] :
         {std::pair{16u, 4}, {1u, 2}, {1u, 2}, {8000u, 4}, {16000u, 4}, {2u, 2}, {16u, 2}})
        put(out, value, count);
    out += "data";
    put(out, uint32_t(2 * frames), 4);
    for (int i = 0; i < frames; ++i) put(out, uint32_t(i * 97), 2);
    return out;
}

// A patterned picture, or a flat black one, which deflate packs about as tightly as it can.
std::string Png(int width, int height, bool flat = false) {
    std::string pixels(std::size_t(width) * std::size_t(height) * 3, '\0');
    for (std::size_t i = 0; i < pixels.size() && !flat; ++i) pixels[i] = char(i * 7919 % 251);
    std::string out;
    stbi_write_png_to_func(
        [](void* context, void* data, int n) {
            static_cast<std::string*>(context)->append(static_cast<const char*>(data), std::size_t(n));
        },
        &out, width, height, 3, pixels.data(), width * 3);
    return out;
}

// The game's music from the data folder beside the test programs, which the build generates.
std::string Music() { return readFile(exeDir() / "data" / "sfx" / "spindrift.ogg"); }

bool Loads(FailingHost& host, const std::string& name) {
    String path(name.c_str());
    if (name.ends_with(".txt")) return host.LoadString(path).Length() > 0;
    if (name.ends_with(".bin")) {
        int length = 0;
        unsigned char* data = host.LoadData(path, &length);
        std::free(data);
        return data != nullptr;
    }
    if (name.ends_with(".png")) {
        int w = 0, h = 0, d = 0;
        unsigned char* pixels = host.LoadImageData(path, &w, &h, &d);
        std::free(pixels);
        return pixels != nullptr;
    }
    int length = 0, channels = 0, format = 0, hertz = 0;
    unsigned char* samples = host.LoadAudioData(path, &length, &channels, &format, &hertz);
    std::free(samples);
    return samples != nullptr;
}

using BrokenFile = TempDirTest;

TEST_F(BrokenFile, FailingPartWayIsAFailedLoadForEveryKindOfFile) {
    std::string music = Music();
    ASSERT_FALSE(music.empty()) << "the build writes the data folder beside the test programs";
    writeFile("text.txt", std::string(20000, 'x'));
    writeFile("bytes.bin", std::string(20000, '\1'));
    writeFile("image.png", Png(64, 64));
    writeFile("sound.wav", Wav(20000));
    writeFile("music.ogg", music);
    FailingHost host;
    for (const char* name : {"text.txt", "bytes.bin", "image.png", "sound.wav", "music.ogg"}) {
        host.failAt = 1;
        EXPECT_TRUE(Loads(host, name)) << name << " read whole";
        for (double at : {0.0, 0.5, 0.99}) {
            host.failAt = at;
            EXPECT_FALSE(Loads(host, name)) << name << " failing at " << at;
        }
    }
}

TEST_F(BrokenFile, OggStreamBrokenInTheMiddleIsAFailedLoad) {
    std::string music = Music();
    ASSERT_FALSE(music.empty());
    // The capture pattern of a page half way through no longer matches.
    std::size_t page = music.find("OggS", music.size() / 2);
    ASSERT_NE(page, std::string::npos);
    music[page + 3] = 'X';
    writeFile("broken.ogg", music);
    FailingHost host;
    EXPECT_FALSE(Loads(host, "broken.ogg"));
}

// A small file can describe a huge image; one wider than any texture is refused before decoding.
TEST_F(BrokenFile, ImageWiderThanAnyTextureIsRefused) {
    writeFile("wide.png", Png(16385, 1));
    writeFile("widest.png", Png(16384, 1));
    FailingHost host;
    EXPECT_FALSE(Loads(host, "wide.png"));
    EXPECT_TRUE(Loads(host, "widest.png"));
}

// A PNG's header sets its size, and stb_image allocates for the decoded pixels before decoding: a
// small file claiming 192 MiB is refused first, while a big flat picture packed tightly loads.
TEST_F(BrokenFile, ImageFarLargerThanItsFileCouldHoldIsRefused) {
    std::string png = Png(4, 4);
    png.replace(png.find("IHDR") + 4, 8, std::string("\0\0\x20\0\0\0\x20\0", 8)); // 8192 x 8192
    writeFile("claims.png", png);
    writeFile("flat.png", Png(2048, 2048, true));
    FailingHost host;
    bool loaded = true;
    EXPECT_LT(LargestAllocationDuring([&] { loaded = Loads(host, "claims.png"); }), std::size_t(1) << 20);
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(Loads(host, "flat.png"))
        << "12 MiB of pixels packed into " << readFile("flat.png").size() << " bytes";
}

// A fuzzed file: a chunk of a few bytes whose header claims 2 GiB, which stb_image would allocate
// before finding the file too short.
TEST_F(BrokenFile, PngChunkLongerThanTheFileIsRefusedWithoutAllocatingIt) {
    std::string png = Png(4, 4);
    std::size_t idat = png.find("IDAT");
    ASSERT_NE(idat, std::string::npos);
    png.replace(idat - 4, 4, "\x7f\xff\xff\xf0");
    writeFile("claims.png", png);
    writeFile("small.png", Png(4, 4));
    FailingHost host;
    bool loaded = true;
    EXPECT_LT(LargestAllocationDuring([&] { loaded = Loads(host, "claims.png"); }), std::size_t(1) << 20);
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(Loads(host, "small.png"));
}

// PNG is the only image format: the other decoders failed under fuzzing. Whatever the file's name.
TEST_F(BrokenFile, ImagesOtherThanPngAreRefused) {
    auto encoded = [](auto write) {
        std::string out;
        const std::string pixels(4 * 4 * 3, '\x80');
        write([](void* to, void* data,
                 int n) { static_cast<std::string*>(to)->append(static_cast<char*>(data), n); },
              &out, pixels.data());
        return out;
    };
    const std::pair<const char*, std::string> cases[] = {
        {"bmp", encoded([](auto f, void* to, const char* p) { stbi_write_bmp_to_func(f, to, 4, 4, 3, p); })},
        {"tga", encoded([](auto f, void* to, const char* p) { stbi_write_tga_to_func(f, to, 4, 4, 3, p); })},
        {"jpeg",
         encoded([](auto f, void* to, const char* p) { stbi_write_jpg_to_func(f, to, 4, 4, 3, p, 90); })},
        {"pnm", "P5 4 4\n255\n" + std::string(16, 'x')},
        // Found by fuzzing: a JPEG Huffman table of more codes than it has room for, a PNM width of
        // more digits than an int holds, a PNM header without a size.
        {"jpeg table",
         std::string("\xff\xd8\xff\xc4\x47\x00\x01\xa4\x95\x00\xf0\x62\x00\x00\xff\x27\xff\x27", 18)},
        {"pnm number", "P5 #\n 11111111111111 4\n255\n" + std::string(16, 'x')},
        {"pnm size", "P5G\r\n"},
    };
    FailingHost host;
    for (const auto& [kind, bytes] : cases) {
        writeFile("picture.png", bytes);
        EXPECT_FALSE(Loads(host, "picture.png")) << kind;
    }
}

TEST_F(BrokenFile, OggHeaderClaimingMoreThanItHoldsIsRefused) {
    std::string music = Music();
    ASSERT_FALSE(music.empty());
    // The comment header's vendor length, as a fuzzed file had it: 4 GiB less one byte.
    std::size_t comment = music.find("\x03vorbis");
    ASSERT_NE(comment, std::string::npos);
    music.replace(comment + 7, 4, "\xFF\xFF\xFF\xFF");
    writeFile("hostile.ogg", music);
    FailingHost host;
    EXPECT_FALSE(Loads(host, "hostile.ogg"));
}

} // namespace

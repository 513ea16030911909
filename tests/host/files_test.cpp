// Path rules, opening files by UTF-16 name, and whole-file loads of text, bytes and images.
#include "host/files.h"
#include "host/game.h"
#include "runtime/gc.h"
#include "tests/support/temp_dir.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

std::string utf8(const String& s) {
    std::string out;
    s.ToUtf8(out);
    return out;
}

String text(const std::u16string& s) { return String(s.data(), int(s.size())); }

std::filesystem::path exeDir() { return std::filesystem::read_symlink("/proc/self/exe").parent_path(); }

struct FreeDeleter {
    void operator()(unsigned char* p) const { std::free(p); }
};
using Buffer = std::unique_ptr<unsigned char, FreeDeleter>;

std::string randomBytes(std::size_t n) {
    std::mt19937 rng{unsigned(n)};
    std::string bytes(n, '\0');
    for (char& c : bytes) c = char(rng());
    return bytes;
}

} // namespace

TEST(FixDataPath, PlainNamesGoToTheDataFolderOthersStay) {
    struct Case {
        std::u16string in, out;
    } cases[] = {
        {u"kiwi_font.png", u"cobalt://data/kiwi_font.png"},
        {u"sounds/jump.wav", u"cobalt://data/sounds/jump.wav"},
        {u"a:b/c.png", u"cobalt://data/a:b/c.png"},
        {u"dir/x:/y", u"cobalt://data/dir/x:/y"},
        {u"cobalt://data/kiwi_font.png", u"cobalt://data/kiwi_font.png"},
        {u"C:/games/x.png", u"C:/games/x.png"},
        {u"./x.png", u"./x.png"},
        {u"/x.png", u"/x.png"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(utf8(vx_data_FixDataPath(text(c.in))), utf8(text(c.out))) << utf8(text(c.in));
}

TEST(PathToFilePath, SchemeFormsMapBesideTheExecutable) {
    VxGlfwGame game;
    std::string app = exeDir().string();
    struct Case {
        std::u16string in;
        std::string out;
    } cases[] = {
        {u"cobalt://data/a/b.png", app + "/data/a/b.png"},
        {u"cobalt://internal/x.txt", app + "/internal/x.txt"},
        {u"cobalt://external/x.txt", app + "/external/x.txt"},
        {u"cobalt://other/x.txt", ""},
        {u"cobalt:", ""},
        {u"cobalt:/data/x", ""},
        {u"rel/x.txt", "rel/x.txt"},
        {u"/abs/x.txt", "/abs/x.txt"},
    };
    for (const Case& c : cases) EXPECT_EQ(utf8(game.PathToFilePath(text(c.in))), c.out) << utf8(text(c.in));
}

TEST(PathToFilePath, BaseHostKeepsEveryPath) {
    VxGame game;
    EXPECT_EQ(utf8(game.PathToFilePath(u"cobalt://data/a.png")), "cobalt://data/a.png");
    int w = 0, h = 0, d = 0, n = 0, c = 0, f = 0, r = 0;
    EXPECT_EQ(game.LoadImageData(u"a.png", &w, &h, &d), nullptr);
    EXPECT_EQ(game.LoadAudioData(u"a.wav", &n, &c, &f, &r), nullptr);
}

// Real files beside the test program: only the three known folders are ever opened.
class SchemeFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        name = "files_test_" + std::to_string(getpid()) + ".txt";
        for (const char* folder : {"internal", "elsewhere"}) {
            std::filesystem::create_directories(exeDir() / folder);
            writeFile(exeDir() / folder / name, std::string("in ") + folder);
        }
    }
    void TearDown() override {
        std::error_code ignored;
        for (const char* folder : {"internal", "elsewhere"}) {
            std::filesystem::remove(exeDir() / folder / name, ignored);
            std::filesystem::remove(exeDir() / folder, ignored); // only if now empty
        }
    }
    String path(const std::string& prefix) { return String((prefix + name).c_str()); }

    std::string name;
};

TEST_F(SchemeFilesTest, InternalOpensTheFileBesideTheExecutable) {
    VxGlfwGame game;
    EXPECT_EQ(utf8(game.LoadString(path("cobalt://internal/"))), "in internal");
}

TEST_F(SchemeFilesTest, OtherCobaltFoldersOpenNothing) {
    VxGlfwGame game;
    EXPECT_EQ(game.OpenFile(path("cobalt://elsewhere/"), u"rb"), nullptr);
    EXPECT_EQ(game.OpenFile(path("cobalt:"), u"rb"), nullptr);
    int length = -7;
    EXPECT_EQ(game.LoadData(path("cobalt://elsewhere/"), &length), nullptr);
    EXPECT_EQ(length, -7);
}

using LoadFilesTest = TempDirTest;

TEST_F(LoadFilesTest, NamesReachTheFileSystemAsUtf8) {
    writeFile(u8"na\u00efve \u20ac.txt" /* two- and three-byte characters */, "ok");
    VxGlfwGame game;
    EXPECT_EQ(utf8(game.LoadString(text(u"na\u00efve \u20ac.txt"))), "ok");
}

TEST_F(LoadFilesTest, LoadStringDecodesAndMissingFilesGiveEmpty) {
    writeFile("t.txt", "\xEF\xBB\xBF"
                       "caf\xC3\xA9");
    VxGlfwGame game;
    EXPECT_TRUE(game.LoadString(u"t.txt") == text(u"caf\u00e9"));
    EXPECT_EQ(game.LoadString(u"missing.txt").Length(), 0);
}

TEST_F(LoadFilesTest, LoadDataReturnsEveryByteAndReportsThem) {
    VxGlfwGame game;
    for (std::size_t size : {0u, 1u, 4095u, 4096u, 4097u, 3u * 4096u + 5u}) {
        std::string bytes = randomBytes(size);
        writeFile("d.bin", bytes);
        int before = gc_ext_new_bytes;
        int length = -1;
        Buffer data(game.LoadData(u"d.bin", &length));
        ASSERT_NE(data, nullptr) << size;
        EXPECT_EQ(length, int(size));
        EXPECT_EQ(std::string(reinterpret_cast<char*>(data.get()), size), bytes) << size;
        EXPECT_EQ(gc_ext_new_bytes - before, int(size));
    }
    int length = -7;
    EXPECT_EQ(game.LoadData(u"missing.bin", &length), nullptr);
    EXPECT_EQ(length, -7);
}

TEST_F(LoadFilesTest, ImagesKeepTheFilesComponentCount) {
    VxGlfwGame game;
    const int w = 5, h = 3;
    for (int comp = 1; comp <= 4; ++comp) {
        std::string pixels = randomBytes(std::size_t(w * h * comp));
        ASSERT_NE(stbi_write_png("i.png", w, h, comp, pixels.data(), w * comp), 0);
        int before = gc_ext_new_bytes;
        int width = 0, height = 0, depth = 0;
        Buffer data(game.LoadImageData(u"i.png", &width, &height, &depth));
        ASSERT_NE(data, nullptr) << comp;
        EXPECT_EQ(width, w);
        EXPECT_EQ(height, h);
        EXPECT_EQ(depth, comp);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(data.get()), pixels.size()), pixels) << comp;
        EXPECT_EQ(gc_ext_new_bytes - before, w * h * comp);
    }
}

TEST_F(LoadFilesTest, ImagesThatDoNotDecodeGiveNull) {
    writeFile("bad.png", "not a picture");
    VxGlfwGame game;
    int width = 0, height = 0, depth = 0;
    int before = gc_ext_new_bytes;
    EXPECT_EQ(game.LoadImageData(u"bad.png", &width, &height, &depth), nullptr);
    EXPECT_EQ(game.LoadImageData(u"missing.png", &width, &height, &depth), nullptr);
    EXPECT_EQ(gc_ext_new_bytes, before);
}

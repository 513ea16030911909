// Pictures loaded from files across a new OpenGL context (the full-screen switch opens a new
// window): the render after the switch decodes nothing on the main thread and leaves the loader's
// list as it was; the restore worker brings the pixels back, one picture a frame, and the pictures
// draw as before. A suspended game, which draws again only on its window's next event, gets them
// all in its next frame.
#include "devices/graphics/decode_ahead.h"
#include "gl_window.h"
#include "test_images.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using gltest::kBlack;
using gltest::kWhite;
using gltest::PixelAt;
using gltest::Rgb;

namespace {

// The host's decoder is the main thread's: loads without a list and the old re-decodes use it.
class TestHost final : public VxGlfwGame {
  public:
    unsigned char* LoadImageData(String path, int* width, int* height, int* depth) override {
        ++decodes;
        return VxGlfwGame::LoadImageData(path, width, height, depth);
    }
    bool Suspended() override { return away; }

    int decodes = 0;
    bool away = false;
};

class NewContext : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        host = static_cast<TestHost*>(gltest::OpenHostWindow<TestHost>());
        device = new gxtkGraphics;
    }

    // Two pictures loaded from files, then a loader's list decoded ahead: the first picture's file is
    // on it (a later step loads it again at the same tier), the second's is not. Then the switch.
    void SetUp() override {
        for (const std::string& file : files) pictures.push_back(device->LoadSurface(String(file.c_str())));
        ASSERT_TRUE(pictures[0] && pictures[1]);
        EXPECT_EQ(pictures[0]->data, nullptr) << "a loaded picture keeps no pixels once in its texture";
        device->DecodeAhead(
            Array<String>(std::vector<String>{String(files[0].c_str()), String(later.c_str())}.data(), 2));
        vxPicturesAhead().Finish();
        gltest::ReopenHostWindow();
        host->decodes = 0;
    }

    void TearDown() override {
        host->away = false;
        device->DecodeAhead(Array<String>());
    }

    // Each picture at (30 + 30 i, 40) in one frame.
    void Render() {
        device->BeginRender();
        device->Cls(0, 0, 0);
        device->SetColor(255, 255, 255);
        device->SetAlpha(1);
        for (std::size_t i = 0; i < pictures.size(); ++i)
            device->DrawSurface(pictures[i], 30 + 30 * float(i), 40);
        device->EndRender();
    }

    void ExpectTheLoadersListAlone() {
        EXPECT_TRUE(vxPicturesAhead().Ready(files[0])) << "the loader's picture was taken";
        EXPECT_TRUE(vxPicturesAhead().Ready(later));
    }

    void ExpectBothDrawn() {
        EXPECT_EQ(PixelAt(30, 40), (Rgb{255, 0, 0}));
        EXPECT_EQ(PixelAt(31, 40), (Rgb{0, 0, 255}));
        EXPECT_EQ(PixelAt(60, 40), (Rgb{0, 255, 0}));
        EXPECT_EQ(PixelAt(61, 40), kWhite);
    }

    static TestHost* host;
    static gxtkGraphics* device;
    gltest::TempImages images;
    const std::string files[2] = {images.Write("listed", 2, 1, 4, {255, 0, 0, 255, 0, 0, 255, 255}),
                                  images.Write("unlisted", 2, 1, 4, {0, 255, 0, 255, 255, 255, 255, 255})};
    const std::string later = images.Write("later", 2, 1, 4, {1, 2, 3, 255, 4, 5, 6, 255});
    std::vector<gxtkSurface*> pictures;
};

TestHost* NewContext::host = nullptr;
gxtkGraphics* NewContext::device = nullptr;

TEST_F(NewContext, TheFirstRenderDecodesNothingAndLeavesTheLoadersListAlone) {
    Render();
    EXPECT_EQ(host->decodes, 0) << "the render decoded on the main thread";
    ExpectTheLoadersListAlone();
    EXPECT_EQ(PixelAt(30, 40), kBlack) << "nothing drawn while the pixels are on their way";

    vxPictureRestores().Finish();
    Render();
    EXPECT_EQ(PixelAt(30, 40), (Rgb{255, 0, 0}));
    EXPECT_EQ(PixelAt(60, 40), kBlack) << "one picture comes back a frame";
    Render();
    ExpectBothDrawn();
    EXPECT_EQ(host->decodes, 0);
    EXPECT_EQ(pictures[0]->data, nullptr) << "nor does it keep them after its texture is made again";
    ExpectTheLoadersListAlone();
}

TEST_F(NewContext, ASuspendedGameWaitsForThePicturesWithoutDecodingThem) {
    host->away = true;
    Render();
    ExpectBothDrawn();
    EXPECT_EQ(host->decodes, 0) << "the render decoded on the main thread";
    ExpectTheLoadersListAlone();
}

} // namespace

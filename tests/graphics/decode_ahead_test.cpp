// Pictures decoded on the worker threads: each load takes exactly what a load of its own would have
// decoded, in any order; a replaced list keeps nothing, the same list asked again keeps all, files
// handed over one at a time are taken once ready, a fork waits for the list, and quitting mid-load
// leaves nothing behind.
#include "devices/graphics/decode_ahead.h"
#include "host/console.h"
#include "test_images.h"
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// A w x h picture: white with a ramp of alpha when `white`, otherwise a colour ramp.
std::vector<unsigned char> Picture(int w, int h, bool white) {
    std::vector<unsigned char> bytes;
    for (int i = 0; i < w * h; ++i) {
        auto a = static_cast<unsigned char>(i * 7);
        if (white) {
            bytes.insert(bytes.end(), {255, 255, 255, a});
        } else {
            bytes.insert(bytes.end(), {static_cast<unsigned char>(i), 40, 200, a});
        }
    }
    return bytes;
}

bool SamePixels(const gxtkPixels& a, const gxtkPixels& b) {
    const int bytesPerPixel = a.format == GL_INTENSITY ? 1 : a.depth;
    return a.width == b.width && a.height == b.height && a.depth == b.depth && a.format == b.format &&
           std::memcmp(a.data, b.data, std::size_t(a.width) * a.height * bytesPerPixel) == 0;
}

class DecodeAhead : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, int w, int h, bool white) {
        return images.Write(name, w, h, 4, Picture(w, h, white));
    }

    // Takes the file and checks it against a load of its own.
    void ExpectTakesAsLoaded(VxDecodeAhead<gxtkPixels>& ahead, const std::string& file) {
        gxtkPixels taken = ahead.Take(file);
        gxtkPixels own = DecodePictureFile(file);
        ASSERT_NE(taken.data, nullptr) << file;
        EXPECT_TRUE(SamePixels(taken, own)) << file;
        std::free(taken.data);
        std::free(own.data);
    }

    gltest::TempImages images;
};

TEST_F(DecodeAhead, EachLoadTakesWhatItsOwnDecodeWouldGiveInAnyOrder) {
    const std::string glow = Write("glow", 64, 32, true);
    const std::string tiles = Write("tiles", 48, 48, false);
    const std::string missing = images.dir.path / "missing.png";
    gxtkDecodeAhead ahead;
    ahead.Start({glow, missing, tiles, glow});

    ExpectTakesAsLoaded(ahead, tiles);
    EXPECT_EQ(ahead.Take(missing).data, nullptr) << "an unreadable file gives no pixels";
    // Named twice, decoded twice: one for each load.
    ExpectTakesAsLoaded(ahead, glow);
    ExpectTakesAsLoaded(ahead, glow);
    EXPECT_EQ(ahead.Take(glow).data, nullptr) << "a third load decodes for itself";
    EXPECT_EQ(ahead.Take(tiles).data, nullptr) << "a taken file is no longer on the list";
    EXPECT_EQ(ahead.Take(images.dir.path / "other.png").data, nullptr) << "nor is one never asked for";
}

TEST_F(DecodeAhead, APictureWhiteThroughoutKeepsOneIntensityByteAPixel) {
    gxtkDecodeAhead ahead;
    ahead.Start({Write("mask", 16, 16, true), Write("colour", 16, 16, false)});
    gxtkPixels mask = ahead.Take(images.dir.path / "mask.png");
    gxtkPixels colour = ahead.Take(images.dir.path / "colour.png");
    ASSERT_TRUE(mask.data && colour.data);
    EXPECT_EQ(mask.format, GLenum(GL_INTENSITY));
    EXPECT_EQ(mask.depth, 4) << "the file's own depth";
    EXPECT_EQ(mask.data[5], 35) << "the alpha, which premultiplied white equals in every channel";
    EXPECT_EQ(colour.format, GLenum(GL_RGBA));
    EXPECT_EQ(colour.data[4 * 5], 5 * 35 / 255) << "premultiplied";
    std::free(mask.data);
    std::free(colour.data);
}

TEST_F(DecodeAhead, ANewListDropsWhatWasLeftOfTheOldOne) {
    std::vector<std::string> old;
    for (int i = 0; i < 6; ++i) old.push_back(Write("old" + std::to_string(i), 256, 256, i % 2 == 0));
    const std::string fresh = Write("fresh", 32, 32, false);
    gxtkDecodeAhead ahead;
    ahead.Start(old);
    ExpectTakesAsLoaded(ahead, old[0]);
    // The rest, decoded or not, is freed (AddressSanitizer's leak check holds that).
    ahead.Start({fresh});
    EXPECT_EQ(ahead.Take(old[3]).data, nullptr);
    ExpectTakesAsLoaded(ahead, fresh);
}

// A loader asks for its list when the window changes size and again at its first step: the second
// request keeps what the workers have done. A list with a load taken is a new load's.
TEST_F(DecodeAhead, AskingAgainForTheListInProgressKeepsIt) {
    const std::string tiles = Write("tiles", 32, 32, false);
    const std::string glow = Write("glow", 32, 32, true);
    gxtkDecodeAhead ahead;
    ahead.Start({tiles, glow});
    ahead.Finish();
    gxtkPixels before = DecodePictureFile(tiles);
    Write("tiles", 32, 32, true);
    ahead.Start({tiles, glow});
    gxtkPixels kept = ahead.Take(tiles);
    ASSERT_TRUE(kept.data && before.data);
    EXPECT_TRUE(SamePixels(kept, before)) << "decoded before the file changed, and kept";

    ahead.Start({tiles, glow});
    ExpectTakesAsLoaded(ahead, tiles);
    std::free(kept.data);
    std::free(before.data);
}

// Files handed over one at a time, as draws in a new context hand theirs: each is decoded in turn for
// the load that takes it once it is ready, and one given up is freed, decoded by then or not (the
// leak check holds that).
TEST_F(DecodeAhead, AddedFilesAreTakenOnceReadyAndDroppedOnesFreed) {
    const std::string glow = Write("glow", 64, 32, true);
    const std::string tiles = Write("tiles", 48, 48, false);
    gxtkPictureRestores restores;
    ASSERT_TRUE(restores.Add(glow));
    ASSERT_TRUE(restores.Add(tiles));
    restores.Drop(glow);
    restores.Finish();
    EXPECT_FALSE(restores.Ready(glow)) << "given up";
    ASSERT_TRUE(restores.Ready(tiles));
    ExpectTakesAsLoaded(restores, tiles);

    // With every file decoded, the next starts the worker again.
    ASSERT_TRUE(restores.Add(tiles));
    ASSERT_TRUE(restores.Add(glow));
    restores.Finish();
    ExpectTakesAsLoaded(restores, glow);
    restores.Drop(tiles);
    EXPECT_FALSE(restores.Ready(tiles));
}

// A child gets no worker of its own, so the fork waits for the list: the child finds every picture
// decoded (and the locks free, the allocator's among them).
TEST_F(DecodeAhead, AChildForkedMidListFindsEveryPictureDecoded) {
    std::vector<std::string> files;
    for (int i = 0; i < 8; ++i) files.push_back(Write("big" + std::to_string(i), 512, 512, i % 2 == 1));
    gxtkDecodeAhead& ahead = vxPicturesAhead();
    ahead.Start(files);
    ChildResult child = RunInChild([&] {
        int wrong = 0;
        for (const std::string& file : files) {
            gxtkPixels taken = ahead.Take(file);
            gxtkPixels own = DecodePictureFile(file);
            if (!taken.data || !SamePixels(taken, own)) ++wrong;
            std::free(taken.data);
            std::free(own.data);
        }
        _exit(wrong);
    });
    EXPECT_EQ(child.status, 0) << child.err;
    for (const std::string& file : files) ExpectTakesAsLoaded(ahead, file);
}

// Quitting (F4, the close button, the menu's quit) exits at once, mid-load as likely as not: after
// a load took the first picture of its list, with the workers done with the rest or still decoding
// it. The quitting program, a process of its own, exits with status 0, and the sanitizers find
// nothing in the exit: no worker left running or unjoined, nothing leaked.
TEST_F(DecodeAhead, QuittingMidLoadExitsCleanly) {
    struct Case {
        const char* name;
        int size;
        bool workersDone;
    };
    for (const Case& c : {Case{"done", 32, true}, Case{"decoding", 256, false}}) {
        std::vector<std::string> files;
        for (int i = 0; i < 4; ++i)
            files.push_back(Write(c.name + std::to_string(i), c.size, c.size, i % 2 == 1));
        EXPECT_EXIT(
            {
                gxtkDecodeAhead& ahead = vxPicturesAhead();
                ahead.Start(files);
                std::free(ahead.Take(files[0]).data);
                for (std::size_t i = 1; c.workersDone && i < files.size(); ++i) {
                    while (!ahead.Ready(files[i])) std::this_thread::yield();
                }
                vxError(String());
            },
            ::testing::ExitedWithCode(0), ::testing::Matcher<const std::string&>(std::string()))
            << "workers " << c.name;
    }
}

} // namespace

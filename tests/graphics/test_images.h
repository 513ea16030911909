// Small PNG files written for a test into a fresh temporary folder, read back through the host's real
// image loader.
#pragma once

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace gltest {

class TempImages {
  public:
    // Writes `pixels` (rows top first, `depth` bytes a pixel) as name.png; returns its full path.
    std::string Write(const std::string& name, int width, int height, int depth,
                      const std::vector<unsigned char>& pixels) const {
        std::string path = (dir.path / (name + ".png")).string();
        EXPECT_EQ(pixels.size(), std::size_t(width) * height * depth);
        EXPECT_NE(stbi_write_png(path.c_str(), width, height, depth, pixels.data(), width * depth), 0);
        return path;
    }

    TempDir dir;
};

} // namespace gltest

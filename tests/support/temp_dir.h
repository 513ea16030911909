// Temporary folders for tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "spindrift-test-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        path = pattern;
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::filesystem::path path;
};

// A temporary folder made the working directory for the life of the fixture, so that relative paths
// and the state file never touch the source tree.
class TempDirTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous = std::filesystem::current_path();
        std::filesystem::current_path(dir);
    }
    void TearDown() override { std::filesystem::current_path(previous); }

    std::filesystem::path previous;
    TempDir temp;
    const std::filesystem::path& dir = temp.path;
};

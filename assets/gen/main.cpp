// assetgen: builds Spindrift's data folder from the sources in assets/src, and renders the
// contact sheet of its images.
//
//   assetgen generate <source dir> <data dir>
//   assetgen sheet <source dir> <data dir> <out.png> [tier 1|2|4]
#include <exception>
#include <filesystem>
#include <functional>
#include <future>
#include <iostream>
#include <string>
#include <vector>

#include "audio.h"
#include "contact_sheet.h"
#include "sheets.h"

namespace {

using namespace assetgen;

void generate(const std::string& src, const std::string& data) {
    for (const char* dir : {"", "/fonts", "/common", "/sfx", "/icons"})
        std::filesystem::create_directories(data + dir);
    GlyphTable glyphs = readGlyphTable(src + "/font.txt");
    // Independent files: spread them over the cores.
    std::vector<std::function<void()>> jobs = {
        [&] { writeBadges(data); },
        [&] { writeTitles(data); },
        [&] { writeIcons(data); },
        [&] { writeInterface(data); },
        [&] {
            writeFonts(data, glyphs);
            writePlayfield(data);
            writeParts(data);
            writeSoundEffects(data);
            writeMusic(data, src + "/spindrift.song");
        },
    };
    std::vector<std::future<void>> running;
    for (auto& job : jobs) running.push_back(std::async(std::launch::async, job));
    for (auto& r : running) r.get(); // rethrows the first failure
}

int usage() {
    std::cerr << "usage: assetgen generate <source dir> <data dir>\n"
                 "       assetgen sheet <source dir> <data dir> <out.png> [1|2|4]\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 3 && args[0] == "generate") {
            generate(args[1], args[2]);
            return 0;
        }
        if ((args.size() == 4 || args.size() == 5) && args[0] == "sheet") {
            int tier = args.size() == 5 ? std::stoi(args[4]) : 1;
            if (tier != 1 && tier != 2 && tier != 4) return usage();
            writeContactSheet(args[2], args[1] + "/font.txt", args[3], tier);
            return 0;
        }
    } catch (const std::exception& e) {
        std::cerr << "assetgen: " << e.what() << "\n";
        return 1;
    }
    return usage();
}

// Gamepad mappings beyond the database GLFW carries: SDL's text format, one pad a line, from a
// gamecontrollerdb.txt in the data folder and from SDL_GAMECONTROLLERCONFIG, where Steam and other
// launchers describe the player's own pads.
#include "host/game.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

namespace {

// A mapping starts with the pad's GUID, 32 hexadecimal digits, and a comma. GLFW passes over other
// lines without a word, so they must not count as taken.
bool looksLikeMapping(std::string_view line) {
    constexpr std::size_t guidDigits = 32;
    return line.size() > guidDigits && line[guidDigits] == ',' &&
           std::all_of(line.begin(), line.begin() + guidDigits,
                       [](unsigned char c) { return std::isxdigit(c) != 0; });
}

// GLFW tells whether it could read a mapping only through its error state; fed alone, the line is
// the one to blame.
bool addMapping(std::string_view line) {
    glfwGetError(nullptr);
    glfwUpdateGamepadMappings(std::string(line).c_str());
    return glfwGetError(nullptr) == GLFW_NO_ERROR;
}

} // namespace

int vxAddGamepadMappings(std::string_view text) {
    int taken = 0;
    while (!text.empty()) {
        std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (looksLikeMapping(line) && addMapping(line)) ++taken;
    }
    return taken;
}

int VxGlfwGame::AddGamepadMappings() {
    std::string file;
    LoadString(u"cobalt://data/gamecontrollerdb.txt").ToUtf8(file);
    const char* launcher = std::getenv("SDL_GAMECONTROLLERCONFIG");
    // The launcher's lines go in last: for a pad both describe, they replace the file's.
    return vxAddGamepadMappings(file) + vxAddGamepadMappings(launcher ? launcher : "");
}

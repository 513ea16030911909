// Opening a web page: in a new tab of the player's browser.
#include "host/game.h"

#include <emscripten/emscripten.h>

#include <string>

namespace {

EM_JS(void, openPage, (const char* url), { window.open(UTF8ToString(url), '_blank', 'noopener'); });

} // namespace

// A host with no browser to hand opens nothing.
void VxGame::OpenUrl(String url) {}

void VxGlfwGame::OpenUrl(String url) {
    std::string narrow;
    url.ToUtf8(narrow);
    openPage(narrow.c_str());
}

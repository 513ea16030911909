// Program entry: start-up of the host, the program's globals and its application, then the loop.
// Kept apart from the rest of the host because only programs that call Main supply vxInit and
// vxMain.
#include "host/console.h"
#include "host/game.h"
#include "host/options.h"
#include "host/program.h"
#ifdef __EMSCRIPTEN__
#include "host/web/web_game.h"
#endif

#include <GLFW/glfw3.h>

#include <clocale>
#include <cstdlib>

namespace {

void setTextLocale() {
    if (!std::setlocale(LC_CTYPE, "en_US.UTF-8")) std::setlocale(LC_CTYPE, "");
}

} // namespace

int VxCobaltGame::Main(int argc, char** argv) {
    // Asking for help or the version must work without a display.
    vxReadCommandLine(argc, argv);
    if (!glfwInit()) {
        vxPrint(String(u"glfwInit failed"));
        std::exit(-1);
    }
    // The host object lives as long as the process.
#ifdef __EMSCRIPTEN__
    auto* game = new VxWebGame();
#else
    auto* game = new VxCobaltGame();
#endif
    game->Install();
    VxGame::argc = argc;
    VxGame::argv = argv;

    vxInstallFaultHandlers();
    setTextLocale();
    gc_init1();
    try {
        vxInit();
        gc_mark();
        vxMain();
    } catch (ThrowableObject* ex) {
        glfwTerminate();
        game->Die(ex);
    }
    if (game->Delegate()) game->Run();
    glfwTerminate();
    return 0;
}

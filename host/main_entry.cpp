// Program entry: start-up of the host, the program's globals and its application, then the loop.
// Kept apart from the rest of the host because only programs that call Main supply vxInit and
// vxMain.
#include "host/console.h"
#include "host/files.h"
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

// The host for the command line: a headless one for a program that shows nothing (verifying a
// replay needs no display), else the window system's. It lives as long as the process.
VxGame* makeHost() {
    if (vxCommandLineNeedsNoWindow()) {
        VxGame::_game = new VxHeadlessGame();
        return VxGame::_game;
    }
    if (!glfwInit()) {
        vxPrint(String(u"glfwInit failed"));
        std::exit(-1);
    }
#ifdef __EMSCRIPTEN__
    auto* game = new VxWebGame();
#else
    auto* game = new VxCobaltGame();
#endif
    game->Install();
    return game;
}

} // namespace

int VxCobaltGame::Main(int argc, char** argv) {
    // Asking for help or the version must work without a display.
    vxReadCommandLine(argc, argv);
    // The allocator's settings for the whole process, in their one home: the huge pages that make
    // the window's textures cheap to clear take a restart, so this comes before anything else
    // starts, and a run that opens no window is left to start fast.
    vxSetUpProcessMemory(argv, !vxCommandLineNeedsNoWindow());
    VxGame* game = makeHost();
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

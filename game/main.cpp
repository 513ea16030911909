#include "host/files.h"
#include "host/game.h"

int main(int argc, char** argv) {
    vxRestartWithHugePages();
    VxCobaltGame::Main(argc, argv);
    return 0;
}

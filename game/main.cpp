#include "host/game.h"

int main(int argc, char** argv) {
    VxCobaltGame::Main(argc, argv);
    return 0;
}

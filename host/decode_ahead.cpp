#include "host/decode_ahead.h"

#include "host/game.h"

std::string vxFileNameOf(const String& path) {
    std::string name;
    if (VxGame::_game) VxGame::_game->PathToFilePath(path).ToUtf8(name);
    return name;
}

// The application icon ("icons/spindrift-N.png"): the climber leaping up from the shaft's ice in
// front of its night-blue wall, on a rounded tile, at the sizes desktops ask for. The desktop's
// menu and the game's own window show the same pictures.
#include <numeric>
#include <string>

#include "sheets.h"

namespace assetgen {

namespace {

constexpr int kScene = 32; // the scene is pixel art of 32 x 32
constexpr int kIconSizes[] = {16, 32, 48, 64, 128, 256};

// Playfield frames placed so that the wall's 32-pixel body fills the tile, the ice slab lies along
// the bottom and the jumping player rises from it.
Canvas paintScene() {
    constexpr int kWall = 0, kFloor = 1, kJump = 10;
    constexpr int kBody = 2; // a tile's body starts two pixels into its frame
    Canvas scene(kScene, kScene);
    scene.draw(playfieldFrame(kWall), -kBody, -kBody);
    scene.draw(playfieldFrame(kFloor), -kBody, kScene - 8 - kBody);
    scene.draw(playfieldFrame(kJump), -kBody, -5);
    return scene;
}

// Whole-pixel enlargement, then averaging: pixel art keeps crisp blocks at the large sizes and is
// blended rather than thinned out at the small ones.
Canvas resampled(const Canvas& art, int size) {
    const int common = std::gcd(size, art.width());
    return art.enlarged(size / common).reduced(art.width() / common);
}

void writeIcon(const Canvas& scene, int size, const std::string& path) {
    const Canvas picture = resampled(scene, size);
    const float scale = static_cast<float>(size) / kScene;
    Paint fromPicture = [&](V2 p) {
        return picture.at(static_cast<int>(p.x * scale), static_cast<int>(p.y * scale));
    };
    // Room for the outline and the drop shadow inside the square.
    Canvas icon(size, size);
    styled(icon, Cell{0, 0, size, size, scale}, sdf::box(15.5f, 15.0f, 14.0f, 14.0f, 5.0f), fromPicture);
    icon.savePng(path);
}

} // namespace

void writeIcons(const std::string& dataDir) {
    const Canvas scene = paintScene();
    for (int size : kIconSizes)
        writeIcon(scene, size, dataDir + "/icons/spindrift-" + std::to_string(size) + ".png");
}

} // namespace assetgen

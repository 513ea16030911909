#include "sheets.h"

namespace assetgen {

std::string tierSuffix(int tier) { return tier == 1 ? "" : tier == 2 ? "-hd" : "-hd2"; }

namespace {
Canvas paintSheet(const Grid& grid, int tier, const FramePainter& paint) {
    Canvas c(grid.cols * grid.cellW * tier, grid.rows() * grid.cellH * tier);
    for (int f = 0; f < grid.frames; ++f) paint(c, grid.cell(f, tier), f);
    return c;
}
} // namespace

void writeVectorSheet(const std::string& dataDir, const std::string& name, const Grid& grid,
                      const FramePainter& paint) {
    for (int tier : kTiers)
        paintSheet(grid, tier, paint).savePng(dataDir + "/" + name + tierSuffix(tier) + ".png");
}

void writePixelSheet(const std::string& dataDir, const std::string& name, const Grid& grid,
                     const FramePainter& paint) {
    Canvas base = paintSheet(grid, 1, paint);
    for (int tier : kTiers)
        (tier == 1 ? base : base.enlarged(tier)).savePng(dataDir + "/" + name + tierSuffix(tier) + ".png");
}

} // namespace assetgen

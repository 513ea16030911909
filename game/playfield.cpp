// The shaft: random draws, the row generator with its object spawning, the cell queries play uses
// for collision, the per-frame cell pass and the resets of a round.
//
// The grid is GridCols x GridRows cells of CellFloats floats, row 0 at the top. Columns 0 to 12 hold
// the shaft (0 and 12 are walls); column 13 is never written, so a lookup just right of the right
// wall reads an empty cell. Lookups cover columns 0 to 13 and rows 0 to 20; anything outside is
// solid and never a floor.
#include "game/my_app.h"
#include "game/random.h"

#include <algorithm>
#include <limits>

namespace {

constexpr int ShaftCols = 13;    // columns written by the generator: 0 (wall) to 12 (wall)
constexpr int LookupMaxCol = 13; // one empty column beyond the right wall still answers
constexpr int LookupMaxRow = 20; // the visible rows -10..10
// The playfield sheet's frames 0, 1 and 2 are the wall, floor and gap tiles.
constexpr int ClockSeed = -37171650; // asks p_SeedRnd for the millisecond clock

constexpr int SpawnTests = 5;
constexpr int SpawnBelow[SpawnTests] = {5, 3, 2, 2, 2};
constexpr float SpawnAfterFloors[SpawnTests] = {std::numeric_limits<float>::lowest(), 100, 150, 250, 300};

int CellAt(int col, int row) { return (row * GridCols + col) * CellFloats; }

// The cell record under cell-unit coordinates, or -1 outside the looked-up range.
int LookupCell(float gx, float gy) {
    int col = FloorInt(gx + 7.0f);
    int row = FloorInt(gy + 10.0f);
    if (col < 0 || col > LookupMaxCol || row < 0 || row > LookupMaxRow) return -1;
    return CellAt(col, row);
}

int KindAt(const Array<float>& grid, int cell) { return TruncInt(grid[cell + CellKind]); }

bool IsStandable(int kind) { return kind == CellWall || kind == CellFloor; }

// Moves every row's kinds one row down; the bottom row's kinds are lost. Shifts stay in place.
void ShiftRowsDown(const Array<float>& grid) {
    for (int row = GridRows - 2; row >= 0; --row) {
        for (int col = 0; col < ShaftCols; ++col)
            grid[CellAt(col, row + 1) + CellKind] = grid[CellAt(col, row) + CellKind];
    }
}

// True when some inner cell of row 1 could take a gap above it.
bool RowBelowCanHoldGap(const Array<float>& grid) {
    for (int col = 1; col < ShaftCols - 1; ++col) {
        if (IsStandable(KindAt(grid, CellAt(col, 1)))) return true;
    }
    return false;
}

// One attempt at the new row 0: 13 draws, counting its gaps and floors on top of what earlier
// attempts counted.
void MakeTopRow(const Array<float>& grid, int& gaps, int& floors) {
    for (int col = 0; col < ShaftCols; ++col) {
        int k = FloorInt(2.0f + vx_random_Rnd() * 1.99f);
        int below = KindAt(grid, CellAt(col, 1));
        int kind;
        if (col == 0 || col == ShaftCols - 1) {
            kind = CellWall;
        } else if (!IsStandable(below)) {
            kind = CellFloor;
            ++floors;
        } else {
            kind = k;
            if (k == CellGap) {
                ++gaps;
            } else {
                ++floors;
            }
        }
        grid[CellAt(col, 0) + CellKind] = float(kind);
    }
}

int SpawnRange(int difficulty) {
    if (difficulty == 1) return 8;
    if (difficulty == 3) return 4;
    return 6;
}

} // namespace

int c_MyApp::p_Rand(float lo, float hi) { return FloorInt(lo + vx_random_Rnd() * (hi + 0.99f - lo)); }

int c_MyApp::p_SeedRnd(int seed) {
    vx_random_Seed = uint32_t(seed == ClockSeed ? p_Millisecs() : seed);
    for (int i = 0; i < 21; ++i) vx_random_Rnd(); // only the steps matter here, not the draws
    return 0;
}

int c_MyApp::p_AddFloor(int d) {
    const Array<float>& player = m_Player;
    if (d == 1) m_Score += 5;
    ShiftRowsDown(m_Grid);

    // A row needs a gap and a floor; the counts carry over between attempts. A row whose inner cells
    // all stand over gaps or empty cells can never gain a gap: it is let through as it comes instead
    // of being retried for ever.
    int gaps = p_FirstRowLatch() == 1 ? 1 : 0;
    int floors = 0;
    bool rowCanGainGap = RowBelowCanHoldGap(m_Grid);
    do {
        MakeTopRow(m_Grid, gaps, floors);
    } while ((gaps == 0 || floors == 0) && (gaps > 0 || rowCanGainGap));

    // Each test draws with the range then in m_c: after a placement the same field holds the placed
    // object's float index, and the next test draws with that.
    p_SpawnRange() = SpawnRange(m_Difficulty);
    for (int t = 0; t < SpawnTests; ++t) {
        int roll = p_Rand(0, float(p_SpawnRange()));
        if (d != 1 || roll >= SpawnBelow[t] || !(player[PlFloors] > SpawnAfterFloors[t])) continue;
        int& at = p_SpawnedObj();
        at = p_FreeObj(ObjLast);
        if (at < 0) continue;
        const Array<float>& obj = m_Obj;
        obj[at + ObjState] = ObjWalker;
        obj[at + ObjX] = float(p_Rand(-4, 4) * 32);
        obj[at + ObjY] = -320;
        int dir = p_Rand(0, 1);
        obj[at + ObjDir] = dir == 0 ? -1.0f : 1.0f;
        obj[at + ObjVY] = 0;
        obj[at + ObjSpeed] = vx_random_Rnd() * 0.5f + 0.25f;
    }

    // Everything moves down with the rows so that nothing jumps on screen.
    player[PlFloors] += 1;
    player[PlScroll] -= 32;
    player[PlY] += 32;
    p_FirstRowLatch() = 0;
    for (int i = 0; i <= ObjLast * RecordFloats; i += RecordFloats) {
        if (m_Obj[i + ObjState] > ObjFree) m_Obj[i + ObjY] += 32;
    }
    return 0;
}

bool c_MyApp::p_isFloor(float gx, float gy) {
    int cell = LookupCell(gx, gy);
    return cell >= 0 && IsStandable(KindAt(m_Grid, cell));
}

bool c_MyApp::p_isSolid(float gx, float gy) {
    int cell = LookupCell(gx, gy);
    return cell < 0 || KindAt(m_Grid, cell) == CellWall;
}

bool c_MyApp::p_isBump(float gx, float gy) {
    int cell = LookupCell(gx, gy);
    return cell >= 0 && IsStandable(KindAt(m_Grid, cell)) && m_Grid[cell + CellYShift] != 0;
}

int c_MyApp::p_BumpFloor(float gx, float gy) {
    int cell = LookupCell(gx, gy);
    if (cell >= 0) m_Grid[cell + CellYShift] = -8;
    return 0;
}

int c_MyApp::p_ResetGrid() {
    std::fill(m_Grid.begin(), m_Grid.end(), 0.0f);
    return 0;
}

// The first free object record among records 0 to limit, as an index into m_Obj.
int c_MyApp::p_FreeObj(int limit) {
    for (int i = 0; i <= limit && i * RecordFloats < m_Obj.Length(); ++i) {
        if (m_Obj[i * RecordFloats + ObjState] == ObjFree) return i * RecordFloats;
    }
    return -1;
}

int c_MyApp::p_ResetObj() {
    std::fill(m_Obj.begin(), m_Obj.end(), 0.0f);
    return 0;
}

int c_MyApp::p_FlushGame() {
    p_ResetObj();
    p_ResetGrid();
    // The resets below set only the records they count and only the fields they use: what the menu
    // and earlier rounds left in the rest is no part of this round, and must not reach its replay.
    std::fill(m_Stars.begin(), m_Stars.end(), 0.0f);
    std::fill(m_Part.begin(), m_Part.end(), 0.0f);
    p_ResetStars(100);
    p_ResetParticles(250);
    p_ResetPlayers();
    m_Paused = 0;
    m_Score = 0;
    m_RoundOver = 0;
    m_OverTimer = 0;
    m_QuitRound = 0;
    return 0;
}

int c_MyApp::p_DoCells() {
    const Array<float>& player = m_Player;
    float timer = player[PlCollapseTimer];
    float side = player[PlCollapseSide];
    for (int c = -6; c <= 6; ++c) {
        for (int r = -10; r <= 10; ++r) {
            int cell = CellAt(c + 6, r + 10);
            float& xShift = m_Grid[cell + CellXShift];
            float& yShift = m_Grid[cell + CellYShift];
            if (yShift < 0 && timer == 0) yShift = std::min(yShift + 2.0f, 0.0f);
            // Collapse: the columns fall away one every 4 frames, starting from the side the shaft
            // tips towards.
            if (side != 0) {
                if (side < 0 && float((6 - c) * 4) < timer) xShift += vx_random_Rnd() * 7 + 5;
                if (side > 0 && float((c + 6) * 4) < timer) xShift -= vx_random_Rnd() * 7 + 5;
                yShift += vx_random_Rnd() * 0.2f + 0.2f;
            }
            int kind = KindAt(m_Grid, cell);
            if (kind > 0) {
                p_DrawImg(ImgGfx, float(c * 32) + xShift, float(r * 32) + player[PlScroll] + yShift,
                          float(kind - 1));
            }
        }
    }
    return 0;
}

// A round: its start, the play step of every update, the pause triggers, scoring with the score
// and rank lines, and the end-of-round overlay that hands back to the menu.
//
// Play coordinates have their origin at the centre of the play view, y down; the player's Y lives in
// the grid's frame and is drawn at Y + Scroll. The round ends through the player's collapse timer:
// 0 while alive, 1 when the end begins (tipping over, a walker's touch, falling out), then one more
// per update; past 50 the overlay takes over.
#include "game/my_app.h"
#include "game/random.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int RoundBuildRows = 51; // more than fill the grid, so the first screen is all made
constexpr int PlayerCleared = 500; // floats of the player record cleared at a round start
constexpr float TipAngle = 70;

// x modulo 32 in [0, 32).
float Mod32(float v) {
    float m = std::fmod(v, 32.0f);
    if (m < 0) m += 32;
    return m < 32 ? m : 0; // a tiny negative remainder rounds up to 32
}

// Where a body stands in the grid, for the lookups.
struct CellPos {
    float xMod, yMod, gx, gy;
};
CellPos CellPosOf(float x, float y) { return {Mod32(x), Mod32(y), (x - 16) / 32, y / 32}; }

CellPos PlayerCell(const Array<float>& p) { return {p[PlXMod], p[PlYMod], p[PlGX], p[PlGY]}; }

bool WallLeft(c_MyApp& app, const CellPos& at) { return app.p_isSolid(at.gx - 1, at.gy) && at.xMod < 5; }
bool WallRight(c_MyApp& app, const CellPos& at) { return app.p_isSolid(at.gx + 1, at.gy) && at.xMod > 27; }
bool StandsOnFloor(const CellPos& at, float vy, bool floorBelow) {
    return at.yMod >= 12 && at.yMod <= 20 && vy >= -0.3f && floorBelow;
}

// The scroll speed grows with how high the player climbs and how far behind the
// scroll is; a row is added once the scroll passes a cell.
float ScrollShaft(c_MyApp& app) {
    const Array<float>& p = app.m_Player;
    p[PlScrollSpeed] = std::min(p[PlScrollSpeed] + 0.01f, p[PlScrollSpeedMax]);
    float y = p[PlY], scroll = p[PlScroll];
    float s = p[PlScrollSpeed];
    if (y < 0) s += 1;
    if (y < -64) s += 1;
    if (y < -128) s += 2;
    if (scroll < 0) s += 1;
    if (scroll < -32) s += 2;
    if (scroll < -64) s += 4;
    if (scroll > 32) app.p_AddFloor(1);
    p[PlScroll] += s;
    return s;
}

void TipOver(c_MyApp& app) {
    const Array<float>& p = app.m_Player;
    float tilt = p[PlTilt];
    if ((tilt < -TipAngle || tilt > TipAngle) && p[PlCollapseSide] == 0) {
        if (p[PlCollapseTimer] == 0) p[PlCollapseTimer] = 1;
        p[PlCollapseSide] = tilt > 0 ? 1.0f : -1.0f;
        app.p_PlaySFX(SfxTip, 1, 1, 0);
    }
}

// One row per press of the add-row key.
void AddRowKey(c_MyApp& app) {
    const Array<float>& p = app.m_Player;
    if (app.p_PlayKey(ActionX, 0, 0) == 0) {
        p[PlAddLatch] = 0;
    } else if (p[PlAddLatch] == 0) {
        app.p_AddFloor(1);
        p[PlAddLatch] = 1;
    }
}

void MovePlayer(c_MyApp& app) {
    const Array<float>& p = app.m_Player;
    p[PlVY] += 0.25f;
    if (p[PlVX] > 0.5f) p[PlFacing] = 1;
    if (p[PlVX] < -0.5f) p[PlFacing] = -1;
    if (p[PlCollapseTimer] == 0) {
        p[PlWalkFrame] = p[PlVX] == 0 ? 0.0f : std::fmod(p[PlWalkFrame] + 1, 20.0f);
        p[PlX] += p[PlVX];
    }
    p[PlY] += p[PlVY];
    p[PlYCopy] = p[PlY];
    CellPos at = CellPosOf(p[PlX], p[PlYCopy]);
    p[PlYMod] = at.yMod;
    p[PlXMod] = at.xMod;
    p[PlGX] = at.gx;
    p[PlGY] = at.gy;
}

// Landing on a floor and bumping one from below with the head.
void LandOrBump(c_MyApp& app) {
    const Array<float>& p = app.m_Player;
    CellPos at = PlayerCell(p);
    bool floorBelow = app.p_isFloor(at.gx, at.gy + 1);
    if (p[PlVY] > 4) p[PlVY] = 6; // the player drops faster than objects, whose fall stops at 4
    if (StandsOnFloor(at, p[PlVY], floorBelow)) {
        p[PlVY] = 0;
        p[PlY] = at.gy * 32 - 0.5f;
        p[PlGroundTimer] = 3;
    } else {
        p[PlGroundTimer] = std::max(p[PlGroundTimer] - 1, 0.0f);
    }
    if (at.yMod <= 6 && p[PlVY] < 0 && app.p_isFloor(at.gx, at.gy)) {
        p[PlVY] = 0.5f;
        app.p_BumpFloor(at.gx, at.gy);
    }
}

void DrawPlayer(c_MyApp& app) {
    const Array<float>& p = app.m_Player;
    app.p_ResetDraw();
    app.p_SetSize(p[PlFacing] < 0 ? -0.75f : 0.75f, 0.75f);
    p[PlAnimPhase] = std::fmod(p[PlAnimPhase] + 0.2f, 3.0f);
    float frame = 10;
    if (p[PlGroundTimer] != 0) {
        if (p[PlVX] == 0) p[PlAnimPhase] = 0;
        frame = 7 + std::floor(p[PlAnimPhase]);
    }
    if (p[PlCollapseTimer] == 0) app.p_DrawImg(ImgGfx, p[PlX], p[PlY] + p[PlScroll] - 6, frame);
}

// The player bursts into debris, fewer pieces each update, and the round is over past 50.
void EndSequence(c_MyApp& app) {
    const Array<float>& p = app.m_Player;
    if (p[PlCollapseTimer] <= 0) return;
    p[PlCollapseTimer] += 1;
    if (p[PlCollapseTimer] == 2) app.p_PlaySFX(SfxEnd, 1, 1, 0);
    for (int n = 0; float(n) <= (50 - p[PlCollapseTimer]) / 10; ++n) {
        float u1 = vx_random_Rnd(), u2 = vx_random_Rnd(), u3 = vx_random_Rnd(), u4 = vx_random_Rnd();
        app.p_ThrowParticle(p[PlX], p[PlY] + p[PlScroll], FloorInt(1 + u4 * 2.99f), FloorInt(1 + u3 * 1.99f),
                            u2 * 140 - 70, u1 * 3 + 2);
    }
    if (p[PlCollapseTimer] > 50) app.m_RoundOver = 1;
}

void Steer(c_MyApp& app) {
    const Array<float>& p = app.m_Player;
    CellPos at = PlayerCell(p);
    float vx = 2 * app.m_AnalogX;
    if (WallLeft(app, at) && vx < 0) vx = 0;
    if (WallRight(app, at) && vx > 0) vx = 0;
    if (app.p_isSolid(at.gx, at.gy) && ((at.xMod < 12 && vx < 0) || (at.xMod > 20 && vx > 0))) vx = 0;
    p[PlVX] = vx;
}

// Standing outside the dead zone around the centre line leans the shaft; nothing pulls it back.
void Lean(c_MyApp& app) {
    struct LeanRule {
        float dead, factor;
    };
    static constexpr LeanRule rules[] = {{60, 0.0027f}, {40, 0.003f}, {20, 0.0034f}};
    const Array<float>& p = app.m_Player;
    if (p[PlCollapseTimer] != 0) return;
    const LeanRule& rule = rules[DifficultyIndex(app.m_Difficulty)];
    float x = p[PlX];
    if (x > rule.dead) p[PlTilt] -= (x - rule.dead) * rule.factor;
    if (x < -rule.dead) p[PlTilt] -= (x + rule.dead) * rule.factor;
}

// Holding the key jumps again on the first update back on the ground.
void Jump(c_MyApp& app) {
    const Array<float>& p = app.m_Player;
    if (app.p_PlayKey(ActionA, 0, 0) == 0) {
        p[PlJumpLatch] = 0;
    } else if (p[PlJumpLatch] == 0 && p[PlCollapseTimer] == 0 && p[PlGroundTimer] > 0) {
        p[PlVY] = -5;
        p[PlJumpLatch] = 1;
        app.p_PlaySFX(SfxJump, 1, 0.5f, 0);
    }
}

// Objects fall under the player's gravity; returns where the object now is in the grid.
CellPos FallObject(float* obj) {
    obj[ObjVY] += 0.25f;
    obj[ObjY] += obj[ObjVY];
    return CellPosOf(obj[ObjX], obj[ObjY]);
}

// Caps the fall and settles the object on a floor; true when it landed.
bool LandObject(c_MyApp& app, float* obj, const CellPos& at) {
    if (obj[ObjVY] > 4) obj[ObjVY] = 4;
    if (!StandsOnFloor(at, obj[ObjVY], app.p_isFloor(at.gx, at.gy + 1))) return false;
    obj[ObjVY] = 0;
    obj[ObjY] = at.gy * 32 - 0.5f;
    return true;
}

bool Touches(c_MyApp& app, float sx, float sy, float reach) {
    const Array<float>& p = app.m_Player;
    return std::fabs(sx - p[PlScreenX]) < reach && std::fabs(sy - p[PlScreenY]) < 8;
}

// A knocked walker: a coin that slides with the tilt until collected.
void MovePickup(c_MyApp& app, int slot, float* obj, int ms) {
    const Array<float>& p = app.m_Player;
    float sx = obj[ObjX], sy = obj[ObjY] + p[PlScroll];
    CellPos at = FallObject(obj);
    float drift = p[PlTilt] * 0.035f;
    if (WallLeft(app, at) && drift > 0) {
        obj[ObjDir] = 1;
    } else if (WallRight(app, at) && drift < 0) {
        obj[ObjDir] = -1;
    } else {
        obj[ObjX] -= drift;
    }
    LandObject(app, obj, at);
    if (Touches(app, sx, sy, 16) && p[PlCollapseTimer] == 0) {
        obj[ObjState] = ObjFree;
        app.p_Gimme(50, sx, sy);
        app.p_PlaySFX(SfxPickup, 1, 1, 0);
    }
    if (sy > jscrh) obj[ObjState] = ObjFree;
    double spin = std::sin(Radians(slot * 30 + ms * 0.25));
    app.p_SetSize(float(std::fabs(spin) * 0.5), 0.5f);
    app.p_DrawImg(ImgGfx, sx, sy - 6, 17);
}

// Knocks a walker whose floor was bumped from below: points, sparks, and it turns into a pickup.
void KnockWalker(c_MyApp& app, float* obj, float sx, float sy) {
    app.p_Gimme(10, sx, sy);
    app.p_PlaySFX(SfxKnock, 1, 1, 0);
    obj[ObjState] = ObjPickup;
    obj[ObjVY] = -2;
    for (int n = 0; n < 9; ++n) {
        float u1 = vx_random_Rnd(), u2 = vx_random_Rnd(), u3 = vx_random_Rnd();
        app.p_ThrowParticle(sx, sy, 3, FloorInt(2 + u3 * 2.99f), u2 * 90 - 45, u1 * 2 + 1);
    }
}

void MoveWalker(c_MyApp& app, int slot, float* obj, int clock) {
    const Array<float>& p = app.m_Player;
    float sx = obj[ObjX], sy = obj[ObjY] + p[PlScroll];
    CellPos at = FallObject(obj);
    float step = obj[ObjDir] * obj[ObjSpeed] - p[PlTilt] * 0.035f;
    if (WallLeft(app, at) && step < 0) {
        obj[ObjDir] = 1;
    } else if (WallRight(app, at) && step > 0) {
        obj[ObjDir] = -1;
    } else {
        obj[ObjX] += step;
    }
    bool alive = p[PlCollapseTimer] == 0;
    if (LandObject(app, obj, at) && app.p_isBump(at.gx, at.gy + 1) && alive) KnockWalker(app, obj, sx, sy);
    if (Touches(app, sx, sy, 14) && obj[ObjState] == ObjWalker && alive) {
        p[PlCollapseTimer] = 1;
    } else if (p[PlCollapseTimer] == 2) {
        app.p_StopTune();
    }
    if (sy > jscrh) obj[ObjState] = ObjFree;
    app.p_SetSize(obj[ObjDir] > 0 ? -1.0f : 1.0f, 1);
    app.p_DrawImg(ImgGfx, sx, sy - 8, float(14 + (clock + slot) % 3));
}

void MoveObjects(c_MyApp& app) {
    int ms = app.p_Millisecs();
    int clock = ms / 120;
    for (int slot = 0; slot <= ObjLast; ++slot) {
        float* obj = &app.m_Obj[slot * RecordFloats];
        int state = TruncInt(obj[ObjState]);
        if (state == ObjPickup) MovePickup(app, slot, obj, ms);
        if (state == ObjWalker) MoveWalker(app, slot, obj, clock);
    }
}

void FallOut(c_MyApp& app) {
    const Array<float>& p = app.m_Player;
    if (p[PlScreenY] > (jscrh + overscan) * 0.5f + 32 && p[PlCollapseTimer] == 0) p[PlCollapseTimer] = 1;
}

// The current difficulty's ten best scores, best first.
int* ScoreTable(c_MyApp& app) { return &app.m_HiScore[BestScoresBase(app.m_Difficulty)]; }

// The rank the score now holds on the score line (ties rank below) and the score to beat next.
void RankLine(c_MyApp& app, int& rank, int& target) {
    const int* table = ScoreTable(app);
    rank = ScoreTableEntries;
    target = table[ScoreTableEntries - 1];
    for (int k = ScoreTableEntries - 1; k >= 0; --k) {
        if (table[k] < app.m_Score || table[k] == 0) {
            rank = k;
            target = table[std::max(k - 1, 0)];
        }
    }
}

// By key or by the pause icon: the pause screen slides in with Resume selected.
void EnterPause(c_MyApp& app) {
    app.m_Paused = 1;
    app.m_PauseSel = 1;
    app.m_PauseAnim = 0;
    app.p_PlaySFX(SfxConfirm, 1, 0.5f, 0);
}

void DrawVeil(c_MyApp& app, float alpha) {
    app.p_SetCol(0, 0, 0, alpha);
    float margin = FadeOutStyle == 1 ? overscan + 1 : 1;
    app.p_Rect(-margin, -margin, jscrw + 2 * margin, jscrh + 2 * margin);
}

// A fan of black triangles from the bottom centre that turns slowly; in the round it opens as the
// overlay counter grows, over the menu it closes as the counter falls.
void DrawFan(c_MyApp& app, float alpha) {
    float cx = jscrw / 2, cy = jscrh + overscan;
    int turn = (vx_app_Millisecs() / 60) % 20; // drawing reads the live clock, not the round's
    int from = -12, to = 12;
    if (app.m_Screen < ScreenRound) {
        from = std::max(12 - app.m_OverTimer / 4, -12);
    } else if (app.m_OverTimer / 2 - 12 < 13) {
        to = app.m_OverTimer / 2 - 12;
    }
    for (int k = from; k <= to; ++k) {
        double a1 = Radians(double(10 * k + turn)), a2 = Radians(double(10 * k + 10 + turn));
        app.p_SetCol(0, 0, 0, k % 2 == 0 ? alpha : alpha * alpha);
        app.p_Tri(cx, cy, float(cx + std::sin(a1) * 800), float(cy - std::cos(a1) * 800),
                  float(cx + std::sin(a2) * 800), float(cy - std::cos(a2) * 800));
    }
}

void DrawOverlay(c_MyApp& app) {
    // The menu that follows waits this long before its keys repeat.
    app.p_MenuRepeatHold() = 240;
    app.m_KeyNav = 1;
    app.m_PointerLock = 1;
    float alpha = std::min(float(app.m_OverTimer) / 40, 0.7f);
    app.p_ResetDraw();
    if (FadeOutStyle == 2) {
        DrawFan(app, alpha);
    } else {
        DrawVeil(app, alpha);
    }
    float h = float(TruncInt(std::min(float(app.m_OverTimer) * 12, jscrh * 0.45f)));
    app.p_SetCol(255, 255, 0, 0.5f);
    app.p_Rect(-1, jscrh * 0.45f - 8, 2 * h, 16);
    app.p_SetCol(255, 128, 0, 0.5f);
    app.p_Rect(jscrw - 2 * h, jscrh * 0.55f - 8, 2 * h + 1, 16);

    app.p_SetSize(4);
    app.p_SetCol(255, 180, 180, 1);
    bool quit = app.m_QuitRound == -1;
    app.p_Text(jscrw * 0.35f, h, quit ? String(u"Quit") : String(u"GAME"), 1, 1, 0);
    app.p_Text(jscrw * 0.65f, jscrh - h, quit ? String(u"Game") : String(u"OVER"), 1, 1, 0);

    String rank = app.p_MyNth();
    if (rank.Length() > 0) {
        app.p_SetCol(0, 125, 255, 0.5f);
        app.p_Rect(jscrw * 0.35f, jscrh - h / 1.5f - 16, jscrw * 0.3f, 32);
        app.p_SetSize(2);
        app.p_SetCol(100, 255, 100, 1);
        // Backslash and n are the text routine's line break.
        app.p_Text(jscrw / 2, jscrh - h / 1.5f, String(u"New Highscore\\n           ") + rank, 0.5f, 2, 0);
    }
    app.p_ResetDraw();
}

} // namespace

int c_MyApp::p_LoadGame() {
    const Array<float>& p = m_Player;
    p_ReplayRoundStart();
    m_Screen = ScreenRound;
    p_FlushGame();
    p_FirstRowLatch() = 1;
    p[PlScroll] = 0;
    for (int row = 0; row < RoundBuildRows; ++row) p_AddFloor(0);
    p[PlScroll] = 0;
    p[PlScrollSpeed] = 0;
    p[PlScrollSpeedMax] = 0.1f;
    p[PlX] = 0;
    p[PlY] = 0;
    p_PlayTune(RoundTune, 1);
    return 0;
}

int c_MyApp::p_ResetPlayers() {
    std::fill_n(m_Player.begin(), PlayerCleared, 0.0f);
    return 0;
}

int c_MyApp::p_Game() {
    const Array<float>& p = m_Player;
    p_DoBG(0, 0, 0, KeepBackground);
    p_Tilt(0);
    float scrollStep = ScrollShaft(*this);
    p_DoStars((p[PlPrevTilt] - p[PlTilt]) * 6, 0.2f + scrollStep);
    p_AnalogueControl();
    p[PlPrevTilt] = p[PlTilt];
    if (m_CleanView == 1) p[PlTilt] = 0;
    // The play view turns with the shaft until the score display.
    p_Tilt(p[PlTilt]);
    TipOver(*this);
    AddRowKey(*this);
    p_DoCells();
    MovePlayer(*this);
    LandOrBump(*this);
    // The player is drawn where the last update's steering moved it, before this update's input is
    // read (Steer, Lean, Jump below): a press shows one update later. The golden replays hold this
    // order, and the walkers' touch test reads the screen position stored between the two.
    DrawPlayer(*this);
    EndSequence(*this);
    p[PlScreenX] = p[PlX];
    p[PlScreenY] = p[PlY] + p[PlScroll];
    Steer(*this);
    Lean(*this);
    Jump(*this);
    MoveObjects(*this);
    FallOut(*this);
    p_DoParticles(1);
    p_TiltOff();
    p_ScoreDisplay();
    return 0;
}

int c_MyApp::p_InGame() {
    // The play step ran this update exactly when the round was not paused.
    const bool played = m_Paused == 0;
    p_ResetDraw();
    m_MenuSlide = -32;
    bool pauseKey = false;
    for (int player = 0; player <= 3; ++player) {
        if (p_PlayKey(ActionPause, 0, player) != 0) pauseKey = true;
        if (isOuya == 1 && p_PlayKey(ActionY, 0, player) != 0) pauseKey = true;
    }
    if (pauseKey && m_Paused == 0 && m_KeyNav == 0) {
        m_KeyNav = 1;
        EnterPause(*this);
    }
    if (m_CleanView != 1) {
        if (m_ControlStyle != StylePointer) p_Alpha(0.2f);
        p_Button(ImgIcons, 16, 16, IconPause);
        if (m_PauseHit == 1 && m_Paused == 0) {
            m_PointerLock = 1;
            EnterPause(*this);
        }
        p_Alpha(1);
    }
    if (played) m_PauseFrameN = m_DrawN;
    if (m_Paused == 1) p_PauseMenu();
    return 0;
}

int c_MyApp::p_Gimme(int amount, float x, float y) {
    m_Score += amount;
    // A floating number of life 1: kind 99, rising slowly, yellow.
    p_AddParticle(PartScore, x, y, 0, -0.25f, amount, 3, 0);
    return 0;
}

int c_MyApp::p_ScoreDisplay() {
    long long gap = (long long)m_ShownScore - m_Score;
    m_ShownScore = int(m_ShownScore - gap / 6);
    if (std::llabs((long long)m_ShownScore - m_Score) < 6) m_ShownScore = m_Score;
    if (m_CleanView == 1) return 0;

    if (m_ScoreText.Length() == 0 || m_ScoreTextOf != m_ShownScore) {
        m_ScoreText = p_rstr(m_ShownScore, 8, String(u"0"));
        m_ScoreTextOf = m_ShownScore;
    }
    p_ResetDraw();
    p_SetCol(100, 255, 100, 0.8f);
    p_SetSize(2);
    p_Text(jscrw / 2, 28, m_ScoreText, 1, 1, 0);

    int rank = 0, target = 0;
    RankLine(*this, rank, target);
    if (m_RankText.Length() == 0 || m_RankTextOf != rank || m_RankTargetOf != target) {
        m_RankText = p_Nth(rank + 1) + String(u" ") + p_rstr(target, 8, String(u"0"));
        m_RankTextOf = rank;
        m_RankTargetOf = target;
    }
    p_SetSize(1);
    p_SetCol(255, 255, 100, 0.8f);
    p_Text(jscrw / 2, 10, m_RankText, 1, 1, 0);
    p_ResetDraw();
    return 0;
}

String c_MyApp::p_Nth(int n) {
    if (n < 1 || n > 30) return String();
    const char16_t* suffix = u"th";
    if (n / 10 != 1 && n % 10 == 1) suffix = u"st";
    if (n / 10 != 1 && n % 10 == 2) suffix = u"nd";
    if (n / 10 != 1 && n % 10 == 3) suffix = u"rd";
    return String(n) + String(suffix, 2);
}

String c_MyApp::p_MyNth() {
    const int* table = ScoreTable(*this);
    for (int k = 0; k < ScoreTableEntries; ++k) {
        if (table[k] <= m_Score) {
            m_i = k + 1;
            return k == 0 ? String(u"1st!") : p_Nth(k + 1);
        }
    }
    m_i = 0;
    return String();
}

int c_MyApp::p_GameOver() {
    if (m_OverTimer > 0) DrawOverlay(*this);
    if (m_Screen >= ScreenRound) {
        m_OverTimer += 1;
        if (m_OverTimer == 90) {
            m_Screen = ScreenBackToMenu;
            m_OverTimer = 73;
            if (HasMusicStream == 1) p_StopTune();
        }
    } else {
        m_OverTimer = std::max(m_OverTimer - 2, 0);
    }
    return 0;
}

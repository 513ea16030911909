// The play view's effects: a star field drifting behind the shaft and short-lived particles
// (debris, sparks, floating score numbers). Both are fixed pools of 10-float records, so adding,
// moving and drawing them allocates nothing; a full particle pool simply drops the new particle.
#include "game/my_app.h"
#include "game/play_math.h"
#include "game/random.h"

#include <algorithm>

namespace {

bool CountInRange(int n) { return n >= 1 && n <= 499; }

float Frame256() { return std::floor(vx_random_Rnd() * 255.99f); }

// A star that left one side comes back on the other as a new star: new depth and frame.
void RenewStarDepthAndFrame(float* star) {
    star[StarDepth] = vx_random_Rnd() * 0.6f + 0.2f;
    star[StarFrame] = Frame256();
}

void RenewStarHeight(float* star) {
    star[StarY] = vx_random_Rnd() * (jscrh + 16) - (jscrh / 2 + 8);
    RenewStarDepthAndFrame(star);
}

void RenewStarColumn(float* star) {
    star[StarX] = vx_random_Rnd() * (jscrw + 16) - (jscrw / 2 + 8);
    RenewStarDepthAndFrame(star);
}

// Wraps one axis of a star by a whole span across each edge it has passed, renewing it each time.
void WrapStar(float* star, int axis, float half, void (*renew)(float*)) {
    if (star[axis] < -half) {
        star[axis] += 2 * half;
        renew(star);
    }
    if (star[axis] > half) {
        star[axis] -= 2 * half;
        renew(star);
    }
}

// Moves one star and wraps it around the view with its overscan margin.
void MoveStar(float* star, float dx, float dy) {
    star[StarX] += dx * star[StarDepth];
    star[StarY] += dy * star[StarDepth];
    WrapStar(star, StarX, jscrw / 2 + overscan + 16, RenewStarHeight);
    WrapStar(star, StarY, jscrh / 2 + overscan + 16, RenewStarColumn);
    star[StarRot] += star[StarSpin];
}

// Moves a particle and applies its kind's drag, gravity and bounce.
void MoveParticle(float* part, int kind) {
    part[PartX] += part[PartVX];
    part[PartY] += part[PartVY];
    part[PartRot] += part[PartSpin];
    if (kind == PartFaller) {
        part[PartVX] *= 0.95f;
        part[PartVY] += 0.2f;
    } else if (kind == PartBouncer) {
        part[PartVX] *= 0.98f;
        part[PartVY] += 0.2f;
        // A bouncer keeps its bounce height in the rotation field and hops back up below it.
        if (part[PartRot] < part[PartY]) part[PartVY] = vx_random_Rnd() * 2 - 3;
    }
}

// The texts of small numbers, made once: score numbers float for 100 updates and are drawn in each.
String NumberText(int value) {
    static String texts[100];
    if (value < 0 || value >= 100) return String(value);
    if (texts[value].Length() == 0) texts[value] = String(value);
    return texts[value];
}

bool IsSpark(int kind) { return kind >= 1 && kind <= 9; }

float LifeLoss(int kind) {
    if (kind == PartLasting) return 0.003f;
    if (kind == PartSquare) return 0.013f;
    return 0.01f;
}

} // namespace

int c_MyApp::p_ResetStars(int n) {
    p_SeedRnd(p_Millisecs());
    if (CountInRange(n)) {
        m_StarCount = n;
    } else {
        n = m_StarCount;
    }
    float hw = jscrw / 2 + 8;
    float hh = jscrh / 2 + 8;
    for (int i = 0; i <= n; ++i) {
        float* star = &m_Stars[i * RecordFloats];
        star[StarFrame] = Frame256();
        star[StarX] = vx_random_Rnd() * 2 * hw - hw;
        star[StarY] = vx_random_Rnd() * 2 * hh - hh;
        star[StarDepth] = vx_random_Rnd() * 0.6f + 0.2f;
        star[StarRot] = vx_random_Rnd() * 360;
        star[StarSpin] = vx_random_Rnd() - 0.5f;
    }
    return 0;
}

int c_MyApp::p_DoStars(float dx, float dy) {
    p_SeedRnd(p_Millisecs());
    p_ResetDraw();
    for (int i = 0; i <= m_StarCount; ++i) {
        float* star = &m_Stars[i * RecordFloats];
        MoveStar(star, dx, dy);
        // Nearer stars are brighter; they turn the opposite way to p_SetRot.
        p_Alpha(star[StarDepth] * 0.4f);
        m_Rot = star[StarRot];
        p_DrawImg(ImgParts, star[StarX], star[StarY], star[StarFrame]);
    }
    p_ResetDraw();
    return 0;
}

int c_MyApp::p_ResetParticles(int n) {
    if (CountInRange(n)) {
        m_PartMax = n;
    } else {
        n = m_PartMax;
    }
    for (int i = 0; i <= n; ++i) m_Part[i * RecordFloats + PartKind] = PartFree;
    return 0;
}

// The highest free record, so that after a burst the low records stay free longest.
int c_MyApp::p_FreeParticle() {
    for (int i = m_PartMax; i >= 0; --i) {
        if (m_Part[i * RecordFloats + PartKind] == PartFree) return i * RecordFloats;
    }
    return -1;
}

// The free record taken for a new particle of that kind at (x, y), or null when the pool is full.
float* c_MyApp::p_PlaceParticle(int kind, float x, float y) {
    int at = p_FreeParticle();
    if (at < 0) return nullptr;
    float* part = &m_Part[at];
    part[PartKind] = float(kind);
    part[PartX] = x;
    part[PartY] = y;
    return part;
}

int c_MyApp::p_AddParticle(int kind, float x, float y, float vx, float vy, int frame, int colour, int life) {
    float* part = p_PlaceParticle(kind, x, y);
    if (!part) return 0;
    part[PartVX] = vx;
    part[PartVY] = vy;
    part[PartRot] = std::floor(vx_random_Rnd() * 360.99f);
    part[PartSpin] = vx_random_Rnd() * 14 - 7;
    part[PartLife] = float(life) + 1;
    part[PartColour] = float(colour);
    part[PartFrame] = float(frame);
    return 0;
}

int c_MyApp::p_ThrowParticle(float x, float y, int kind, int colour, float angle, float speed) {
    // The defaults are drawn even when the pool turns out to be full.
    if (angle == Omitted) angle = vx_random_Rnd() * 360;
    if (speed == Omitted) speed = vx_random_Rnd() * 5 + 3;
    float* part = p_PlaceParticle(kind, x, y);
    if (!part) return 0;
    part[PartVX] = speed * float(PlaySinDeg(angle));
    part[PartVY] = -speed * float(PlayCosDeg(angle));
    part[PartRot] = vx_random_Rnd() * 360;
    part[PartSpin] = vx_random_Rnd() * 16 - 8;
    if (kind == PartBouncer) {
        part[PartRot] = y + vx_random_Rnd() * 32 - 16;
        part[PartSpin] = 0;
    }
    part[PartLife] = vx_random_Rnd() * 0.6f + 0.7f;
    part[PartColour] = float(colour);
    part[PartFrame] = Frame256();
    return 0;
}

int c_MyApp::p_DoParticles(float scale) {
    p_ResetDraw();
    for (int i = 0; i <= m_PartMax; ++i) {
        float* part = &m_Part[i * RecordFloats];
        int kind = TruncInt(part[PartKind]);
        if (kind <= PartFree) continue;
        MoveParticle(part, kind);
        p_SetRot(kind == PartScore ? 0 : part[PartRot]);
        p_Alpha(std::min(part[PartLife], 1.0f));
        p_SetSize(scale, scale);
        p_Ink(TruncInt(part[PartColour]), 1);
        if (IsSpark(kind)) {
            p_DrawImg(ImgParts, part[PartX], part[PartY], part[PartFrame]);
        } else if (kind == PartSquare) {
            p_Rect(std::floor(part[PartX] / 16) * 16, std::floor(part[PartY] / 16) * 16, 16, 16);
        } else if (kind == PartScore) {
            p_Text(part[PartX], part[PartY], NumberText(TruncInt(part[PartFrame])), 1, 1, 0);
        }
        part[PartLife] -= LifeLoss(kind);
        if (part[PartLife] < 0) part[PartKind] = PartFree;
    }
    p_ResetDraw();
    return 0;
}

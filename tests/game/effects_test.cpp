// Stars and particles: the two pools, their draws from the generator, motion, wrapping, ageing and
// what they record in the draw list.
#include "tests/game/game_harness.h"

#include <vector>

namespace {

using gametest::After;
using gametest::CommandAt;
using gametest::CommandCount;
using gametest::GameTest;

class EffectsTest : public GameTest {
  protected:
    float& Part(int record, int field) { return app->m_Part[record * RecordFloats + field]; }
    float& Star(int record, int field) { return app->m_Stars[record * RecordFloats + field]; }
    void FillParticles() {
        for (int i = 0; i <= app->m_PartMax; ++i) Part(i, PartKind) = 1;
    }
    std::vector<float> Parts() { return {app->m_Part.begin(), app->m_Part.end()}; }
};

TEST_F(EffectsTest, FullPoolDropsNewParticlesButStillDrawsTheirDefaults) {
    FillParticles();
    auto before = Parts();
    vx_random_Seed = 11;
    app->p_ThrowParticle(0, 0, 1, 1, Omitted, Omitted);
    EXPECT_EQ(vx_random_Seed, After(11, 2));
    app->p_ThrowParticle(0, 0, 1, 1, 45, 3);
    app->p_AddParticle(1, 0, 0, 1, 1, 5, 2, 1);
    EXPECT_EQ(vx_random_Seed, After(11, 2));

    app->m_Score = 7;
    app->p_Gimme(50, 10, 10);
    EXPECT_EQ(app->m_Score, 57);
    EXPECT_EQ(vx_random_Seed, After(11, 2));
    EXPECT_EQ(Parts(), before);
    EXPECT_EQ(app->p_FreeParticle(), -1);
}

TEST_F(EffectsTest, NewParticlesTakeTheHighestFreeRecord) {
    EXPECT_EQ(app->p_FreeParticle(), 2500);
    for (int i = 0; i < 3; ++i) app->p_ThrowParticle(0, 0, 1, 1, 0, 1);
    for (int record : {250, 249, 248}) EXPECT_EQ(Part(record, PartKind), 1) << record;
    EXPECT_EQ(Part(247, PartKind), PartFree);

    FillParticles();
    Part(5, PartKind) = PartFree;
    Part(7, PartKind) = PartFree;
    app->p_Gimme(10, 0, 0);
    EXPECT_EQ(Part(7, PartKind), PartScore);
    EXPECT_EQ(app->p_FreeParticle(), 50);
}

TEST_F(EffectsTest, ThrownParticleHeadsAlongItsAngle) {
    struct Case {
        int kind;
        float angle, speed, vx, vy;
        int draws;
    };
    const Case cases[] = {
        {1, 0, 2, 0, -2, 4},             // up
        {PartFaller, 90, 2, 2, 0, 4},    // right (clockwise from up)
        {PartBouncer, 180, 1, 0, 1, 5},  // down; a bouncer draws its bounce height too
        {PartLasting, -90, 3, -3, 0, 4}, // left
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        app->p_ResetParticles(250);
        vx_random_Seed = 5;
        app->p_ThrowParticle(10, 20, c.kind, 6, c.angle, c.speed);
        EXPECT_EQ(vx_random_Seed, After(5, c.draws));
        EXPECT_EQ(Part(250, PartKind), c.kind);
        EXPECT_EQ(Part(250, PartX), 10);
        EXPECT_EQ(Part(250, PartY), 20);
        EXPECT_NEAR(Part(250, PartVX), c.vx, 1e-5);
        EXPECT_NEAR(Part(250, PartVY), c.vy, 1e-5);
        EXPECT_GE(Part(250, PartLife), 0.7f);
        EXPECT_LT(Part(250, PartLife), 1.3f);
        EXPECT_EQ(Part(250, PartColour), 6);
        float frame = Part(250, PartFrame);
        EXPECT_TRUE(frame >= 0 && frame <= 255 && frame == std::floor(frame)) << frame;
        if (c.kind == PartBouncer) {
            EXPECT_GE(Part(250, PartRot), 20 - 16);
            EXPECT_LT(Part(250, PartRot), 20 + 16);
            EXPECT_EQ(Part(250, PartSpin), 0);
        } else {
            EXPECT_GE(Part(250, PartSpin), -8);
            EXPECT_LT(Part(250, PartSpin), 8);
        }
    }
}

TEST_F(EffectsTest, ParticlesMoveAndAgeByKind) {
    struct Case {
        int kind;
        float vx, vy; // after one update, from (1, -1)
        float lifeLoss;
    };
    const Case cases[] = {
        {1, 1, -1, 0.01f},           {PartFaller, 0.95f, -0.8f, 0.01f}, {PartLasting, 1, -1, 0.003f},
        {PartSquare, 1, -1, 0.013f}, {PartScore, 1, -1, 0.01f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        app->p_ResetParticles(250);
        app->p_AddParticle(c.kind, 40, 50, 1, -1, 7, 3, 0);
        float rot = Part(250, PartRot), spin = Part(250, PartSpin);
        app->p_DoParticles(1);
        EXPECT_EQ(Part(250, PartX), 41);
        EXPECT_EQ(Part(250, PartY), 49);
        EXPECT_FLOAT_EQ(Part(250, PartVX), c.vx);
        EXPECT_FLOAT_EQ(Part(250, PartVY), c.vy);
        EXPECT_FLOAT_EQ(Part(250, PartRot), rot + spin);
        EXPECT_FLOAT_EQ(Part(250, PartLife), 1 - c.lifeLoss);
    }

    // A bouncer below its bounce height hops back up at 1 to 3 pixels per update.
    app->p_ResetParticles(250);
    app->p_ThrowParticle(0, 100, PartBouncer, 2, 180, 2);
    Part(250, PartRot) = 90;
    app->p_DoParticles(1);
    EXPECT_GE(Part(250, PartVY), -3);
    EXPECT_LT(Part(250, PartVY), -1);
    EXPECT_NEAR(Part(250, PartVX), 0, 1e-5);

    // Life below 0 frees the record.
    Part(250, PartLife) = 0.005f;
    app->p_DoParticles(1);
    EXPECT_EQ(Part(250, PartKind), PartFree);
}

TEST_F(EffectsTest, ParticlesRecordTheirPicture) {
    app->p_AddParticle(5, 40, 50, 0, 0, 33, 4, 0);         // record 250: an image of the parts sheet
    app->p_AddParticle(PartSquare, 40, 50, 0, 0, 0, 9, 0); // record 249: a square on the 16-pixel grid
    Part(249, PartLife) = 0.5f;
    app->m_DrawN = 0;
    app->p_DoParticles(2);
    ASSERT_EQ(CommandCount(), 2);

    gametest::Command square = CommandAt(0);
    EXPECT_EQ(square[CmdCode], DrawRect);
    EXPECT_EQ(square[CmdX], 32);
    EXPECT_EQ(square[CmdY], 48);
    EXPECT_EQ(square[CmdScaleX], 16) << "width";
    EXPECT_EQ(square[CmdAlpha], 0.5f);
    EXPECT_EQ(square[CmdRed], 255);
    EXPECT_EQ(square[CmdBlue], 255);

    gametest::Command image = CommandAt(1);
    EXPECT_EQ(image[CmdCode], ImgParts);
    EXPECT_EQ(image[CmdRot], -Part(250, PartRot));
    EXPECT_EQ(image[CmdScaleX], 2);
    EXPECT_EQ(image[CmdScaleY], 2);
    EXPECT_EQ(image[CmdFrame], 33);
    EXPECT_EQ(image[CmdAlpha], 1);
    EXPECT_FLOAT_EQ(image[CmdRed], 25.5f); // green
    EXPECT_EQ(image[CmdGreen], 255);
    EXPECT_EQ(app->m_SizeX, 1); // the drawing state is reset afterwards
}

// A score of 50 floats up as the yellow text "50", upright, fading out over about 100 updates.
TEST_F(EffectsTest, ScoreNumberShowsItsPointsUntilItFades) {
    app->p_Gimme(50, 100, 200);
    EXPECT_EQ(Part(250, PartKind), PartScore);
    EXPECT_EQ(Part(250, PartFrame), 50);
    app->m_DrawN = 0;
    app->p_DoParticles(1);
    ASSERT_EQ(CommandCount(), 2); // one glyph command per digit
    for (int i = 0; i < 2; ++i) {
        gametest::Command glyph = CommandAt(i);
        EXPECT_EQ(glyph[CmdCode], app->m_Font);
        EXPECT_EQ(glyph[CmdRot], 0);
        EXPECT_EQ(glyph[CmdFrame], (i == 0 ? '5' : '0') - 32);
        EXPECT_EQ(glyph[CmdAlpha], 1);
        EXPECT_EQ(glyph[CmdRed], 255);
        EXPECT_EQ(glyph[CmdGreen], 255);
        EXPECT_FLOAT_EQ(glyph[CmdBlue], 25.5f);
    }
    int updates = 1;
    while (Part(250, PartKind) == PartScore && updates < 200) {
        app->p_DoParticles(1);
        ++updates;
    }
    EXPECT_NEAR(updates, 100, 1);
}

// A limit out of 1 to 499 keeps the old one, and a reset clears records up to the limit only.
TEST_F(EffectsTest, ParticleLimitChangesOnlyWithinRange) {
    FillParticles();
    Part(251, PartKind) = 1;
    app->p_ResetParticles(0);
    EXPECT_EQ(app->m_PartMax, 250);
    EXPECT_EQ(Part(250, PartKind), PartFree);
    EXPECT_EQ(Part(251, PartKind), 1) << "above the limit";
    app->p_ResetParticles(300);
    EXPECT_EQ(app->m_PartMax, 300);
    EXPECT_EQ(Part(251, PartKind), PartFree);
    Part(300, PartKind) = Part(301, PartKind) = 1;
    app->p_ResetParticles(500);
    EXPECT_EQ(app->m_PartMax, 300);
    EXPECT_EQ(Part(300, PartKind), PartFree);
    EXPECT_EQ(Part(301, PartKind), 1);
}

TEST_F(EffectsTest, ResetStarsKeepsTheCountOutsideOneTo499) {
    for (int n : {0, 500}) {
        SCOPED_TRACE(n);
        Star(100, StarDepth) = 5;
        Star(101, StarDepth) = 5;
        app->p_ResetStars(n);
        EXPECT_EQ(app->m_StarCount, 100);
        EXPECT_GE(Star(100, StarDepth), 0.2f);
        EXPECT_LT(Star(100, StarDepth), 0.8f);
        EXPECT_EQ(Star(101, StarDepth), 5);
    }
    app->p_ResetStars(20);
    EXPECT_EQ(app->m_StarCount, 20);

    // Reseeded from the clock: the same millisecond gives the same sky.
    std::vector<float> first(app->m_Stars.begin(), app->m_Stars.end());
    app->p_ResetStars(20);
    EXPECT_EQ(std::vector<float>(app->m_Stars.begin(), app->m_Stars.end()), first);
    for (int i = 0; i <= 20; ++i) {
        EXPECT_LE(std::fabs(Star(i, StarX)), jscrw / 2 + 8);
        EXPECT_LE(std::fabs(Star(i, StarY)), jscrh / 2 + 8);
        EXPECT_GE(Star(i, StarSpin), -0.5f);
        EXPECT_LT(Star(i, StarSpin), 0.5f);
    }
}

// A star leaving one edge comes back on the opposite edge, beyond the overscan margin, as a new star.
TEST_F(EffectsTest, StarsWrapAroundEachEdge) {
    overscan = 10;
    const float w = 640 / 2 + 10 + 16, h = 480 / 2 + 10 + 16;
    struct Case {
        const char* edge;
        float x, y, dx, dy;
        float wrappedX, wrappedY; // the coordinate that wraps; NAN where it is renewed
    };
    const Case cases[] = {
        {"left", -w + 1, 5, -4, 0, w - 1, NAN},
        {"right", w - 1, 5, 4, 0, -w + 1, NAN},
        {"top", 5, -h + 1, 0, -4, NAN, h - 1},
        {"bottom", 5, h - 1, 0, 4, NAN, -h + 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edge);
        app->p_ResetStars(1);
        Star(0, StarX) = c.x;
        Star(0, StarY) = c.y;
        Star(0, StarDepth) = 0.5f;
        Star(0, StarFrame) = 300; // no renewal can give this frame
        Star(1, StarX) = 0;
        Star(1, StarY) = 0;
        Star(1, StarDepth) = 0.5f;
        app->p_DoStars(c.dx, c.dy);
        if (std::isnan(c.wrappedY)) {
            EXPECT_EQ(Star(0, StarX), c.wrappedX);
            EXPECT_LE(std::fabs(Star(0, StarY)), 480 / 2 + 8);
        } else {
            EXPECT_EQ(Star(0, StarY), c.wrappedY);
            EXPECT_LE(std::fabs(Star(0, StarX)), 640 / 2 + 8);
        }
        EXPECT_LT(Star(0, StarFrame), 256);
        EXPECT_GE(Star(0, StarDepth), 0.2f);
        EXPECT_EQ(Star(1, StarX), c.dx * 0.5f);
        EXPECT_EQ(Star(1, StarY), c.dy * 0.5f);
    }
}

TEST_F(EffectsTest, StarsDrawFaintlyByDepthAndTurn) {
    app->p_ResetStars(1);
    Star(1, StarDepth) = 0.5f;
    Star(1, StarRot) = 10;
    Star(1, StarSpin) = 0.25f;
    app->m_DrawN = 0;
    app->p_DoStars(0, 0);
    ASSERT_EQ(CommandCount(), 2);
    gametest::Command star = CommandAt(1);
    EXPECT_EQ(star[CmdCode], ImgParts);
    EXPECT_EQ(star[CmdX], Star(1, StarX));
    EXPECT_EQ(star[CmdRot], 10.25f);
    EXPECT_FLOAT_EQ(star[CmdAlpha], 0.2f);
    EXPECT_EQ(star[CmdFrame], Star(1, StarFrame));
    EXPECT_EQ(app->m_Rot, 0);
}

} // namespace

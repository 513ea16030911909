// Sessions as players have them: one game, many rounds, and between and inside them everything a
// player does. A scripted player picks a difficulty and keys or a pad (and steers by dragging now
// and then), pauses by key, by the pause icon and by leaving the window, moves the overscan border,
// resizes the window in a round and while it loads, opens the options box and the side panel, lets
// the demo run, watches a kept round, and quits rounds from the pause screen. Every round's replay
// must verify in the headless verifier, and the demo and the watched rounds must go the recorded way.
//
// Seeded: SPINDRIFT_SEED plays another session (SPINDRIFT_ROUNDS another length), and a failure
// names the seed and what the player did in the round that failed.
#include "game/replay.h"
#include "game_bot.h"
#include "tests/support/verifier.h"

#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace gametest;

unsigned EnvNumber(const char* name, unsigned fallback) {
    const char* text = std::getenv(name);
    return text ? unsigned(std::strtoul(text, nullptr, 10)) : fallback;
}

// The sanitizers make every update several times slower; the optimised build plays a longer session.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr unsigned kRoundsPerSession = 12;
#else
constexpr unsigned kRoundsPerSession = 40;
#endif

constexpr int kSizes[][2] = {{640, 480}, {800, 450}, {1280, 720}, {480, 640}, {1024, 768}, {900, 300}};

// The window takes a new size as a player's drag gives it; the next render sees it and reloads.
void Resize(int width, int height) {
    glfwSetWindowSize(Host()->Window(), width, height);
    glfwPollEvents();
}

// One session's player: keys or a pad, and a log of what it did in the current round.
class SessionPlayer {
  public:
    explicit SessionPlayer(unsigned seed) : random(seed) {
        Clock().plugged[0] = {std::vector<float>(6), std::vector<unsigned char>(15), GamepadAtRest()};
    }
    ~SessionPlayer() { Clock().plugged.clear(); }

    std::string log;

    bool Chance(int percent) { return int(random() % 100) < percent; }
    int Pick(int n) { return int(random() % unsigned(n)); }
    void Note(const std::string& what) {
        log += what + "; ";
        if (std::getenv("SPINDRIFT_TRACE")) std::fprintf(stderr, "%s\n", what.c_str());
    }

    void Frame() {
        Update();
        if (++frames % 3 == 0) ShowFrame();
    }
    void Frames(int n) {
        for (int i = 0; i < n; ++i) Frame();
    }
    // A key or a pad button held for two updates, then let go for two.
    void Press(int key, int padButton) {
        if (pad) {
            Pad().buttons[padButton] = GLFW_PRESS;
        } else {
            PressKey(key);
        }
        Frames(2);
        if (pad) {
            Pad().buttons[padButton] = GLFW_RELEASE;
        } else {
            ReleaseKey(key);
        }
        Frames(2);
    }

    // Pressed again every few updates (the menu ignores keys while it settles) until `done`.
    template <class Done> bool PressUntil(int key, int padButton, Done done) {
        for (int attempt = 0; attempt < 40 && !done(); ++attempt) {
            Press(key, padButton);
            Frames(4);
        }
        return done();
    }

    // Between rounds, in the menu: any of the things a player does there.
    void BetweenRounds() {
        SettleInMenu();
        if (Chance(30)) OptionsBox();
        if (Chance(25)) SidePanel();
        if (Chance(25)) ResizeNow("in the menu");
        if (Chance(15) && std::filesystem::exists(LastReplayPath)) Demo();
        if (Chance(10) && std::filesystem::exists(LastReplayPath)) Watch();
    }

    // From the menu into a round, confirmed by Enter or the pad's A.
    bool StartRound(int difficulty, bool withPad) {
        pad = withPad;
        log.clear();
        Note(std::string("difficulty ") + std::to_string(difficulty) + (pad ? ", pad" : ", keys"));
        for (int attempt = 0; attempt < 20; ++attempt) {
            SettleInMenu();
            App()->m_Focus = 1;
            App()->m_MenuRow = difficulty - 1;
            Press(VkEnter, GLFW_GAMEPAD_BUTTON_A);
            if (RunUntil([] { return App()->m_Screen == ScreenRound; }, 30, 3)) return true;
        }
        return false;
    }

    // Plays until the menu is back, with pauses, focus changes, resizes and the options box on the
    // way; the round may also be quit from the pause screen.
    bool PlayRound(int limit) {
        for (int i = 0; i < limit; ++i) {
            if (App()->m_Screen == ScreenMenu) {
                LetGo();
                return true;
            }
            if (App()->m_Screen == ScreenRound && App()->m_RoundOver == 0 && App()->m_Paused == 0) {
                if (Chance(1)) {
                    PauseAndComeBack();
                    continue;
                }
                if (Chance(1)) ResizeNow("in the round");
            }
            Step();
        }
        LetGo();
        return false;
    }

  private:
    GLFWgamepadstate& Pad() { return *Clock().plugged[0].gamepad; }

    void SettleInMenu() {
        RunUntil([] { return App()->m_Screen == ScreenMenu && App()->m_Loading == 0; }, 2000, 3);
    }

    void ResizeNow(const char* where) {
        const auto& size = kSizes[Pick(std::size(kSizes))];
        Note(std::string("resize ") + where + " to " + std::to_string(size[0]) + "x" +
             std::to_string(size[1]));
        Resize(size[0], size[1]);
        ShowFrame();
        // Now and then a second size before the load is over.
        if (Chance(40)) {
            Frames(1 + Pick(8));
            const auto& again = kSizes[Pick(std::size(kSizes))];
            Note("and again to " + std::to_string(again[0]) + "x" + std::to_string(again[1]) +
                 " while loading");
            Resize(again[0], again[1]);
            ShowFrame();
        }
    }

    // Where a point of the virtual screen is on the device, as the last render fitted it.
    static float DeviceX(float x) { return x * App()->m_ScaleX + overscan; }
    static float DeviceY(float y) { return y * App()->m_ScaleY + App()->p_OverscanY(); }

    // A drag from the middle of the screen sideways and back: the pointer steers as a stick.
    void Drag() {
        Note("drag");
        const float x = DeviceX(jscrw / 2), y = DeviceY(jscrh / 2), reach = float(Pick(121) - 60);
        Host()->MouseEvent(MouseDown, 0, x, y);
        for (int i = 1; i <= 30; ++i) {
            Host()->MouseEvent(MouseMove, 0, x + reach * float(std::min(i, 40 - i)) / 10, y);
            Frame();
        }
        Host()->MouseEvent(MouseUp, 0, x, y);
    }

    // One update of play: runs, turns and jumps at random, by keys or by the pad.
    void Step() {
        if (Chance(1)) Drag();
        if (held != 0 && Chance(3)) Hold(0);
        if (held == 0 && Chance(12)) Hold(Chance(35) ? -1 : 1);
        const bool jump = Chance(8);
        if (jump) Button(true);
        Frame();
        if (jump) Button(false);
    }
    void Hold(int direction) {
        if (pad) {
            Pad().axes[GLFW_GAMEPAD_AXIS_LEFT_X] = float(direction);
        } else {
            if (held != 0) ReleaseKey(held < 0 ? VkLeft : VkRight);
            if (direction != 0) PressKey(direction < 0 ? VkLeft : VkRight);
        }
        held = direction;
    }
    void Button(bool down) {
        if (pad) {
            Pad().buttons[GLFW_GAMEPAD_BUTTON_A] = down ? GLFW_PRESS : GLFW_RELEASE;
        } else if (down) {
            PressKey(VkSpace);
        } else {
            ReleaseKey(VkSpace);
        }
    }
    void LetGo() {
        Hold(0);
        Pad() = GamepadAtRest();
    }

    // Paused by its key or by leaving the window; then resumed, or the options box visited, or the
    // round quit.
    void PauseAndComeBack() {
        LetGo();
        switch (Pick(3)) {
        case 0:
            Note("pause by key");
            Press(VkEscape, GLFW_GAMEPAD_BUTTON_START);
            break;
        case 1:
            Note("pause by the pause icon");
            Host()->MouseEvent(MouseDown, 0, DeviceX(16), DeviceY(16));
            Frames(2);
            Host()->MouseEvent(MouseUp, 0, DeviceX(16), DeviceY(16));
            break;
        default:
            Note("focus lost");
            Host()->SuspendGame();
            Host()->ResumeGame();
        }
        Frames(10 + Pick(40));
        // The overscan border, which the stars and the pointer go by.
        for (int i = Pick(4); i > 0; --i) {
            Note("overscan");
            if (Chance(50)) {
                Press('U', GLFW_GAMEPAD_BUTTON_LEFT_BUMPER);
            } else {
                Press('O', GLFW_GAMEPAD_BUTTON_RIGHT_BUMPER);
            }
        }
        if (Chance(25)) {
            Note("quit from the pause screen");
            Press(VkDown, GLFW_GAMEPAD_BUTTON_DPAD_DOWN);
            Press(VkEnter, GLFW_GAMEPAD_BUTTON_A);
        } else {
            Note("resume");
            Press(VkEnter, GLFW_GAMEPAD_BUTTON_A);
        }
        Frames(20);
    }

    // Opened, a setting or two changed (the stick directions, the sound mode), and closed.
    void OptionsBox() {
        Note("options box");
        if (!PressUntil(VkLeft, GLFW_GAMEPAD_BUTTON_DPAD_LEFT, [] { return App()->m_Focus == 0; })) return;
        if (!PressUntil(VkEnter, GLFW_GAMEPAD_BUTTON_A, [] { return App()->m_OptionOpen == 1; })) return;
        Frames(30);
        for (int i = 1 + Pick(4); i > 0; --i) Press(VkDown, GLFW_GAMEPAD_BUTTON_DPAD_DOWN);
        // Any item but the window's, which would leave the session's window.
        if (App()->m_OptSel != 3) Press(VkEnter, GLFW_GAMEPAD_BUTTON_A);
        PressUntil(VkEscape, GLFW_GAMEPAD_BUTTON_START, [] { return App()->m_OptionOpen == 0; });
        // Now and then the round starts while the box still slides out.
        Frames(Pick(40));
        PressUntil(VkRight, GLFW_GAMEPAD_BUTTON_DPAD_RIGHT, [] { return App()->m_Focus == 1; });
    }

    void SidePanel() {
        Note("side panel");
        if (!PressUntil(VkRight, GLFW_GAMEPAD_BUTTON_DPAD_RIGHT, [] { return App()->m_Focus == 2; })) return;
        if (!PressUntil(VkEnter, GLFW_GAMEPAD_BUTTON_A, [] { return App()->m_SidePanel == 1; })) return;
        Frames(20 + Pick(60));
        PressUntil(VkEscape, GLFW_GAMEPAD_BUTTON_START, [] { return App()->m_SidePanel == 0; });
        Frames(20);
        PressUntil(VkLeft, GLFW_GAMEPAD_BUTTON_DPAD_LEFT, [] { return App()->m_Focus == 1; });
    }

    // Left alone until the demo starts; it runs a while, then a key (or its end) stops it.
    void Demo() {
        Note("demo");
        RunUntil([] { return App()->m_Replay.playing; }, 40 * 60, 6);
        RunUntil([] { return !App()->m_Replay.playing; }, 60 * Pick(20), 3);
        if (App()->m_Replay.playing) Press(VkSpace, GLFW_GAMEPAD_BUTTON_A);
        ExpectPlayedAsRecorded("the demo");
        SettleInMenu();
    }

    // A demo or a watched round goes the recorded way for as long as it plays (its checkpoints
    // agree), and one played to its end ends in the recorded state.
    void ExpectPlayedAsRecorded(const char* what) {
        const ReplaySession& r = App()->m_Replay;
        EXPECT_EQ(r.divergedBy, 0u) << what << " left the recorded round (" << log << ")";
        if (r.updatesDone == r.data.updates && r.status != -1) {
            EXPECT_EQ(r.status, ReplaySame) << what << ": " << r.failure << " (" << log << ")";
        }
    }

    // The last round watched from the menu, to its end or until two Escapes.
    void Watch() {
        Note("watched the last round");
        ASSERT_EQ(App()->p_LoadReplay(ReplayMode::Watch, LastReplayPath), 1) << App()->m_Replay.failure;
        RunUntil([] { return App()->m_Replay.playing; }, 200, 3);
        RunUntil([] { return !App()->m_Replay.playing; }, 60 * Pick(30), 3);
        if (App()->m_Replay.playing) {
            Press(VkEscape, GLFW_GAMEPAD_BUTTON_START);
            Press(VkEscape, GLFW_GAMEPAD_BUTTON_START);
        }
        ExpectPlayedAsRecorded("watching");
        SettleInMenu();
    }

    std::mt19937 random;
    bool pad = false;
    int held = 0;
    int frames = 0;
};

struct KeptRound {
    std::string path, log;
};

using Session = GameTest;

TEST_F(Session, EveryRoundOfALongSessionVerifies) {
    const unsigned seed = EnvNumber("SPINDRIFT_SEED", 29);
    const int rounds = int(EnvNumber("SPINDRIFT_ROUNDS", kRoundsPerSession));
    SCOPED_TRACE("session seed " + std::to_string(seed) + " (SPINDRIFT_SEED=" + std::to_string(seed) +
                 " plays it again)");
    FinishLoading();
    SessionPlayer player(seed);
    std::vector<KeptRound> kept;
    long updates = 0;
    for (int round = 0; round < rounds; ++round) {
        player.BetweenRounds();
        const int difficulty = 1 + player.Pick(3);
        ASSERT_TRUE(player.StartRound(difficulty, player.Chance(50)))
            << "round " << round << ": " << player.log;
        ASSERT_TRUE(player.PlayRound(30000)) << "round " << round << ": " << player.log;
        WaitForReplayWrites();
        const std::string path = "round-" + std::to_string(round) + ".replay";
        std::filesystem::copy_file(LastReplayPath, path);
        ReplayData data;
        ASSERT_EQ(ReadReplay(path, data), "");
        updates += data.updates;
        kept.push_back({path, player.log});
    }
    std::printf("session %u: %d rounds, %ld round updates\n", seed, rounds, updates);
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const VerifierRun run = RunVerifier(kept[i].path);
        EXPECT_EQ(run.status, 0) << "round " << i << " (" << kept[i].log << "): " << run.output;
    }
}

} // namespace

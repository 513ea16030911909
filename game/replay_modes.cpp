// How a kept round comes to be played: named on the command line to be watched or verified (the
// program ends with it), or as the demo of a menu left alone.
#include "framework/app/app.h"
#include "framework/input/input.h"
#include "game/my_app.h"
#include "game/replay.h"
#include "host/options.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int IdleMsBeforeDemo = 30000;

} // namespace

// Another version of the game may play the same round differently: its replays are refused as such.
int c_MyApp::p_LoadReplay(ReplayMode mode, const std::string& path) {
    ReplaySession& r = m_Replay;
    r.failure = ReadReplay(path, r.data);
    r.status = ReplayUnreadable;
    if (r.failure.empty() && !OtherVersionReason(r.data).empty()) {
        r.failure = OtherVersionReason(r.data);
        r.status = ReplayOtherVersion;
    } else if (r.failure.empty() && r.data.start.size() != StartFieldCount(*this)) {
        r.failure = "the round's start does not fit this game";
    }
    if (!r.failure.empty()) return 0;
    r.mode = mode;
    r.pending = true;
    r.status = -1;
    if (!r.device) gc_assign(r.device, (new c_InputDevice)->m_new());
    return 1;
}

// A loaded replay starts once the loader has finished and the menu shows.
void c_MyApp::p_BeginPlayback() {
    ReplaySession& r = m_Replay;
    r.pending = false;
    r.playing = true;
    r.viewerPaused = false;
    r.framePos = r.clockPos = 0;
    r.divergedBy = 0;
    r.exhausted = false;
    r.liveStart = CaptureStart(*this);
    m_Screen = ScreenStartRound;
    if (r.mode == ReplayMode::Verify) vx_app_SetUpdateRate(0);
}

// The menu left alone for long enough plays the difficulty's best round, or else the last one.
int c_MyApp::p_AttractMode() {
    ReplaySession& r = m_Replay;
    const int now = vx_app_Millisecs();
    const bool idleMenu = r.mode == ReplayMode::Live && !r.noDemo && m_Screen == ScreenMenu &&
                          m_Loading == 0 && m_Panel1 == 0 && m_OptionOpen == 0 && m_SidePanel == 0 &&
                          m_OptionSlide == 0;
    const bool moved = r.live->mouseX != r.idleMouseX || r.live->mouseY != r.idleMouseY;
    if (!idleMenu || !r.idleKnown || moved || AnyInput(*r.live)) {
        r.idleSince = now;
        r.idleKnown = true;
        r.idleMouseX = r.live->mouseX;
        r.idleMouseY = r.live->mouseY;
        return 0;
    }
    if (now - r.idleSince < IdleMsBeforeDemo) return 0;
    r.idleKnown = false;
    if (p_LoadReplay(ReplayMode::Demo, BestReplayPath(m_Difficulty)) ||
        p_LoadReplay(ReplayMode::Demo, LastReplayPath))
        p_BeginPlayback();
    return 0;
}

int c_MyApp::p_ReplayOptions() {
    ReplaySession& r = m_Replay;
    r.noDemo = vxCommandLine.Given("--no-demo");
    for (auto [option, mode] :
         {std::pair{"--replay", ReplayMode::Watch}, {"--verify-replay", ReplayMode::Verify}}) {
        if (!vxCommandLine.Given(option)) continue;
        if (!p_LoadReplay(mode, vxCommandLine.Value(option))) {
            std::fprintf(stderr, "spindrift: %s\n", r.failure.c_str());
            std::exit(r.status);
        }
        r.exitWhenDone = true;
    }
    return 0;
}

// A round named on the command line was watched or verified: the program ends with it, the
// verifier saying how it went in its status.
void c_MyApp::p_EndCommandLinePlayback() {
    ReplaySession& r = m_Replay;
    if (r.mode == ReplayMode::Verify && r.status == ReplayDesync) std::printf("%s\n", r.failure.c_str());
    if (r.mode == ReplayMode::Verify) std::printf("score %d\n", m_Score);
    std::fflush(stdout);
    std::exit(r.mode == ReplayMode::Verify ? r.status : ReplaySame);
}

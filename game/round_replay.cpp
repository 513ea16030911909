// The round's hooks into the recorder and the player (replay.h): each update's outside reads go
// through them, and they decide when a played round ends and how it went.
#include "framework/input/input.h"
#include "game/my_app.h"
#include "game/replay.h"

#include <algorithm>

namespace {

// Reserved at a round start: about ten minutes of keyboard play fits without growing; a longer or
// busier round doubles the buffers now and then.
constexpr std::size_t FrameReserve = 16 << 10, ClockReserve = 64 << 10, CheckpointReserve = 1024;

} // namespace

int c_MyApp::p_Millisecs() {
    ReplaySession& r = m_Replay;
    if (r.playing && !r.viewerPaused) return r.PlayedClock();
    const int now = vx_app_Millisecs();
    if (r.recording) r.RecordClock(now);
    return now;
}

int c_MyApp::p_ReplayRoundStart() {
    ReplaySession& r = m_Replay;
    r.RewindStreams();
    if (r.playing) {
        const int soundMode = m_Setting[SetSoundMode];
        RestoreStart(*this, r.data.start);
        // A demo sounds as the player has chosen, whatever the recorded round chose.
        if (r.mode == ReplayMode::Demo) m_Setting[SetSoundMode] = soundMode;
        return 0;
    }
    r.recording = true;
    r.data = ReplayData{};
    r.data.gameVersion = SPINDRIFT_VERSION;
    r.data.difficulty = std::clamp(m_Difficulty, 1, 3);
    r.data.controlStyle = std::clamp<int>(m_ControlStyle, StyleKeyboard, StylePointer);
    r.data.start = CaptureStart(*this);
    r.data.frames.reserve(FrameReserve);
    r.data.clock.reserve(ClockReserve);
    r.data.checkpoints.reserve(CheckpointReserve);
    return 0;
}

int c_MyApp::p_ReplayUpdateStart() {
    ReplaySession& r = m_Replay;
    r.live = vx_input_device.get();
    if (r.recording) {
        CaptureFrame(*r.live, *this, r.scratch);
        r.scratch.focusChanges = uint8_t(std::min(r.focusChanges, 255));
        r.scratch.loading = m_Loading > 0 ? 1 : 0;
        r.focusChanges = 0;
        r.RecordFrame();
        return 0;
    }
    if (r.pending && m_Loading == 0 && m_Screen == ScreenMenu) p_BeginPlayback();
    if (!r.playing) return p_AttractMode();
    // The round's first update starts it; its frames follow.
    if (m_Screen == ScreenStartRound) return 0;
    if (r.mode == ReplayMode::Demo && AnyInput(*r.live)) {
        p_EndDemo();
        return 1;
    }
    if (r.mode == ReplayMode::Watch && vx_input_KeyHit(VkEscape) > 0) {
        if (r.viewerPaused) {
            p_FinishPlayback();
        } else {
            p_ViewerPause();
        }
        return 1;
    }
    if (r.viewerPaused) return 0;
    if (!r.NextFrame()) {
        r.exhausted = true;
        p_FinishPlayback();
        return 1;
    }
    FillDevice(*r.device, r.runFrame);
    vx_input_SetInputDevice(r.device);
    jscrw = r.runFrame.screenW;
    jscrh = r.runFrame.screenH;
    m_ScaleX = r.runFrame.scaleX;
    m_ScaleY = r.runFrame.scaleY;
    m_FittedW = TruncInt(r.runFrame.deviceW);
    m_FittedH = TruncInt(r.runFrame.deviceH);
    r.frameInPlace = true;
    for (int i = 0; i < r.runFrame.focusChanges; ++i) p_PauseOnFocusChange();
    return 0;
}

bool c_MyApp::p_LoaderHoldsScreens() const {
    return m_Replay.frameInPlace ? m_Replay.runFrame.loading != 0 : m_Loading > 0;
}

int c_MyApp::p_ReplayUpdateEnd() {
    ReplaySession& r = m_Replay;
    r.frameInPlace = false;
    r.RestoreLiveDevice();
    if (r.recording || (r.playing && !r.viewerPaused)) {
        if (r.updatesDone > 0 && r.updatesDone % CheckpointEvery == 0) {
            const uint32_t hash = RoundStateHash(*this);
            const std::size_t at = r.updatesDone / CheckpointEvery - 1;
            if (r.recording) {
                r.data.checkpoints.push_back(hash);
            } else if (r.divergedBy == 0 &&
                       (at >= r.data.checkpoints.size() || r.data.checkpoints[at] != hash)) {
                r.divergedBy = r.updatesDone;
            }
        }
    }
    if (r.recording && m_Screen != ScreenRound) p_EndRecording();
    if (!r.playing) return 0;
    if (r.viewerPaused) {
        // The pause menu let the round go on, or asked to leave it.
        if (m_QuitRound != 0 || m_Screen != ScreenRound) p_FinishPlayback();
        if (m_Paused == 0) p_ViewerResume();
        return 0;
    }
    if (m_Screen != ScreenRound && m_Screen != ScreenStartRound) p_FinishPlayback();
    if (r.mode == ReplayMode::Demo && r.playing) {
        p_ResetDraw();
        p_SetSize(3);
        p_SetCol(255, 220, 0, 1);
        p_Text(jscrw / 2, jscrh * 0.8f, u"DEMO", 1, 1, 0);
        p_ResetDraw();
    }
    return 0;
}

// The round ended: its replay goes to the last file, and to the difficulty's best when it beat it.
void c_MyApp::p_EndRecording() {
    ReplaySession& r = m_Replay;
    r.recording = false;
    r.FlushRun();
    r.run = 0;
    r.data.updates = r.updatesDone;
    r.data.score = m_Score;
    r.data.finalHash = RoundStateHash(*this);
    std::vector<std::string> paths{LastReplayPath};
    if (m_Score > m_HiScore[BestScoresBase(r.data.difficulty)])
        paths.push_back(BestReplayPath(r.data.difficulty));
    WriteReplaySoon(std::move(paths), EncodeReplay(r.data));
}

void c_MyApp::p_FinishPlayback() {
    ReplaySession& r = m_Replay;
    r.playing = false;
    r.RestoreLiveDevice();
    const bool ended = m_Screen == ScreenBackToMenu && !r.exhausted && r.updatesDone == r.data.updates;
    const uint32_t hash = RoundStateHash(*this);
    r.status = ended && hash == r.data.finalHash && m_Score == r.data.score ? ReplaySame : ReplayDesync;
    if (r.status == ReplayDesync) {
        if (r.divergedBy > 0) {
            r.failure = "desync: the round's state first differed by update " + std::to_string(r.divergedBy);
        } else if (!ended) {
            r.failure = "desync: the round did not end where the recording did (update " +
                        std::to_string(r.updatesDone) + " of " + std::to_string(r.data.updates) + ")";
        } else {
            r.failure = "desync: the final state differs";
        }
    }
    if (r.mode == ReplayMode::Demo) {
        p_EndDemo();
        return;
    }
    if (r.exitWhenDone) p_EndCommandLinePlayback();
    m_Screen = ScreenMenu;
}

void c_MyApp::p_EndDemo() {
    ReplaySession& r = m_Replay;
    r.playing = r.pending = false;
    r.RestoreLiveDevice();
    RestoreStart(*this, r.liveStart);
    r.mode = ReplayMode::Live;
    r.idleKnown = false;
    p_StopTune();
    m_Screen = ScreenMenu;
    m_Paused = m_OverTimer = m_RoundOver = 0;
    // Whatever ended the demo is no menu action: the menus wait for its release.
    m_KeyNav = m_PointerLock = 1;
}

void c_MyApp::p_ViewerPause() {
    ReplaySession& r = m_Replay;
    r.viewerPaused = true;
    r.held = CaptureStart(*this);
    r.heldPause = {m_Paused, m_PauseSel, m_PauseY, m_PauseAnim};
    m_Paused = m_PauseSel = 1;
    m_PauseAnim = 0;
    m_KeyNav = 1;
}

void c_MyApp::p_ViewerResume() {
    ReplaySession& r = m_Replay;
    r.viewerPaused = false;
    RestoreStart(*this, r.held);
    m_Paused = r.heldPause.paused;
    m_PauseSel = r.heldPause.selection;
    m_PauseY = r.heldPause.y;
    m_PauseAnim = r.heldPause.slide;
}

int c_MyApp::p_ReplayFocusChange(int lost) {
    ReplaySession& r = m_Replay;
    if (r.recording) {
        ++r.focusChanges;
        return 0;
    }
    if (!r.playing) return 0;
    if (r.mode == ReplayMode::Demo) {
        p_EndDemo();
        return 0;
    }
    if (r.mode == ReplayMode::Watch && lost == 1 && !r.viewerPaused) p_ViewerPause();
    return 1;
}

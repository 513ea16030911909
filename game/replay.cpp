// Replays: the recorder and the player (see replay.h), and the game's hooks that route a round's
// outside reads through them. The file's bytes are replay_file.cpp's.
#include "game/replay.h"

#include "framework/app/app.h"
#include "framework/input/input.h"
#include "game/my_app.h"
#include "game/random.h"
#include "host/files.h"
#include "host/game.h"
#include "host/options.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace {

// Reserved at a round start: about ten minutes of keyboard play fits without growing; a longer or
// busier round doubles the buffers now and then.
constexpr std::size_t FrameReserve = 16 << 10, ClockReserve = 64 << 10, CheckpointReserve = 1024;

// ---- writing on a thread of its own

// The one writer thread; joined before the next write and when the program ends.
struct ReplayWriter {
    std::mutex lock;
    std::thread thread;
    ~ReplayWriter() { Wait(); }
    void Wait() {
        std::lock_guard guard(lock);
        if (thread.joinable()) thread.join();
    }
};
ReplayWriter& Writer0() {
    static ReplayWriter writer;
    return writer;
}

} // namespace

void WriteReplaySoon(std::vector<std::string> paths, std::vector<uint8_t> bytes) {
    ReplayWriter& writer = Writer0();
    writer.Wait();
    std::lock_guard guard(writer.lock);
    writer.thread = std::thread([paths = std::move(paths), bytes = std::move(bytes)] {
        mkdir("replays", 0777);
        for (const std::string& path : paths)
            if (vxWriteFileSafely(path, {reinterpret_cast<const char*>(bytes.data()), bytes.size()}) != 0)
                std::fprintf(stderr, "Spindrift: could not write %s\n", path.c_str());
    });
}

void WaitForReplayWrites() { Writer0().Wait(); }

std::string BestReplayPath(int difficulty) {
    static const char* const names[] = {"easy", "normal", "hard"};
    return std::string("replays/best-") + names[DifficultyIndex(difficulty)] + ".replay";
}

// FNV-1a over whole 32-bit words rather than bytes: the pools are 80 KB, hashed at every
// checkpoint, and a word at a time takes a fifth off the verifier's time.
uint32_t RoundStateHash(c_MyApp& app) {
    uint32_t h = FnvStart;
    for (Array<float>* pool : {&app.m_Grid, &app.m_Obj, &app.m_Player, &app.m_Stars, &app.m_Part})
        for (float v : *pool) h = FnvStep(h, std::bit_cast<uint32_t>(v));
    for (int v : {app.m_Score, app.m_RoundOver, app.m_Paused, app.m_c}) h = FnvStep(h, uint32_t(v));
    return FnvStep(h, vx_random_Seed);
}

// ---- the game's hooks

namespace {

constexpr int IdleMsBeforeDemo = 30000;

// The fields a round starts from that its own start does not set: controls, pointer latches,
// settings, the virtual screen, and where the pause screen, the options box and the side panel
// were left (a round goes on reading them). Visited as 32-bit words.
template <class Visit> void ForStartFields(c_MyApp& app, Visit&& visit) {
    for (int* v : {&app.m_Difficulty,  &app.m_ControlStyle, &app.m_CleanView,     &app.m_KeyNav,
                   &app.m_PointerLock, &app.m_MouseX,       &app.m_MouseY,        &app.m_MouseOldX,
                   &app.m_MouseOldY,   &app.m_MouseWasDown, &app.m_MouseDown,     &app.m_MouseHit,
                   &app.m_ClickDelay,  &app.m_DragX0,       &app.m_DragY0,        &app.m_PadDrag,
                   &app.m_PadSpread,   &iCadeControls,      &OnScreenControls,    &AccelerometerControls,
                   &DebugMode,         &app.m_FittedW,      &app.m_FittedH,       &app.m_PauseSel,
                   &app.m_PauseY,      &app.m_PauseAnim,    &app.m_OverscanLatch, &app.m_OptionOpen,
                   &app.m_OptionSlide, &app.m_OptSel,       &app.m_OptLatch,      &app.m_SidePanel,
                   &app.m_SidePanelX})
        visit(v);
    for (float* v : {&app.m_KeyRampX, &app.m_KeyRampY, &app.m_AnalogX, &app.m_AnalogY, &app.m_AccelZeroX,
                     &app.m_AccelZeroY, &app.m_TiltX, &app.m_TiltY, &app.m_TiltShowX, &app.m_TiltShowY,
                     &overscan, &jscrw, &jscrh, &app.m_ScaleX, &app.m_ScaleY})
        visit(v);
    for (Array<int>* fields : {&app.m_TouchDown, &app.m_TouchX, &app.m_TouchY, &app.m_VKey, &app.m_Setting})
        for (int& v : *fields) visit(&v);
}

std::vector<uint32_t> CaptureStart(c_MyApp& app) {
    std::vector<uint32_t> words;
    ForStartFields(app, [&](auto* v) { words.push_back(std::bit_cast<uint32_t>(*v)); });
    return words;
}

void RestoreStart(c_MyApp& app, const std::vector<uint32_t>& words) {
    std::size_t i = 0;
    ForStartFields(app, [&](auto* v) { *v = std::bit_cast<std::remove_pointer_t<decltype(v)>>(words[i++]); });
}

std::size_t StartFieldCount(c_MyApp& app) {
    std::size_t n = 0;
    ForStartFields(app, [&](auto*) { ++n; });
    return n;
}

// Keys that act on the window or the program, not on the round: a replay does not press them.
bool OutsideTheRound(int code) { return code == VkF4 || code == VkF11 || code == KEY_CLOSE; }

// The pointer, touches, sticks and tilt, each paired with its place in the device: the frame and
// the device copy them one way when recording and the other way when playing back.
template <class Frame, class Device, class Visit> void ForPositions(Frame& f, Device& d, Visit&& visit) {
    visit(f.mouseX, d.mouseX);
    visit(f.mouseY, d.mouseY);
    for (int i = 0; i < ReplayFrame::Touches; ++i) {
        visit(f.touchX[i], d.touchX[i]);
        visit(f.touchY[i], d.touchY[i]);
    }
    for (int unit = 0; unit < ReplayFrame::Pads; ++unit)
        for (int stick = 0; stick < 2; ++stick) {
            visit(f.joyX[unit][stick], d.joyStates[unit]->joyx[stick]);
            visit(f.joyY[unit][stick], d.joyStates[unit]->joyy[stick]);
        }
    visit(f.accelX, d.accelX);
    visit(f.accelY, d.accelY);
}

void Capture(const c_InputDevice& d, const c_MyApp& app, ReplayFrame& f) {
    std::memset(&f, 0, sizeof f);
    for (int code = 0; code < vx_input_keyCount; ++code)
        if (d.keyDown[code] && !OutsideTheRound(code)) f.down[code >> 6] |= uint64_t(1) << (code & 63);
    for (int i = 0; i < d.keyHitCount; ++i) {
        const int code = d.keyHitQueue[i];
        if (OutsideTheRound(code) ||
            std::find(f.hitCode, f.hitCode + f.hitCount, code) != f.hitCode + f.hitCount)
            continue;
        f.hitCode[f.hitCount] = uint16_t(code);
        f.hitTimes[f.hitCount++] = uint16_t(d.keyHit[code]);
    }
    for (int i = d.charGet; i < d.charPut && f.charCount < ReplayFrame::Chars; ++i)
        f.chars[f.charCount++] = d.charQueue[i];
    ForPositions(f, d, [](float& frame, float device) { frame = device; });
    f.screenW = jscrw;
    f.screenH = jscrh;
    f.scaleX = app.m_ScaleX;
    f.scaleY = app.m_ScaleY;
    f.deviceW = float(app.m_FittedW);
    f.deviceH = float(app.m_FittedH);
}

// The frame into the player's own device. Counts from the file are held to the device's sizes.
void Fill(c_InputDevice& d, const ReplayFrame& f) {
    for (int code = 0; code < vx_input_keyCount; ++code)
        d.keyDown[code] = (f.down[code >> 6] >> (code & 63) & 1) != 0;
    for (int i = 0; i < d.keyHitCount; ++i) d.keyHit[d.keyHitQueue[i]] = 0;
    d.keyHitCount = 0;
    for (int i = 0; i < std::min<int>(f.hitCount, ReplayFrame::Hits); ++i) {
        const int code = f.hitCode[i] % vx_input_keyCount;
        d.keyHit[code] = f.hitTimes[i];
        d.keyHitQueue[d.keyHitCount++] = code;
    }
    d.charGet = 0;
    d.charPut = std::min<int>(f.charCount, ReplayFrame::Chars);
    for (int i = 0; i < d.charPut; ++i) d.charQueue[i] = f.chars[i];
    ForPositions(f, d, [](float frame, float& device) { device = frame; });
}

// Anything the player does to the round on the live device: keys, pad buttons, clicks, touches,
// letters; the window's and the program's own keys act as on every screen.
bool AnyInput(const c_InputDevice& d) {
    if (d.charPut > d.charGet) return true;
    for (int i = 0; i < d.keyHitCount; ++i)
        if (!OutsideTheRound(d.keyHitQueue[i])) return true;
    for (int code = 0; code < vx_input_keyCount; ++code)
        if (d.keyDown[code] && !OutsideTheRound(code)) return true;
    return false;
}

void FlushRun(ReplaySession& r) {
    if (r.run == 0) return;
    AppendFrameRun(r.data.frames, r.run, r.beforeRun, r.runFrame);
    r.beforeRun = r.runFrame;
}

void RecordFrame(ReplaySession& r) {
    r.updatesDone += 1;
    if (r.run > 0 && std::memcmp(&r.scratch, &r.runFrame, sizeof r.scratch) == 0) {
        r.run += 1;
        return;
    }
    FlushRun(r);
    r.runFrame = r.scratch;
    r.run = 1;
}

// The next update's frame; false once the frames are used up.
bool NextFrame(ReplaySession& r) {
    if (r.run == 0 && !ReadFrameRun(r.data.frames, r.framePos, r.run, r.runFrame)) return false;
    r.run -= 1;
    r.updatesDone += 1;
    return true;
}

} // namespace

int c_MyApp::p_Millisecs() {
    ReplaySession& r = m_Replay;
    if (r.playing && !r.viewerPaused) {
        int32_t difference = 0;
        if (!ReadClockReading(r.data.clock, r.clockPos, difference)) {
            r.exhausted = true;
            return r.lastClock;
        }
        r.lastClock += difference;
        return r.lastClock;
    }
    const int t = vx_app_Millisecs();
    if (r.recording) {
        AppendClockReading(r.data.clock, t - r.lastClock);
        r.lastClock = t;
    }
    return t;
}

int c_MyApp::p_ReplayRoundStart() {
    ReplaySession& r = m_Replay;
    r.updatesDone = 0;
    r.run = 0;
    r.lastClock = 0;
    r.beforeRun = r.runFrame = ReplayFrame{};
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
    r.data.controlStyle = std::clamp(m_ControlStyle, 0, 2);
    r.data.start = CaptureStart(*this);
    r.data.frames.reserve(FrameReserve);
    r.data.clock.reserve(ClockReserve);
    r.data.checkpoints.reserve(CheckpointReserve);
    return 0;
}

// Another version of the game may play the same round differently: its replays are refused as such.
int c_MyApp::p_LoadReplay(int mode, const std::string& path) {
    ReplaySession& r = m_Replay;
    r.failure = ReadReplay(path, r.data);
    r.status = ReplayUnreadable;
    if (r.failure.empty() && r.data.gameVersion != SPINDRIFT_VERSION) {
        r.failure = "the replay was recorded by Spindrift " + r.data.gameVersion + ", this is Spindrift " +
                    SPINDRIFT_VERSION;
        r.status = ReplayOtherVersion;
    } else if (r.failure.empty() && r.data.start.size() != StartFieldCount(*this)) {
        r.failure = "the round's start does not fit this game";
    }
    if (!r.failure.empty()) return 0;
    r.mode = ReplayMode(mode);
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

int c_MyApp::p_ReplayUpdateStart() {
    ReplaySession& r = m_Replay;
    r.live = vx_input_device.get();
    if (r.recording) {
        Capture(*r.live, *this, r.scratch);
        r.scratch.focusChanges = uint8_t(std::min(r.focusChanges, 255));
        r.scratch.loading = m_Loading > 0 ? 1 : 0;
        r.focusChanges = 0;
        RecordFrame(r);
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
    if (!NextFrame(r)) {
        r.exhausted = true;
        p_FinishPlayback();
        return 1;
    }
    Fill(*r.device, r.runFrame);
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
    if (r.live && vx_input_device.get() != r.live) vx_input_SetInputDevice(r.live);
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
    FlushRun(r);
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
    if (r.live && vx_input_device.get() != r.live) vx_input_SetInputDevice(r.live);
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
    if (r.mode == ReplayMode::Verify && r.status == ReplayDesync) std::printf("%s\n", r.failure.c_str());
    if (r.mode == ReplayMode::Verify) std::printf("score %d\n", m_Score);
    std::fflush(stdout);
    if (r.exitWhenDone) std::exit(r.mode == ReplayMode::Verify ? r.status : ReplaySame);
    m_Screen = ScreenMenu;
}

void c_MyApp::p_EndDemo() {
    ReplaySession& r = m_Replay;
    r.playing = r.pending = false;
    if (r.live && vx_input_device.get() != r.live) vx_input_SetInputDevice(r.live);
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
    r.heldPause[0] = m_Paused;
    r.heldPause[1] = m_PauseSel;
    r.heldPause[2] = m_PauseY;
    r.heldPause[3] = m_PauseAnim;
    m_Paused = m_PauseSel = 1;
    m_PauseAnim = 0;
    m_KeyNav = 1;
}

void c_MyApp::p_ViewerResume() {
    ReplaySession& r = m_Replay;
    r.viewerPaused = false;
    RestoreStart(*this, r.held);
    m_Paused = r.heldPause[0];
    m_PauseSel = r.heldPause[1];
    m_PauseY = r.heldPause[2];
    m_PauseAnim = r.heldPause[3];
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
    const int demo = int(ReplayMode::Demo);
    if (p_LoadReplay(demo, BestReplayPath(m_Difficulty)) || p_LoadReplay(demo, LastReplayPath))
        p_BeginPlayback();
    return 0;
}

int c_MyApp::p_ReplayOptions() {
    ReplaySession& r = m_Replay;
    r.noDemo = vxCommandLine.Given("--no-demo");
    for (auto [option, mode] :
         {std::pair{"--replay", ReplayMode::Watch}, {"--verify-replay", ReplayMode::Verify}}) {
        if (!vxCommandLine.Given(option)) continue;
        if (!p_LoadReplay(int(mode), vxCommandLine.Value(option))) {
            std::fprintf(stderr, "spindrift: %s\n", r.failure.c_str());
            std::exit(r.status);
        }
        r.exitWhenDone = true;
    }
    return 0;
}

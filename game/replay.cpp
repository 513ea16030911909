// Replays: the recorder and the player (see replay.h). The file's bytes are replay_file.cpp's.
#include "game/replay.h"

#include "framework/input/input.h"
#include "game/my_app.h"
#include "game/random.h"
#include "host/files.h"

#include <bit>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace {

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

// ---- the round's start

namespace {

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

} // namespace

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

// ---- frames

void CaptureFrame(const c_InputDevice& d, const c_MyApp& app, ReplayFrame& f) {
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

// Counts from the file are held to the device's sizes.
void FillDevice(c_InputDevice& d, const ReplayFrame& f) {
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

bool AnyInput(const c_InputDevice& d) {
    if (d.charPut > d.charGet) return true;
    for (int i = 0; i < d.keyHitCount; ++i)
        if (!OutsideTheRound(d.keyHitQueue[i])) return true;
    for (int code = 0; code < vx_input_keyCount; ++code)
        if (d.keyDown[code] && !OutsideTheRound(code)) return true;
    return false;
}

// ---- the session's streams

void ReplaySession::RewindStreams() {
    updatesDone = 0;
    run = 0;
    lastClock = 0;
    beforeRun = runFrame = ReplayFrame{};
}

void ReplaySession::FlushRun() {
    if (run == 0) return;
    AppendFrameRun(data.frames, run, beforeRun, runFrame);
    beforeRun = runFrame;
}

void ReplaySession::RecordFrame() {
    updatesDone += 1;
    if (run > 0 && std::memcmp(&scratch, &runFrame, sizeof scratch) == 0) {
        run += 1;
        return;
    }
    FlushRun();
    runFrame = scratch;
    run = 1;
}

bool ReplaySession::NextFrame() {
    if (run == 0 && !ReadFrameRun(data.frames, framePos, run, runFrame)) return false;
    run -= 1;
    updatesDone += 1;
    return true;
}

int ReplaySession::PlayedClock() {
    int32_t difference = 0;
    if (!ReadClockReading(data.clock, clockPos, difference)) {
        exhausted = true;
        return lastClock;
    }
    lastClock += difference;
    return lastClock;
}

void ReplaySession::RecordClock(int now) {
    AppendClockReading(data.clock, now - lastClock);
    lastClock = now;
}

void ReplaySession::RestoreLiveDevice() {
    if (live && vx_input_device.get() != live) vx_input_SetInputDevice(live);
}

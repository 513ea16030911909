// Replays: a round kept as what it read from outside itself, update by update, so that it can be
// played again to the same end. This is the recorder and the player; the round's hooks into them
// are round_replay.cpp's, and how a kept round comes to be played (the command line, the demo)
// replay_modes.cpp's.
//
// A round reads the input device (keys, pad buttons and sticks, pointer, touches, typed letters,
// tilt), the virtual screen the last render fitted, the focus changes of the window and the
// millisecond clock (the stars reseed the play generator from it every update). The recorder keeps
// one frame of the device and screen per update, storing runs of equal frames once and each new
// frame as the bytes that changed, and every clock value the round reads as its difference from
// the one before. A player feeds the same frames to the game through a device of its own and
// answers the clock from the recording, so the round takes the same course.
//
// The file that keeps them is game/replay_file.h.
#pragma once

#include "game/replay_file.h"

#include <cstdint>
#include <string>
#include <vector>

class c_MyApp;
class c_InputDevice;

// Written whole or not at all: a temporary file beside it, flushed, then renamed over it. The
// writing happens on a thread of its own so that the update ending a round does not wait for the
// disk; WaitForReplayWrites returns once every write started has finished.
void WriteReplaySoon(std::vector<std::string> paths, std::vector<uint8_t> bytes);
void WaitForReplayWrites();
// A hash of everything a round's course decides: grid, objects, player, stars, particles, score
// and the generator.
uint32_t RoundStateHash(c_MyApp& app);
// The file of a difficulty's best round.
std::string BestReplayPath(int difficulty);
inline const char* const LastReplayPath = "replays/last.replay";

enum class ReplayMode { Live, Watch, Verify, Demo };

// The recording or playback of the current round; one per application.
class ReplaySession {
  public:
    ReplayMode mode = ReplayMode::Live;
    bool recording = false;
    // Playback: loaded and waiting for the loader to finish, then running.
    bool pending = false;
    bool playing = false;
    // Set by the command line: the program ends with the playback.
    bool exitWhenDone = false;
    bool noDemo = false;
    // Watching: the viewer paused; the round's start fields and pause screen as they were.
    bool viewerPaused = false;
    std::vector<uint32_t> held;
    struct PauseScreen {
        int paused = 0, selection = 0, y = 0, slide = 0;
    } heldPause;
    // Playback's outcome: -1 while unknown, else a ReplayOutcome; why, or why a file failed.
    int status = -1;
    std::string failure;
    // The menu: when the player last did anything, and where the pointer was then.
    int idleSince = 0;
    bool idleKnown = false;
    float idleMouseX = 0, idleMouseY = 0;
    ReplayData data;
    // Recording: the run being counted, the frame before it, and the focus changes since the last
    // update. Playback: where the streams are read.
    ReplayFrame runFrame{}, beforeRun{}, scratch{};
    uint32_t run = 0;
    int focusChanges = 0;
    // Playback: this update runs on a recorded frame.
    bool frameInPlace = false;
    std::size_t framePos = 0, clockPos = 0;
    int lastClock = 0;
    uint32_t updatesDone = 0;
    // Playback: the first checkpoint that disagreed (0: none), and whether a stream ran out.
    uint32_t divergedBy = 0;
    bool exhausted = false;
    // The live values of the start fields, put back when a demo ends.
    std::vector<uint32_t> liveStart;
    // The player's own device, and the live one it stands in for during an update.
    c_InputDevice* device = nullptr;
    c_InputDevice* live = nullptr;

    // A round starts: the streams are read or written from their beginning.
    void RewindStreams();
    // Recording: scratch is this update's frame.
    void RecordFrame();
    // Ends the run of equal frames being counted.
    void FlushRun();
    // Playback: runFrame becomes the next update's frame; false once the frames are used up.
    bool NextFrame();
    // The clock a recorded round read next, and a live reading kept for the recording.
    int PlayedClock();
    void RecordClock(int now);
    // Puts the live device back in place after an update ran on the player's.
    void RestoreLiveDevice();
};

// The fields a round starts from that its own start does not set, as 32-bit words.
std::vector<uint32_t> CaptureStart(c_MyApp& app);
void RestoreStart(c_MyApp& app, const std::vector<uint32_t>& words);
std::size_t StartFieldCount(c_MyApp& app);
// What the round sees of the outside this update, from the live device and the fitted screen.
void CaptureFrame(const c_InputDevice& d, const c_MyApp& app, ReplayFrame& f);
// A recorded frame into the player's own device.
void FillDevice(c_InputDevice& d, const ReplayFrame& f);
// Anything the player does to the round on the device: keys, pad buttons, clicks, touches,
// letters; the window's and the program's own keys act as on every screen.
bool AnyInput(const c_InputDevice& d);

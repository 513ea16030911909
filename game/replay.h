// Replays: a round kept as what it read from outside itself, update by update, so that it can be
// played again to the same end.
//
// A round reads the input device (keys, pad buttons and sticks, pointer, touches, typed letters,
// tilt), the virtual screen the last render fitted, the focus changes of the window and the
// millisecond clock (the stars reseed the play generator from it every update). The recorder keeps
// one frame of the device and screen per update, storing runs of equal frames once and each new
// frame as the bytes that changed, and every clock value the round reads as its difference from
// the one before. A player feeds the same frames to the game through a device of its own and
// answers the clock from the recording, so the round takes the same course.
//
// File layout (little-endian), format 2:
//   "SPDRPLAY"            8 bytes
//   format version         u16
//   game version           u8 length, then that many bytes
//   difficulty, style      u8, u8
//   score, final hash      i32, u32
//   updates                u32   round updates recorded
//   start fields           u16 count, then u32 each (the round's starting controls and settings)
//   frames                 u32 length, then the frame stream
//   clock                  u32 length, then the clock stream
//   checkpoints            u32 count, then u32 each (the state hash every CheckpointEvery updates)
//   checksum               u32   FNV-1a of every byte before it
// Frame stream: per run a varint length (updates), then the run's frame as changes to the frame
// before it: pairs of varints (bytes skipped, bytes changed) each followed by the changed bytes,
// ended by a pair whose changed count is 0. Clock stream: per read a zigzag varint difference.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class c_MyApp;
class c_InputDevice;

inline constexpr int ReplayFormat = 2;
inline constexpr int CheckpointEvery = 60;
// No replay this game writes comes near these; a larger file is refused unread, and a longer round
// (a day of updates) as not this game's.
inline constexpr std::size_t ReplayMaxBytes = 16u << 20;
inline constexpr uint32_t ReplayMaxUpdates = 24 * 60 * 60 * 60;

// How a replay played back (the verifier's exit status): as recorded, a desync, a file that is no
// replay, and a replay of another version of the game, which this one cannot play the same.
enum ReplayOutcome { ReplaySame = 0, ReplayDesync = 1, ReplayUnreadable = 2, ReplayOtherVersion = 3 };

// What the round sees of the outside in one update. Plain bytes, compared and stored as they are.
struct ReplayFrame {
    static constexpr int Hits = 33, Chars = 32, Touches = 10, Pads = 4;
    uint64_t down[8];
    uint16_t hitCode[Hits];
    uint16_t hitTimes[Hits];
    uint8_t hitCount;
    uint8_t charCount;
    uint8_t focusChanges;
    uint8_t loading;
    int32_t chars[Chars];
    float mouseX, mouseY;
    float touchX[Touches], touchY[Touches];
    float joyX[Pads][2], joyY[Pads][2];
    float accelX, accelY;
    // The virtual screen the update lays out for, and the device size it was fitted to.
    float screenW, screenH, scaleX, scaleY;
    float deviceW, deviceH;
};

// A replay as the file holds it.
struct ReplayData {
    std::string gameVersion;
    int difficulty = 0;
    int controlStyle = 0;
    int score = 0;
    uint32_t finalHash = 0;
    uint32_t updates = 0;
    std::vector<uint32_t> start;
    std::vector<uint8_t> frames;
    std::vector<uint8_t> clock;
    std::vector<uint32_t> checkpoints;
};

std::vector<uint8_t> EncodeReplay(const ReplayData& replay);
// Empty when the bytes are a whole replay of this format; otherwise why not, in one line. Every
// count and stream is checked here, so that playing a decoded replay cannot run off its data.
std::string DecodeReplay(std::span<const uint8_t> bytes, ReplayData& replay);
std::string ReadReplay(const std::string& path, ReplayData& replay);
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
    // Watching: the viewer paused; the round's start fields and pause fields as they were.
    bool viewerPaused = false;
    std::vector<uint32_t> held;
    int heldPause[4] = {};
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
};

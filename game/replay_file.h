// The replay file: its bytes, read and written with no part of the game, so that the fuzz target
// and the board server link it alone. What the streams hold is told in game/replay.h.
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
// The format version a replay file says it has; -1 when the bytes do not start as a replay.
int ReplayFileFormat(std::span<const uint8_t> bytes);
// Empty when this game version recorded the replay; otherwise why it cannot be played the same.
std::string OtherVersionReason(const ReplayData& replay);
// Empty when the bytes are a whole replay of this format; otherwise why not, in one line. Every
// count and stream is checked here, so that playing a decoded replay cannot run off its data.
std::string DecodeReplay(std::span<const uint8_t> bytes, ReplayData& replay);
std::string ReadReplay(const std::string& path, ReplayData& replay);

// FNV-1a, one step taking a byte or (for the game's state hash) a whole 32-bit word.
inline constexpr uint32_t FnvStart = 2166136261u;
constexpr uint32_t FnvStep(uint32_t h, uint32_t v) { return (h ^ v) * 16777619u; }

// The streams a round is recorded into and played from, one piece at a time. The frame stream gets
// a run of updates that saw one frame, stored as its changes to the frame before; the clock stream
// one reading, stored as its difference from the one before.
void AppendFrameRun(std::vector<uint8_t>& frames, uint32_t run, const ReplayFrame& before,
                    const ReplayFrame& now);
// The run starting at pos, applied to frame; pos moves past it. False at the stream's end.
bool ReadFrameRun(const std::vector<uint8_t>& frames, std::size_t& pos, uint32_t& run, ReplayFrame& frame);
void AppendClockReading(std::vector<uint8_t>& clock, int32_t difference);
// False at the stream's end.
bool ReadClockReading(const std::vector<uint8_t>& clock, std::size_t& pos, int32_t& difference);

// The recorded clock as a whole: its first and last reading, and whether it ever went back.
struct ReplayClockCourse {
    std::size_t readings = 0;
    int64_t first = 0, last = 0;
    bool wentBack = false;
};
ReplayClockCourse ReadClockCourse(const ReplayData& replay);

// What the server checks of a submitted round before it is queued, and the names it files it by.
#pragma once

#include "game/replay_file.h"

#include <optional>
#include <string>
#include <string_view>

// The largest replay file taken (about three hours of play), and the largest request body: the
// file in base64 with the other fields.
inline constexpr std::size_t MaxReplayBytes = 4u << 20;
inline constexpr std::size_t MaxBodyBytes = 6u << 20;

// A player's key: 32 to 128 characters of [0-9A-Za-z_-] (128 random bits or more as hex).
bool IsPlayerKey(std::string_view key);
// A name: 1 to 16 characters of UTF-8, none of them a control character.
bool IsPlayerName(std::string_view name);

std::optional<std::string> DecodeBase64(std::string_view text);
std::string Sha256(std::string_view bytes);
// The round's course as the recording fixes it: difficulty, length, score, checkpoints and final
// state. Two files with one course are one round, whatever else differs in their bytes.
std::string CourseHash(const ReplayData& replay);

// Empty when the recorded clock could have been read while the round was played: it never goes
// back, and it covers at least half the time the round's updates take at 60 a second.
std::string ClockProblem(const ReplayData& replay);

const char* DifficultyName(int difficulty);
// 1 to 3, or 0 for a name that is none.
int DifficultyNamed(std::string_view name);

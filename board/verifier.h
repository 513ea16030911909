// One round re-played by the game's own verifier, in a child process that can crash, hang or eat
// memory without harming the server: it gets limits on CPU time and address space, a wall-clock
// limit enforced from here, a folder of its own and no display, and it dies with the server.
#pragma once

#include "board/options.h"

#include <functional>
#include <string>

struct Verdict {
    bool verified = false;
    int score = 0;
    std::string reason; // why not, when not verified
    // The server could not run the re-play (no temporary folder, no process): the round is not at
    // fault and stays waiting for another try.
    bool notRun = false;
};

// stillWorking is called about once a second while the re-play runs.
Verdict VerifyRound(const BoardOptions& options, const std::string& replayBytes, int recordedScore,
                    const std::function<void()>& stillWorking);

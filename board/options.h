// The board server's command line.
#pragma once

#include <optional>
#include <string>

struct BoardOptions {
    std::string database; // a libpq connection string; empty: libpq's PG* variables
    std::string listen = "127.0.0.1";
    int port = 8080;        // 0: any free port
    std::string verifier;   // the game program that re-plays rounds
    int workers = 0;        // verification threads
    int leaseSeconds = 120; // a claimed verification is another process's to take after this
    int verifyCpuSeconds = 30;
    int verifyWallSeconds = 60;
    int verifyMemoryMiB = 1024; // 0: no limit
    int keyLimit = 120;         // submissions per key per hour
    int addressLimit = 600;     // submissions per address per hour
    std::string name;           // this process in leases and logs
};

// The options, or nullopt after printing the help (help) or why the line is wrong (error).
struct ParsedOptions {
    std::optional<BoardOptions> options;
    bool help = false;
    std::string error;
};
ParsedOptions ParseBoardOptions(int argc, char** argv);
extern const char* const BoardUsage;

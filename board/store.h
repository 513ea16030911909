// The board's data in PostgreSQL, the one source of truth: players (a key's hash and its name),
// submitted rounds with their verification, and each player's best place per board. Every call
// borrows a connection of its own from a small pool; a connection the database dropped is thrown
// away, and the call fails with DatabaseAway, which the server answers with 503.
#pragma once

#include <pqxx/connection>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

struct DatabaseAway : std::runtime_error {
    using std::runtime_error::runtime_error;
};

inline const char* const BoardChangedChannel = "board_changed";
inline const char* const RoundSubmittedChannel = "round_submitted";

struct Submission {
    std::string keyHash; // SHA-256 of the player's key
    std::string name;
    std::string address;
    std::string bytes;
    std::string bytesHash;  // SHA-256 of the file
    std::string courseHash; // SHA-256 of the recorded course of play: the same round however re-wrapped
    int difficulty = 0;
    int recordedScore = 0;
};

struct SubmitResult {
    enum Kind { Accepted, AlreadyThere, KeyLimited, AddressLimited } kind = Accepted;
    int64_t id = 0;
    std::string status;
};

struct RoundStatus {
    int64_t id = 0;
    std::string status;
    std::optional<std::string> reason;
    std::optional<int> score;
    int difficulty = 0;
    bool placed = false; // it is its player's place on the all-time board
};

struct ClaimedRound {
    int64_t id = 0;
    std::string bytes;
    int recordedScore = 0;
    int attempts = 0;
};

// One place on a board as the boards are loaded: every period's places of every difficulty.
struct Place {
    int difficulty = 0;
    std::string period; // "all", "week" or "day"
    std::string keyHash;
    std::string name;
    int score = 0;
    std::string date; // UTC, ISO 8601
    int64_t replayId = 0;
};

class Store {
  public:
    explicit Store(std::string connectTo);
    ~Store();

    // Brings the schema to the newest version, each step once, whichever process gets there first.
    void Migrate();

    SubmitResult Submit(const Submission& round, int keyLimit, int addressLimit);
    std::optional<RoundStatus> Status(int64_t id);
    std::optional<std::string> VerifiedReplay(int64_t id);

    // The oldest waiting round no live lease holds, leased to owner for leaseSeconds.
    std::optional<ClaimedRound> Claim(const std::string& owner, int leaseSeconds);
    void RenewLease(int64_t id, const std::string& owner, int leaseSeconds);
    // Records the outcome if owner still holds the lease, and ranks a verified round.
    bool Finish(int64_t id, const std::string& owner, bool verified, int score, const std::string& reason);

    // This week's and today's places (UTC, weeks from Monday) and all time's, best first: of the
    // given difficulties, or of all when none is given.
    std::vector<Place> LoadPlaces(const std::set<int>& difficulties);
    // A round's place on the all-time board of its difficulty, asked of the database.
    std::optional<int64_t> AllTimeRank(int64_t replayId);

    const std::string& Conninfo() const { return conninfo; }

  private:
    std::unique_ptr<pqxx::connection> Borrow();
    void Return(std::unique_ptr<pqxx::connection> connection);
    template <class Work> auto WithConnection(Work&& work);

    std::string conninfo;
    std::mutex lock;
    std::vector<std::unique_ptr<pqxx::connection>> idle;
};

// What the score board tests share: a database of each test's own in the PostgreSQL that
// pg_virtualenv runs, board processes started as a deployment starts them, HTTP over loopback, and
// replays made from the golden rounds.
#pragma once

#include "game/replay_file.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>
#include <pqxx/pqxx>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace board_test {

using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;

// Only a broken build waits this long; no bound here says how fast the machine is.
inline constexpr std::chrono::seconds Patience{120};

template <class F> bool WaitFor(F done, std::chrono::seconds bound = Patience) {
    const auto giveUp = Clock::now() + bound;
    while (!done()) {
        if (Clock::now() > giveUp) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

inline bool HavePostgres() { return std::getenv("PGHOST") && std::getenv("PGPORT"); }

// One row of the replays table, as the tests look at it.
struct Row {
    long long id = 0;
    std::string status;
    std::optional<std::string> reason;
    std::optional<long long> score;
    int attempts = 0;
    std::optional<std::string> leaseOwner;
    std::optional<std::string> verifiedBy;
};

// A database made for one test in the cluster the PG* variables name, dropped with everything in it.
class Database {
  public:
    Database() {
        std::random_device random;
        name = "board_test_" + std::to_string(getpid()) + "_" + std::to_string(random() % 1000000000);
        pqxx::connection admin;
        pqxx::nontransaction(admin).exec0("CREATE DATABASE " + name);
    }
    ~Database() {
        try {
            pqxx::connection admin;
            pqxx::nontransaction(admin).exec0("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
        } catch (const std::exception& e) {
            ADD_FAILURE() << "could not drop " << name << ": " << e.what();
        }
    }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // As the board takes it: the rest comes from libpq's PG* variables.
    std::string Conninfo() const { return "dbname=" + name; }

    pqxx::result Query(const std::string& sql) const {
        pqxx::connection connection(Conninfo());
        return pqxx::nontransaction(connection).exec(sql);
    }

    long long Count(const std::string& where = "true") const {
        return Query("SELECT count(*) FROM replays WHERE " + where)[0][0].as<long long>();
    }

    std::vector<Row> Rows(const std::string& where = "true") const {
        std::vector<Row> rows;
        for (const auto& r : Query("SELECT id, status, reason, score, attempts, lease_owner, verified_by "
                                   "FROM replays WHERE " +
                                   where + " ORDER BY id")) {
            Row row;
            row.id = r[0].as<long long>();
            row.status = r[1].as<std::string>();
            if (!r[2].is_null()) row.reason = r[2].as<std::string>();
            if (!r[3].is_null()) row.score = r[3].as<long long>();
            row.attempts = r[4].as<int>();
            if (!r[5].is_null()) row.leaseOwner = r[5].as<std::string>();
            if (!r[6].is_null()) row.verifiedBy = r[6].as<std::string>();
            rows.push_back(row);
        }
        return rows;
    }

    Row RowOf(long long id) const {
        std::vector<Row> rows = Rows("id = " + std::to_string(id));
        return rows.empty() ? Row{} : rows.front();
    }

    std::string name;
};

// A spindrift-board process with its output collected as it comes, so that its log never fills a
// pipe and stops it, and a failing test can show what it said.
class BoardProcess {
  public:
    // `variables` ("NAME=value") replace the test's own of the same names; a bare "NAME" removes it.
    BoardProcess(std::string processName, const std::vector<std::string>& options,
                 const std::vector<std::string>& variables = {})
        : name(std::move(processName)) {
        int outPipe[2], errPipe[2];
        if (pipe2(outPipe, O_CLOEXEC) || pipe2(errPipe, O_CLOEXEC)) std::abort();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
        std::vector<std::string> args = {SPINDRIFT_BOARD_EXE};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        std::vector<std::string> environment;
        for (const std::string& v : variables) {
            if (v.find('=') != std::string::npos) environment.push_back(v);
        }
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            auto named = [&](const std::string& v) {
                return v.substr(0, v.find('=')) == entry.substr(0, entry.find('='));
            };
            if (std::none_of(variables.begin(), variables.end(), named)) environment.push_back(entry);
        }
        std::vector<char*> envp;
        for (std::string& entry : environment) envp.push_back(entry.data());
        envp.push_back(nullptr);
        if (posix_spawn(&pid, SPINDRIFT_BOARD_EXE, &actions, nullptr, argv.data(), envp.data())) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(outPipe[1]);
        close(errPipe[1]);
        fds[0] = outPipe[0];
        fds[1] = errPipe[0];
        reader = std::thread([this] { Read(); });
        if (pid > 0) AwaitListening();
    }

    ~BoardProcess() {
        if (Running()) Kill();
        stopping = true;
        reader.join();
        for (int fd : fds) close(fd);
    }
    BoardProcess(const BoardProcess&) = delete;
    BoardProcess& operator=(const BoardProcess&) = delete;

    bool Listening() const { return port > 0; }
    bool Running() const { return pid > 0 && !ended; }

    // SIGTERM, then its exit status (-1: ended by a signal; -2: still running after the bound, killed).
    int Stop() {
        kill(pid, SIGTERM);
        if (WaitFor([&] { return Reap(); })) return exitStatus;
        Kill();
        return -2;
    }

    void Kill() {
        kill(pid, SIGKILL);
        while (!Reap()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    // Everything it printed so far, standard output first.
    std::string Output() const {
        std::lock_guard lock(mutex);
        return "--- " + name + " stdout:\n" + out + "--- " + name + " stderr:\n" + err;
    }

    const std::string name;
    pid_t pid = -1;
    int port = 0;
    std::string address;
    std::string firstLine; // the first line of its standard output

  private:
    void Read() {
        bool open[2] = {true, true};
        while (!stopping && (open[0] || open[1])) {
            pollfd polled[2] = {{open[0] ? fds[0] : -1, POLLIN, 0}, {open[1] ? fds[1] : -1, POLLIN, 0}};
            if (poll(polled, 2, 100) <= 0) continue;
            for (int i = 0; i < 2; ++i) {
                if (!polled[i].revents) continue;
                char buffer[4096];
                ssize_t n = read(fds[i], buffer, sizeof buffer);
                std::lock_guard lock(mutex);
                if (n > 0) {
                    (i == 0 ? out : err).append(buffer, std::size_t(n));
                } else {
                    open[i] = false;
                }
            }
        }
    }

    // Reads the port from the one line it prints once it serves.
    void AwaitListening() {
        WaitFor([&] {
            std::lock_guard lock(mutex);
            return out.find('\n') != std::string::npos || Reap();
        });
        std::lock_guard lock(mutex);
        const std::size_t end = out.find('\n');
        if (end == std::string::npos) return;
        firstLine = out.substr(0, end);
        static const std::regex listening("spindrift-board: listening on http://([^:/]+):([0-9]+)");
        std::smatch match;
        if (!std::regex_match(firstLine, match, listening)) return;
        address = match[1];
        port = std::stoi(match[2]);
    }

    bool Reap() {
        if (ended) return true;
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) != pid) return false;
        exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        ended = true;
        return true;
    }

    int fds[2] = {-1, -1};
    std::thread reader;
    std::atomic<bool> stopping = false;
    bool ended = false;
    int exitStatus = -1;
    mutable std::mutex mutex;
    std::string out, err;
};

// An HTTP answer; status -1 when none came.
struct Reply {
    int status = -1;
    std::string type;
    std::string body;

    // The body as a JSON object, or an empty object when it is none.
    Json json() const {
        Json parsed = Json::parse(body, nullptr, false);
        return parsed.is_object() ? parsed : Json::object();
    }
    // The reason of an error answer, empty when the body is not {"error": "<reason>"}.
    std::string error() const {
        const Json parsed = json();
        return parsed.contains("error") && parsed["error"].is_string() ? parsed["error"].get<std::string>()
                                                                       : "";
    }
};

inline std::ostream& operator<<(std::ostream& os, const Reply& reply) {
    return os << "HTTP " << reply.status << " (" << reply.type << "): " << reply.body.substr(0, 2000);
}

inline Reply Answer(const httplib::Result& result) {
    Reply reply;
    if (!result) {
        reply.body = "no answer: " + httplib::to_string(result.error());
        return reply;
    }
    reply.status = result->status;
    reply.type = result->get_header_value("Content-Type");
    reply.body = result->body;
    return reply;
}

inline httplib::Client Client(int port) {
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(std::chrono::seconds(10));
    client.set_read_timeout(std::chrono::seconds(60));
    client.set_write_timeout(std::chrono::seconds(60));
    return client;
}

inline const std::string FormType = "application/x-www-form-urlencoded";

inline Reply Get(int port, const std::string& path) { return Answer(Client(port).Get(path)); }

inline Reply Post(int port, const std::string& path, const std::string& body,
                  const std::string& type = FormType) {
    return Answer(Client(port).Post(path, body, type));
}

// A socket connected to the board on loopback; nonBlocking leaves the connect to finish on its own.
inline int ConnectTo(int port, bool nonBlocking = false) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0), 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (connected != 0 && !nonBlocking) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// One request written on a socket of its own, with whatever method, headers and body, read back until
// the server closes. It reads while it writes, so that an answer sent before the whole body was
// taken (a body over the limit) is still seen.
inline Reply Exchange(int port, const std::string& request) {
    Reply reply;
    const int fd = ConnectTo(port, true);
    std::string got;
    std::size_t sent = 0;
    bool writing = true;
    const auto giveUp = Clock::now() + Patience;
    while (Clock::now() < giveUp) {
        pollfd polled{fd, short(POLLIN | (writing ? POLLOUT : 0)), 0};
        if (::poll(&polled, 1, 1000) <= 0) continue;
        if (polled.revents & (POLLIN | POLLHUP | POLLERR)) {
            char buffer[65536];
            ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n > 0) {
                got.append(buffer, std::size_t(n));
                continue;
            }
            if (n == 0 || errno != EAGAIN) break;
        }
        if (writing && (polled.revents & POLLOUT)) {
            ssize_t n = ::send(fd, request.data() + sent, std::min<std::size_t>(request.size() - sent, 65536),
                               MSG_NOSIGNAL);
            if (n > 0) sent += std::size_t(n);
            if ((n < 0 && errno != EAGAIN) || sent == request.size()) writing = false;
        }
    }
    ::close(fd);
    const std::size_t headerEnd = got.find("\r\n\r\n");
    static const std::regex statusLine("HTTP/1\\.[01] ([0-9]{3})[^\r]*");
    std::smatch match;
    const std::string first = got.substr(0, got.find("\r\n"));
    if (headerEnd == std::string::npos || !std::regex_match(first, match, statusLine)) {
        reply.body = got;
        return reply;
    }
    reply.status = std::stoi(match[1]);
    const std::string headers = got.substr(0, headerEnd);
    static const std::regex contentType("\r\n[Cc]ontent-[Tt]ype: *([^\r]*)");
    if (std::regex_search(headers, match, contentType)) reply.type = match[1];
    reply.body = got.substr(headerEnd + 4);
    return reply;
}

// A whole HTTP/1.1 request for Exchange.
inline std::string Request(const std::string& method, const std::string& path, const std::string& body = "",
                           const std::string& type = FormType) {
    std::string request = method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    if (!body.empty() || method == "POST" || method == "PUT") {
        request += "Content-Type: " + type + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
    }
    return request + "\r\n" + body;
}

inline std::string Base64(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t group = uint32_t(bytes[i]) << 16;
        if (i + 1 < bytes.size()) group |= uint32_t(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) group |= bytes[i + 2];
        text += digits[group >> 18];
        text += digits[(group >> 12) & 63];
        text += i + 1 < bytes.size() ? digits[(group >> 6) & 63] : '=';
        text += i + 2 < bytes.size() ? digits[group & 63] : '=';
    }
    return text;
}

// Every byte but the unreserved ones as %XX, as a browser's form does.
inline std::string UrlEncode(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            encoded += char(c);
        } else {
            encoded += '%';
            encoded += hex[c >> 4];
            encoded += hex[c & 15];
        }
    }
    return encoded;
}

inline std::string Form(const std::vector<std::pair<std::string, std::string>>& fields) {
    std::string body;
    for (const auto& [field, value] : fields)
        body += (body.empty() ? "" : "&") + field + "=" + UrlEncode(value);
    return body;
}

inline std::string Submission(const std::string& key, const std::string& name,
                              const std::vector<uint8_t>& replay) {
    return Form({{"key", key}, {"name", name}, {"replay", Base64(replay)}});
}

inline Reply Submit(int port, const std::string& key, const std::string& name,
                    const std::vector<uint8_t>& replay) {
    return Post(port, "/api/replays", Submission(key, name, replay));
}

// A player's key: 40 characters from the allowed set.
inline std::string KeyOf(const std::string& player) {
    std::string key = "player_" + player + "-";
    key.resize(40, 'k');
    return key;
}

// The id of a 202 or 200 answer to a submission; 0 when it has none.
inline long long IdOf(const Reply& reply) {
    const Json json = reply.json();
    return json.contains("id") && json["id"].is_number_integer() ? json["id"].get<long long>() : 0;
}

// The submission's status once it is no longer pending (the last one read when the bound ran out).
inline Json Finished(int port, long long id) {
    Json status;
    WaitFor([&] {
        Reply reply = Get(port, "/api/replays/" + std::to_string(id));
        status = reply.json();
        return reply.status == 200 && status.contains("status") && status["status"] != "pending";
    });
    return status;
}

// A board's entries (query without the leading '?'); empty when the answer is not a board.
inline Json Entries(int port, const std::string& query) {
    const Json board = Get(port, "/api/board?" + query).json();
    return board.contains("entries") && board["entries"].is_array() ? board["entries"] : Json::array();
}

inline const char* DifficultyName(int difficulty) {
    return difficulty == 1 ? "easy" : difficulty == 2 ? "normal" : "hard";
}

inline std::vector<uint8_t> Golden(int n) {
    const std::string text = readFile(std::string(SPINDRIFT_SOURCE_DIR) + "/tests/game/replays/golden-" +
                                      std::to_string(n) + ".replay");
    return {text.begin(), text.end()};
}

inline std::string Text(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

inline ReplayData Decoded(const std::vector<uint8_t>& bytes) {
    ReplayData data;
    EXPECT_EQ(DecodeReplay(bytes, data), "");
    return data;
}

// The file re-encoded with a change: a whole replay with a valid checksum.
inline std::vector<uint8_t> Changed(const std::vector<uint8_t>& bytes,
                                    const std::function<void(ReplayData&)>& change) {
    ReplayData data = Decoded(bytes);
    change(data);
    return EncodeReplay(data);
}

// The file claiming another final state: another recorded course, so a round of its own, which the
// game's verifier rejects as a desync.
inline std::vector<uint8_t> Forged(const std::vector<uint8_t>& bytes, int n) {
    return Changed(bytes, [n](ReplayData& data) { data.finalHash += uint32_t(n) + 1; });
}

// The same recorded course (score, checkpoints, final state) in other bytes: one clock reading a
// millisecond off, and every reading after it moved with it. Only a one-byte difference is touched,
// and its sign kept, so the clock still never goes back.
inline std::vector<uint8_t> MovedClock(const std::vector<uint8_t>& bytes) {
    return Changed(bytes, [](ReplayData& data) {
        for (std::size_t i = 0; i < data.clock.size(); ++i) {
            if (!(data.clock[i] & 0x80) && (i == 0 || !(data.clock[i - 1] & 0x80))) {
                data.clock[i] ^= 2;
                return;
            }
        }
        ADD_FAILURE() << "the clock has no one-byte reading";
    });
}

// Seconds since the epoch of a "YYYY-MM-DDTHH:MM:SSZ" date; -1 when it is not one.
inline long long UtcSeconds(const std::string& date) {
    static const std::regex form("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z");
    if (!std::regex_match(date, form)) return -1;
    std::tm parts{};
    if (!strptime(date.c_str(), "%Y-%m-%dT%H:%M:%SZ", &parts)) return -1;
    return timegm(&parts);
}

inline long long Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

inline std::string Python() {
    return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

// A verifier's stand-in that takes a round as recorded: it prints the score from the file's header,
// as the game's verifier does for a round that plays the same.
inline std::string TakeAsRecorded() {
    return "exec " + Python() +
           " - \"$@\" <<'EOF'\n"
           "import sys\n"
           "data = open(sys.argv[-1], 'rb').read()\n"
           "n = data[10]\n"
           "print('score', int.from_bytes(data[13 + n:17 + n], 'little', signed=True))\n"
           "EOF";
}

// A fresh database, the board processes a test starts on it, and a folder for stand-in verifiers.
class BoardServer : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!HavePostgres())
            GTEST_SKIP() << "needs PostgreSQL: PGHOST and PGPORT are unset (run under pg_virtualenv)";
        db = std::make_unique<Database>();
    }

    // Every board still running must end cleanly on SIGTERM.
    void TearDown() override {
        for (auto& board : boards) {
            if (board->Running()) {
                EXPECT_EQ(board->Stop(), 0) << "ended otherwise on SIGTERM\n" << board->Output();
            }
        }
        boards.clear();
        db.reset();
    }

    // A board on this test's database, picking a free port, with the given options after those.
    BoardProcess& Start(const std::string& name, const std::vector<std::string>& options,
                        const Database* on = nullptr) {
        std::vector<std::string> args = {"--db", (on ? on : db.get())->Conninfo(), "--port", "0", "--name",
                                         name};
        args.insert(args.end(), options.begin(), options.end());
        boards.push_back(std::make_unique<BoardProcess>(name, args));
        return *boards.back();
    }

    // A sanitizer build's verifier reserves terabytes of address space: no limit can be set for it.
    static std::vector<std::string> MemoryOption() {
        if (std::string(SPINDRIFT_SANITIZE).empty()) return {};
        return {"--verify-memory", "0"};
    }

    static std::vector<std::string> Verifier(const std::string& path) {
        std::vector<std::string> options = {"--verifier", path};
        for (const std::string& option : MemoryOption()) options.push_back(option);
        return options;
    }

    // A shell script in the test's folder, to be run as the verifier.
    std::string Script(const std::string& name, const std::string& body) {
        const std::filesystem::path path = temp.path / name;
        writeFile(path, "#!/bin/sh\n" + body + "\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path.string();
    }

    // The real verifier started a little late, so that verifications last long enough to overlap,
    // be seen in the database or be cut off.
    std::string SlowVerifier(const std::string& seconds) {
        return Script("slow-verifier", "sleep " + seconds + "\nexec '" SPINDRIFT_EXE "' \"$@\"");
    }

    TempDir temp;
    std::unique_ptr<Database> db;
    std::vector<std::unique_ptr<BoardProcess>> boards;
};

} // namespace board_test

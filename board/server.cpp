#include "board/server.h"

#include "board/page.h"
#include "board/round.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <charconv>
#include <cstdio>

namespace {

using httplib::Request;
using httplib::Response;
using json = nlohmann::ordered_json;

constexpr int ThreadCount = 32;
// A client silent this long, or slower than this to take an answer, is cut off.
constexpr int ClientSeconds = 5;
constexpr int PageEntries = 10;
// Requests one kept-alive connection may make before it is closed (the library's default is 5).
constexpr int KeepAliveRequests = 1000;

const char* const DatabaseAwayText = "the board's database is not reachable; try again later";

void Answer(Response& res, int status, const json& body) {
    res.status = status;
    res.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
}

void Fail(Response& res, int status, const std::string& why) { Answer(res, status, json{{"error", why}}); }

std::optional<int64_t> Number(const std::string& text) {
    int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// The form's fields, once each; a field sent twice is refused as ambiguous.
std::optional<std::map<std::string, std::string>> FormFields(const std::string& body) {
    httplib::Params params;
    httplib::detail::parse_query_text(body, params);
    std::map<std::string, std::string> fields;
    for (auto& [name, value] : params)
        if (!fields.emplace(name, value).second) return std::nullopt;
    return fields;
}

class Routes {
  public:
    Routes(const BoardOptions& given, Store& data, const BoardCache& boards)
        : options(given), store(data), cache(boards) {}

    void Submit(const Request& req, Response& res) {
        const auto fields = FormFields(req.body);
        if (!fields) return Fail(res, 400, "a field is given twice");
        auto field = [&](const char* name) {
            auto at = fields->find(name);
            return at == fields->end() ? std::string() : at->second;
        };
        const std::string key = field("key"), name = field("name"), text = field("replay");
        if (!IsPlayerKey(key))
            return Fail(res, 400, "the key must be 32 to 128 characters of 0-9, A-Z, a-z, _ and -");
        if (!IsPlayerName(name)) return Fail(res, 400, "the name must be 1 to 16 printable characters");
        if (text.empty()) return Fail(res, 400, "no replay");
        if (text.size() / 4 * 3 > MaxReplayBytes + 2)
            return Fail(res, 413, "the replay is larger than 4 MiB");
        const auto bytes = DecodeBase64(text);
        if (!bytes) return Fail(res, 400, "the replay is not base64");
        if (bytes->size() > MaxReplayBytes) return Fail(res, 413, "the replay is larger than 4 MiB");
        const std::span<const uint8_t> file(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size());
        // A file of another format than this game's is another game version's.
        const int format = ReplayFileFormat(file);
        if (format != -1 && format != ReplayFormat)
            return Fail(res, 409, "the replay is another game version's file format");
        ReplayData data;
        if (const std::string why = DecodeReplay(file, data); !why.empty())
            return Fail(res, 400, "not a replay: " + why);
        if (const std::string why = OtherVersionReason(data); !why.empty()) return Fail(res, 409, why);
        const Submission round{Sha256(key),     name,           req.remote_addr,
                               *bytes,          Sha256(*bytes), CourseHash(data),
                               data.difficulty, data.score};
        const SubmitResult result = store.Submit(round, options.keyLimit, options.addressLimit);
        switch (result.kind) {
        case SubmitResult::KeyLimited:
            return Fail(res, 429, "too many rounds from this key in the last hour");
        case SubmitResult::AddressLimited:
            return Fail(res, 429, "too many rounds from this address in the last hour");
        case SubmitResult::AlreadyThere:
        case SubmitResult::Accepted:
            Answer(res, result.kind == SubmitResult::Accepted ? 202 : 200,
                   json{{"id", result.id}, {"status", result.status}});
        }
    }

    void Status(const Request& req, Response& res) {
        const auto id = Number(req.matches[1]);
        const auto status = id ? store.Status(*id) : std::nullopt;
        if (!status) return Fail(res, 404, "no such round");
        json body{{"id", status->id},
                  {"status", status->status},
                  {"difficulty", DifficultyName(status->difficulty)}};
        body["reason"] = status->reason ? json(*status->reason) : json(nullptr);
        body["score"] = status->score ? json(*status->score) : json(nullptr);
        // The board in memory knows the rank; a round ranked a moment ago may not be in it yet.
        std::optional<int64_t> rank;
        if (status->placed) rank = cache.Current()->AllTimeRank(status->difficulty, status->id);
        if (status->placed && !rank) rank = store.AllTimeRank(status->id);
        body["rank"] = rank ? json(*rank) : json(nullptr);
        Answer(res, 200, body);
    }

    void Board(const Request& req, Response& res) {
        const int difficulty =
            DifficultyNamed(req.has_param("difficulty") ? req.get_param_value("difficulty") : "normal");
        const int period = PeriodNamed(req.has_param("period") ? req.get_param_value("period") : "all");
        const auto limit = Number(req.has_param("limit") ? req.get_param_value("limit") : "10");
        if (difficulty == 0) return Fail(res, 400, "difficulty must be easy, normal or hard");
        if (period == PeriodCount) return Fail(res, 400, "period must be all, week or day");
        if (!limit || *limit < 1 || *limit > 100) return Fail(res, 400, "limit must be 1 to 100");
        const auto snapshot = cache.Current();
        if (!snapshot->loaded) return Fail(res, 503, DatabaseAwayText);
        const ::Board& shown = *snapshot->boards[difficulty - 1][period];
        const std::vector<Place>& board = shown.places;
        if (*limit == TopTen && !req.has_param("around"))
            return res.set_content(shown.topTenJson, "application/json");
        std::size_t around = board.size();
        if (req.has_param("around")) {
            const std::string keyHash = Sha256(req.get_param_value("around"));
            around = std::find_if(board.begin(), board.end(),
                                  [&](const Place& p) { return p.keyHash == keyHash; }) -
                     board.begin();
            if (around == board.size()) return Answer(res, 200, json{{"entries", json::array()}});
        }
        res.set_content(BoardJson(board, int(*limit), around), "application/json");
    }

    void ReplayFile(const Request& req, Response& res) {
        const auto id = Number(req.matches[1]);
        const auto bytes = id ? store.VerifiedReplay(*id) : std::nullopt;
        if (!bytes) return Fail(res, 404, "no such verified round");
        res.set_header("Content-Disposition",
                       "attachment; filename=\"spindrift-" + std::to_string(*id) + ".replay\"");
        res.set_content(*bytes, "application/octet-stream");
    }

    void Page(const Request&, Response& res) {
        res.set_content(BoardPage(*cache.Current(), PageEntries), "text/html; charset=utf-8");
    }

  private:
    const BoardOptions& options;
    Store& store;
    const BoardCache& cache;
};

// Database trouble is a 503 with a plain sentence; the database's own words go to the log only.
template <class Handler> httplib::Server::Handler Guarded(std::shared_ptr<Routes> routes, Handler handler) {
    return [routes, handler](const Request& req, Response& res) {
        try {
            ((*routes).*handler)(req, res);
        } catch (const DatabaseAway&) {
            Fail(res, 503, DatabaseAwayText);
        }
    };
}

void Refuse(httplib::Server& server, const char* path, std::initializer_list<const char*> methods) {
    auto wrongMethod = [](const Request&, Response& res) { Fail(res, 405, "method not allowed here"); };
    for (const char* method : methods) {
        const std::string_view m = method;
        if (m == "GET") server.Get(path, wrongMethod);
        if (m == "POST") server.Post(path, wrongMethod);
        if (m == "PUT") server.Put(path, wrongMethod);
        if (m == "DELETE") server.Delete(path, wrongMethod);
    }
}

} // namespace

void ServeBoard(httplib::Server& server, const BoardOptions& options, Store& store, const BoardCache& cache) {
    auto routes = std::make_shared<Routes>(options, store, cache);
    server.Post("/api/replays", Guarded(routes, &Routes::Submit));
    server.Get(R"(/api/replays/([0-9]{1,18}))", Guarded(routes, &Routes::Status));
    server.Get("/api/board", Guarded(routes, &Routes::Board));
    server.Get(R"(/replays/([0-9]{1,18})\.replay)", Guarded(routes, &Routes::ReplayFile));
    server.Get("/", Guarded(routes, &Routes::Page));
    server.Get("/housecall.php", [](const Request&, Response& res) {
        res.set_content("Spindrift world board: hello\n", "text/plain; charset=utf-8");
    });
    Refuse(server, "/api/replays", {"GET", "PUT", "DELETE"});
    Refuse(server, R"(/api/replays/([0-9]{1,18}))", {"POST", "PUT", "DELETE"});
    Refuse(server, "/api/board", {"POST", "PUT", "DELETE"});
    Refuse(server, "/", {"POST", "PUT", "DELETE"});

    server.set_tcp_nodelay(true);
    server.set_keep_alive_max_count(KeepAliveRequests);
    server.set_read_timeout(ClientSeconds);
    server.set_write_timeout(ClientSeconds);
    server.set_keep_alive_timeout(ClientSeconds);
    server.set_payload_max_length(MaxBodyBytes);
    server.new_task_queue = [] { return new httplib::ThreadPool(ThreadCount); };
    // Statuses the routes did not answer themselves (no route, a body over the limit) get a JSON
    // reason too.
    server.set_error_handler([](const Request&, Response& res) {
        if (!res.body.empty()) return;
        const char* why = res.status == 404   ? "no such page"
                          : res.status == 413 ? "the request is larger than 6 MiB"
                          : res.status == 405 ? "method not allowed here"
                                              : "the request could not be read";
        Fail(res, res.status, why);
    });
    server.set_exception_handler([](const Request&, Response& res, std::exception_ptr) {
        Fail(res, 500, "the server failed on this request");
    });
    server.set_logger([](const Request& req, const Response& res) {
        std::printf("%s %s %s %d %zu\n", req.remote_addr.c_str(), req.method.c_str(), req.path.c_str(),
                    res.status, res.body.size());
        std::fflush(stdout);
    });
}

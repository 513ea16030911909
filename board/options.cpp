#include "board/options.h"

#include <charconv>
#include <climits>
#include <cstdlib>
#include <string_view>
#include <thread>
#include <unistd.h>

const char* const BoardUsage = R"(Usage: spindrift-board [options]
A world score board for Spindrift: takes rounds over HTTP, re-plays each one with the game's own
verifier before it ranks it, and keeps everything in PostgreSQL.

  --db CONNINFO          PostgreSQL connection string (else $SPINDRIFT_BOARD_DB, else libpq's
                         PGHOST, PGPORT, PGUSER, PGDATABASE, PGPASSWORD)
  --listen ADDRESS       address to serve on (default 127.0.0.1)
  --port N               port to serve on (default 8080; 0 picks a free one)
  --verifier PATH        the game program that re-plays rounds (default: spindrift beside this one)
  --workers N            verification threads (default: the number of cores; 0 verifies nothing)
  --lease SECONDS        how long a claimed verification stays this process's (default 120)
  --verify-cpu SECONDS   CPU time one verification may take (default 30)
  --verify-wall SECONDS  wall-clock time one verification may take (default 60)
  --verify-memory MIB    address space one verification may take (default 1024; 0: no limit)
  --key-limit N          submissions one key may make per hour (default 120)
  --address-limit N      submissions one address may make per hour (default 600)
  --name TEXT            this process's name in leases and logs (default host:pid)
  --help                 this text
)";

namespace {

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    std::string self(path, std::size_t(n));
    return self.substr(0, self.rfind('/'));
}

std::string DefaultName() {
    char host[256] = "board";
    gethostname(host, sizeof host - 1);
    return std::string(host) + ":" + std::to_string(getpid());
}

bool ReadCount(std::string_view text, int& out) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) return false;
    out = value;
    return true;
}

} // namespace

ParsedOptions ParseBoardOptions(int argc, char** argv) {
    BoardOptions o;
    if (const char* db = std::getenv("SPINDRIFT_BOARD_DB")) o.database = db;
    o.verifier = ProgramFolder() + "/spindrift";
    o.workers = int(std::max(1u, std::thread::hardware_concurrency()));
    o.name = DefaultName();
    struct Text {
        const char* flag;
        std::string* into;
    };
    struct Count {
        const char* flag;
        int* into;
    };
    const Text texts[] = {
        {"--db", &o.database}, {"--listen", &o.listen}, {"--verifier", &o.verifier}, {"--name", &o.name}};
    const Count counts[] = {{"--port", &o.port},
                            {"--workers", &o.workers},
                            {"--lease", &o.leaseSeconds},
                            {"--verify-cpu", &o.verifyCpuSeconds},
                            {"--verify-wall", &o.verifyWallSeconds},
                            {"--verify-memory", &o.verifyMemoryMiB},
                            {"--key-limit", &o.keyLimit},
                            {"--address-limit", &o.addressLimit}};
    ParsedOptions parsed;
    for (int i = 1; i < argc; ++i) {
        const std::string_view flag = argv[i];
        if (flag == "--help" || flag == "-h") {
            parsed.help = true;
            return parsed;
        }
        if (i + 1 >= argc) {
            parsed.error = "unknown option or missing value: " + std::string(flag);
            return parsed;
        }
        const char* value = argv[++i];
        bool known = false;
        for (const Text& t : texts)
            if (flag == t.flag) *t.into = value, known = true;
        for (const Count& c : counts) {
            if (flag != c.flag) continue;
            known = true;
            if (!ReadCount(value, *c.into)) {
                parsed.error = std::string(flag) + " needs a whole number, not " + value;
                return parsed;
            }
        }
        if (!known) {
            parsed.error = "unknown option: " + std::string(flag);
            return parsed;
        }
    }
    if (o.port > 65535 || o.leaseSeconds < 1 || o.verifyCpuSeconds < 1 || o.verifyWallSeconds < 1) {
        parsed.error = "--port must be at most 65535, and the lease and limits at least 1 second";
        return parsed;
    }
    parsed.options = o;
    return parsed;
}

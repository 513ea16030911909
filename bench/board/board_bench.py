#!/usr/bin/env python3
"""The score board's benchmarks, run by run.sh inside pg_virtualenv (the PG* variables name a
throw-away cluster). Prints figures as it goes and a summary at the end; never judges them."""

import atexit
import base64
import concurrent.futures
import http.client
import json
import os
import signal
import socket
import struct
import subprocess
import sys
import time
import urllib.parse

ROOT = os.environ["BOARD_BENCH_ROOT"]
BIN = os.environ["BOARD_BENCH_BIN"]
WORK = os.environ["BOARD_BENCH_WORK"]
BOARD_EXE = os.path.join(BIN, "spindrift-board")
GAME_EXE = os.path.join(BIN, "spindrift")
HERE = os.path.dirname(os.path.abspath(__file__))
PLAYERS = int(os.environ.get("BOARD_BENCH_PLAYERS", "1000"))
ROUNDS = int(os.environ.get("BOARD_BENCH_ROUNDS", "300"))
BIG = int(os.environ.get("BOARD_BENCH_BIG", "20000"))
SECONDS = int(os.environ.get("BOARD_BENCH_SECONDS", "5"))
RATES = [float(r) for r in os.environ.get("BOARD_BENCH_RATES", "5 20").split()]
STEADY_SECONDS = 10
# How often a player's game asks for its round's outcome: each ask counts the round's rank in SQL,
# so a client polling faster loads the database more.
POLL_SECONDS = float(os.environ.get("BOARD_BENCH_POLL", "0.5"))
DATABASE = "spindrift_board_bench"
TICK = os.sysconf("SC_CLK_TCK")
CORES = os.cpu_count() or 1


def say(text=""):
    print(text, flush=True)


# Whatever this run started is stopped when it ends, however it ends: a server left behind would
# hold its port and retry a database that is gone.
started = []


def stop_started():
    for server in reversed(started):
        server.stop()


atexit.register(stop_started)
signal.signal(signal.SIGTERM, lambda *_: sys.exit("board_bench: stopped"))


def percentile(values, p):
    """Nearest rank: with few samples p99 is the slowest one."""
    if not values:
        return float("nan")
    ordered = sorted(values)
    rank = max(1, -(-len(ordered) * p // 100))
    return ordered[int(rank) - 1]


def load_average():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


# --- the golden rounds --------------------------------------------------------------------------


def golden(number):
    path = os.path.join(ROOT, "tests", "game", "replays", "golden-%d.replay" % number)
    with open(path, "rb") as f:
        data = f.read()
    at = 10
    at += 1 + data[at]  # game version
    difficulty = data[at]
    score, _, updates = struct.unpack_from("<iII", data, at + 2)
    return {"path": path, "bytes": data, "difficulty": difficulty, "score": score, "updates": updates}


GOLDEN = [golden(n) for n in (1, 2, 3)]


def golden_case(column):
    """SQL choosing golden (i % 3) for row i of a generate_series."""
    values = {
        "bytes": lambda g: "decode('%s', 'hex')" % g["bytes"].hex(),
        "difficulty": lambda g: str(g["difficulty"]),
        "score": lambda g: str(g["score"]),
    }[column]
    return "CASE i %% 3 WHEN 1 THEN %s WHEN 2 THEN %s ELSE %s END" % tuple(values(g) for g in GOLDEN)


# --- processes ----------------------------------------------------------------------------------


def cpu_seconds(pid):
    """Its own CPU time and that of its reaped children."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
    except OSError:
        return 0.0
    return sum(int(v) for v in fields[11:15]) / TICK


def children(pid):
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                if int(f.read().rsplit(")", 1)[1].split()[1]) == pid:
                    found.append(int(entry))
        except (OSError, IndexError, ValueError):
            pass
    return found


def tree_cpu(pid):
    """A master and its live children (postmaster and backends, nginx and its workers)."""
    return cpu_seconds(pid) + sum(cpu_seconds(c) for c in children(pid))


def rss_mib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


def free_port(taken=()):
    for port in range(18500, 18600):
        if port in taken:
            continue
        with socket.socket() as s:
            try:
                s.bind(("127.0.0.1", port))
                return port
            except OSError:
                pass
    sys.exit("board_bench: no free port in 18500-18599")


class Psql:
    """One psql session kept open, so that a statement's round trip is the database's, not a new
    process's."""

    Done = "__board_bench_done__"

    def __init__(self, database):
        self.process = subprocess.Popen(
            ["psql", "-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", "-d", database],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)

    def run(self, sql):
        self.process.stdin.write(sql.rstrip().rstrip(";") + ";\n\\echo " + self.Done + "\n")
        self.process.stdin.flush()
        rows = []
        while True:
            line = self.process.stdout.readline()
            if not line:
                sys.exit("board_bench: psql stopped on:\n" + sql[:2000])
            line = line.rstrip("\n")
            if line == self.Done:
                return [r.split("|") for r in rows]
            if line:
                rows.append(line)

    def value(self, sql):
        return self.run(sql)[0][0]

    def close(self):
        self.process.stdin.close()
        self.process.wait()


def postmaster_pid(psql):
    folder = psql.value("SHOW data_directory")
    with open(os.path.join(folder, "postmaster.pid")) as f:
        return int(f.readline())


def get(port, path, timeout=10):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=timeout)
    try:
        connection.request("GET", path)
        response = connection.getresponse()
        return response.status, response.read()
    finally:
        connection.close()


class Board:
    def __init__(self, workers, name, port):
        self.name, self.port = name, port
        self.log_path = os.path.join(WORK, name + ".log")
        self.log = open(self.log_path, "w")
        # The limits are raised: every benchmark round comes from one address.
        self.process = subprocess.Popen(
            [BOARD_EXE, "--db", "dbname=" + DATABASE, "--port", str(port), "--workers", str(workers),
             "--name", name, "--key-limit", "1000000", "--address-limit", "1000000"],
            stdout=self.log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        started.append(self)
        give_up = time.monotonic() + 60
        while True:
            with open(self.log_path) as f:
                if "listening on" in f.read():
                    break
            if self.process.poll() is not None or time.monotonic() > give_up:
                self.stop()
                sys.exit("board_bench: %s did not start; its output:\n%s" % (name, open(self.log_path).read()))
            time.sleep(0.05)
        while get(port, "/api/board")[0] != 200:  # 503 until the first snapshot is loaded
            time.sleep(0.05)

    def cpu(self):
        return cpu_seconds(self.process.pid)

    def rss(self):
        return rss_mib(self.process.pid)

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(20)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        if not self.log.closed:
            self.log.close()


class Nginx:
    """nginx serving fixed answers at the board's own path: the file named by the limit asked."""

    def __init__(self, port, answers):
        self.folder = os.path.join(WORK, "nginx")
        static = os.path.join(self.folder, "static")
        os.makedirs(os.path.join(self.folder, "temp"), exist_ok=True)
        os.makedirs(static, exist_ok=True)
        os.chmod(self.folder, 0o755)
        os.chmod(static, 0o755)
        for limit, body in answers.items():
            path = os.path.join(static, "board-%d.json" % limit)
            with open(path, "wb") as f:
                f.write(body)
            os.chmod(path, 0o644)
        temp = os.path.join(self.folder, "temp")
        # As nginx is deployed: a worker per core and an access log, as the board logs each request.
        conf = """
worker_processes auto;
pid %(f)s/nginx.pid;
error_log %(f)s/error.log;
events { worker_connections 1024; }
http {
    access_log %(f)s/access.log;
    client_body_temp_path %(t)s/body;
    proxy_temp_path %(t)s/proxy;
    fastcgi_temp_path %(t)s/fastcgi;
    uwsgi_temp_path %(t)s/uwsgi;
    scgi_temp_path %(t)s/scgi;
    default_type application/json;
    server {
        listen 127.0.0.1:%(p)d;
        root %(s)s;
        location = /api/board { try_files /board-$arg_limit.json =404; }
    }
}
""" % {"f": self.folder, "t": temp, "p": port, "s": static}
        conf_path = os.path.join(self.folder, "nginx.conf")
        with open(conf_path, "w") as f:
            f.write(conf)
        self.process = subprocess.Popen(["nginx", "-p", self.folder, "-c", conf_path, "-g", "daemon off;"],
                                        stdin=subprocess.DEVNULL)
        started.append(self)
        give_up = time.monotonic() + 20
        while True:
            try:
                if get(port, "/api/board?limit=10")[0] == 200:
                    break
            except OSError:
                pass
            if self.process.poll() is not None or time.monotonic() > give_up:
                self.stop()
                sys.exit("board_bench: nginx did not start; see " + self.folder + "/error.log")
            time.sleep(0.05)

    def cpu(self):
        return tree_cpu(self.process.pid)

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGQUIT)  # nginx's graceful stop
            try:
                self.process.wait(20)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def wrk(port, path, connections, seconds, cpu_of, close=False):
    """One bounded wrk run; requests/s, latency p50/p99 (ms), errors and the server's CPU per
    request (microseconds). close: a new connection for every request, as the game's HTTP/1.0
    client makes; else keep-alive, as a browser."""
    cpu_before = cpu_of()
    run = subprocess.run(
        ["wrk", "-t2", "-c%d" % connections, "-d%ds" % seconds, "--latency", "-s",
         os.path.join(HERE, "report.lua")] + (["-H", "Connection: close"] if close else []) +
        ["http://127.0.0.1:%d%s" % (port, path)],
        capture_output=True, text=True, timeout=seconds + 60)
    cpu = cpu_of() - cpu_before
    line = [l for l in run.stdout.splitlines() if l.startswith("WRK ")]
    if not line:
        sys.exit("board_bench: wrk said:\n" + run.stdout + run.stderr)
    v = line[0].split()[1:]
    requests, duration = int(v[0]), float(v[1])
    errors = sum(int(x) for x in v[5:10])
    kinds = ", ".join("%s %s" % (k, x) for k, x in zip(("connect", "read", "write", "non-2xx", "timeout"),
                                                       v[5:10]) if x != "0")
    return {"rps": requests / duration, "p50": int(v[2]) / 1000, "p99": int(v[3]) / 1000,
            "max": int(v[4]) / 1000, "errors": errors, "requests": requests,
            "cpu_us": cpu / requests * 1e6 if requests else float("nan"),
            "bytes": int(v[10]) / requests if requests else 0, "kinds": kinds and " (" + kinds + ")"}


# --- the population -----------------------------------------------------------------------------

PERIOD_STARTS = """SELECT 'all' AS period, '-infinity'::timestamptz AS period_start
 UNION ALL SELECT 'week', date_trunc('week', now() AT TIME ZONE 'UTC') AT TIME ZONE 'UTC'
 UNION ALL SELECT 'day', date_trunc('day', now() AT TIME ZONE 'UTC') AT TIME ZONE 'UTC'"""


def fill(psql, first, count):
    """Players first..first+count-1, each with one verified round per difficulty played today, so
    that each of the nine boards (all time, week, day per difficulty) holds every one of them: the
    largest the week's and day's boards get for this population. Their files are a placeholder
    byte: only the verifier and the replay download read files, and neither reads these."""
    last = first + count - 1
    before = int(psql.value("SELECT coalesce(max(id), 0) FROM replays"))
    started = time.monotonic()
    psql.run("""
BEGIN;
INSERT INTO players (key_hash, name)
SELECT sha256(convert_to('pilot-' || g, 'UTF8')), 'pilot ' || g FROM generate_series(%(a)d, %(b)d) g;
INSERT INTO replays (key_hash, address, bytes, bytes_hash, course_hash, difficulty, recorded_score,
                     status, score, submitted, finished, attempts, verified_by)
SELECT sha256(convert_to('pilot-' || g, 'UTF8')),
       '10.' || (g / 65536 %% 256) || '.' || (g / 256 %% 256) || '.' || (g %% 256), '\\x00'::bytea,
       sha256(convert_to('pilot-bytes-' || g || '-' || d, 'UTF8')),
       sha256(convert_to('pilot-course-' || g || '-' || d, 'UTF8')), d, score, 'verified', score, at, at, 1,
       'bench-fill'
  FROM (SELECT g, d, (random() * 100000)::int AS score,
               now() - random() * (now() - (date_trunc('day', now() AT TIME ZONE 'UTC') AT TIME ZONE 'UTC')) AS at
          FROM generate_series(%(a)d, %(b)d) g, generate_series(1, 3) d) r;
INSERT INTO places (difficulty, period, period_start, key_hash, replay_id, score, achieved)
SELECT r.difficulty, s.period, s.period_start, r.key_hash, r.id, r.score, r.finished
  FROM replays r, (%(periods)s) s
 WHERE r.id > %(before)d AND r.verified_by = 'bench-fill';
NOTIFY board_changed;
COMMIT;
""" % {"a": first, "b": last, "before": before, "periods": PERIOD_STARTS})
    # As autovacuum leaves a table after a bulk load: planned from statistics, index-only scans.
    psql.run("VACUUM ANALYZE players")
    psql.run("VACUUM ANALYZE replays")
    psql.run("VACUUM ANALYZE places")
    return time.monotonic() - started


def reload_cost(psql, port, board, postmaster, times=5):
    """Moves the normal board's last place to the top, as a ranking does, and times until the board
    answers with it: the snapshot reload the ranking's NOTIFY starts. The first is a warm-up. Also
    the CPU one reload takes (board and PostgreSQL), whole and per place loaded."""
    took, cpu = [], 0.0
    for attempt in range(times + 1):
        before = board.cpu() + tree_cpu(postmaster)
        top = int(psql.value("""
WITH t AS (SELECT max(score) + 1 AS s FROM places WHERE difficulty = 2 AND period = 'all'),
     low AS (SELECT key_hash FROM places WHERE difficulty = 2 AND period = 'all' ORDER BY score LIMIT 1)
UPDATE places SET score = (SELECT s FROM t)
 WHERE difficulty = 2 AND period = 'all' AND key_hash = (SELECT key_hash FROM low) RETURNING score;
NOTIFY board_changed"""))
        started = time.monotonic()
        give_up = started + 120
        while True:
            status, body = get(port, "/api/board?difficulty=normal&limit=1")
            entries = json.loads(body)["entries"] if status == 200 else []
            if entries and entries[0]["score"] == top:
                break
            if time.monotonic() > give_up:
                sys.exit("board_bench: the board never showed the new top score")
            time.sleep(0.005)  # seldom enough that the asking costs little beside a reload
        if attempt > 0:
            took.append((time.monotonic() - started) * 1000)
            cpu += board.cpu() + tree_cpu(postmaster) - before
    loaded = int(psql.value("SELECT count(*) FROM places p JOIN (%s) s USING (period, period_start)"
                            % PERIOD_STARTS))
    cpu_ms = cpu / times * 1000
    return {"ms": sorted(took)[len(took) // 2], "max": max(took), "cpu_ms": cpu_ms, "places": loaded,
            "us_per_place": cpu_ms * 1000 / loaded}


def lowest_normal(psql):
    return int(psql.value("SELECT replay_id FROM places WHERE difficulty = 2 AND period = 'all' "
                          "ORDER BY score LIMIT 1"))


def status_cost(port, round_id, board, postmaster, times=20):
    """A round's status as the game polls it, rank included: median milliseconds, and CPU
    milliseconds per ask (board and PostgreSQL)."""
    took = []
    cpu = board.cpu() + tree_cpu(postmaster)
    for _ in range(times):
        started = time.monotonic()
        status, body = get(port, "/api/replays/%d" % round_id)
        took.append((time.monotonic() - started) * 1000)
        if status != 200:
            sys.exit("board_bench: status of round %d: %d %s" % (round_id, status, body[:200]))
    cpu = board.cpu() + tree_cpu(postmaster) - cpu
    return {"ms": sorted(took)[len(took) // 2], "cpu_ms": cpu / times * 1000}


# PostgreSQL's own time by statement (pg_stat_statements, loaded by run.sh), named by what the
# board does with it; the benchmark's own polling is left out.
STATEMENTS = [
    ("FROM places p JOIN players", "board reload (all places)"),
    ("SET lease_owner = $1", "claim a round"),
    ("SET status = $3", "finish a round"),
    ("INSERT INTO places", "rank into places"),
    ("SET lease_until", "renew a lease"),
    ("WHERE bytes_hash", "submit: earlier copy?"),
    ("submitted > now() - interval", "submit: rate limits"),
    ("INSERT INTO players", "submit: player"),
    ("INSERT INTO replays", "submit: round"),
    ("count(*) + $", "status with rank"),
]


def statements_reset(psql):
    psql.run("SELECT pg_stat_statements_reset()")


def statements(psql, rounds, top=6):
    rows = psql.run("""
SELECT calls, total_exec_time, regexp_replace(query, '\\s+', ' ', 'g') FROM pg_stat_statements
 WHERE dbid = (SELECT oid FROM pg_database WHERE datname = current_database())
   AND query NOT LIKE '%%/* bench */%%' AND query NOT LIKE '%%pg_stat_statements%%'
 ORDER BY total_exec_time DESC LIMIT %d""" % top)
    named = []
    for row in rows:
        calls, total, query = row[0], row[1], "|".join(row[2:])
        name = next((n for sign, n in STATEMENTS if sign in query), query[:40])
        named.append("%s %.1f ms/round (%d calls, %.2f ms each)" % (
            name, float(total) / rounds, int(calls), float(total) / max(1, int(calls))))
    return named


# --- verification -------------------------------------------------------------------------------


def verifier_alone(times=30):
    """The verifier process on each golden round as the board starts it (own folder, HOME there):
    what a round costs before the board adds its own work."""
    folder = os.path.join(WORK, "verifier")
    os.makedirs(folder, exist_ok=True)
    wall, cpu = [], []
    for i in range(times):
        g = GOLDEN[i % 3]
        started = time.monotonic()
        process = subprocess.Popen([GAME_EXE, "--verify-replay", g["path"]], cwd=folder,
                                   env={"PATH": "/usr/bin:/bin", "HOME": folder},
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(process.pid, 0)
        process.returncode = os.waitstatus_to_exitcode(status)
        wall.append((time.monotonic() - started) * 1000)
        cpu.append((usage.ru_utime + usage.ru_stime) * 1000)
        if process.returncode != 0:
            sys.exit("board_bench: the verifier failed golden-%d (status %d)" % (i % 3 + 1, process.returncode))
    return sorted(wall)[len(wall) // 2], sorted(cpu)[len(cpu) // 2]


def queue_and_time(psql, board, postmaster, count, tag):
    """Queues count rounds (copies of the goldens, each a new player's) in one transaction with the
    notification a submission sends, and times until every one is verified and ranked. Each copy
    gets hashes of its own, as a distinct round would: the verifier plays the file's bytes only."""
    before = int(psql.value("SELECT coalesce(max(id), 0) FROM replays"))
    board_cpu, pg_cpu = board.cpu(), tree_cpu(postmaster)
    psql.run("""
BEGIN;
INSERT /* bench */ INTO players (key_hash, name)
SELECT sha256(convert_to('%(tag)s-' || i, 'UTF8')), 'queued ' || i FROM generate_series(1, %(n)d) i;
INSERT /* bench */ INTO replays (key_hash, address, bytes, bytes_hash, course_hash, difficulty, recorded_score)
SELECT sha256(convert_to('%(tag)s-' || i, 'UTF8')), '192.0.2.' || (i %% 250), %(bytes)s,
       sha256(convert_to('%(tag)s-bytes-' || i, 'UTF8')), sha256(convert_to('%(tag)s-course-' || i, 'UTF8')),
       %(difficulty)s, %(score)s
  FROM generate_series(1, %(n)d) i;
NOTIFY round_submitted;
COMMIT;
""" % {"tag": tag, "n": count, "bytes": golden_case("bytes"), "difficulty": golden_case("difficulty"),
       "score": golden_case("score")})
    give_up = time.monotonic() + 600
    while int(psql.value("SELECT count(*) /* bench */ FROM replays WHERE id > %d AND status = 'pending'"
                         % before)):
        if time.monotonic() > give_up:
            sys.exit("board_bench: rounds still pending after 600 s; see " + board.log_path)
        time.sleep(0.05)
    board_cpu, pg_cpu = board.cpu() - board_cpu, tree_cpu(postmaster) - pg_cpu
    verified, rejected, span, first, placed = psql.run("""
SELECT /* bench */ count(*) FILTER (WHERE status = 'verified'), count(*) FILTER (WHERE status = 'rejected'),
       extract(epoch FROM max(finished) - min(submitted)), extract(epoch FROM min(finished) - min(submitted)),
       (SELECT count(*) FROM places WHERE replay_id > %d)
  FROM replays WHERE id > %d""" % (before, before))[0]
    verified, rejected, span, placed = int(verified), int(rejected), float(span), int(placed)
    if rejected:
        reason = psql.value("SELECT reason FROM replays WHERE id > %d AND status = 'rejected' LIMIT 1" % before)
        say("  warning: %d rounds rejected (%s)" % (rejected, reason))
    return {"verified": verified, "rejected": rejected, "ranked": placed // 3, "seconds": span,
            "first_ms": float(first) * 1000, "rate": verified / span if span > 0 else float("nan"),
            "board_ms": board_cpu / count * 1000, "pg_ms": pg_cpu / count * 1000}


# --- submissions at a steady rate ---------------------------------------------------------------

FRESH_ROUNDS = """
CREATE OR REPLACE FUNCTION bench_fresh_round() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    NEW.bytes_hash := sha256(NEW.bytes_hash || convert_to(random()::text || clock_timestamp()::text, 'UTF8'));
    NEW.course_hash := sha256(NEW.course_hash || convert_to(random()::text || clock_timestamp()::text, 'UTF8'));
    RETURN NEW;
END $$;
CREATE OR REPLACE TRIGGER bench_fresh_round BEFORE INSERT ON replays
    FOR EACH ROW EXECUTE FUNCTION bench_fresh_round();
"""


def steady(psql, port, rate, seconds, tag):
    """Submits a golden round (in turn) rate times a second, each from a new player, over HTTP as the
    game does, then polls its status until it is decided. Only three genuine rounds exist, and a
    round ranks once: a trigger in this database gives each stored copy hashes of its own, so the
    next copy is taken as a new round; the check for an earlier copy still runs in full."""
    count = int(rate * seconds)
    bodies = [base64.b64encode(g["bytes"]).decode() for g in GOLDEN]

    def one(k):
        form = urllib.parse.urlencode({"key": "%s-%04d-%s" % (tag, k, "k" * 32), "name": "bench %d" % k,
                                       "replay": bodies[k % 3]})
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
        sent = time.monotonic()
        connection.request("POST", "/api/replays", form, {"Content-Type": "application/x-www-form-urlencoded"})
        response = connection.getresponse()
        answer = response.read()
        accepted = time.monotonic()
        if response.status != 202:
            return {"error": "%d %s" % (response.status, answer[:200])}
        round_id = json.loads(answer)["id"]
        give_up = sent + 120
        while True:
            time.sleep(POLL_SECONDS)
            connection.request("GET", "/api/replays/%d" % round_id)
            response = connection.getresponse()
            state = json.loads(response.read())
            if state.get("status") != "pending" or time.monotonic() > give_up:
                break
        connection.close()
        return {"id": round_id, "status": state.get("status"), "rank": state.get("rank"),
                "submit_ms": (accepted - sent) * 1000, "seen_ms": (time.monotonic() - sent) * 1000}

    results, late = [], 0.0
    with concurrent.futures.ThreadPoolExecutor(max_workers=256) as pool:
        start = time.monotonic() + 0.2
        futures = []
        for k in range(count):
            due = start + k / rate
            now = time.monotonic()
            if due > now:
                time.sleep(due - now)
            else:
                late = max(late, now - due)
            futures.append(pool.submit(one, k))
        sent_in = time.monotonic() - start
        results = [f.result() for f in futures]
    failed = [r for r in results if "error" in r or r["status"] != "verified" or r["rank"] is None]
    good = [r for r in results if r not in failed]
    ids = ",".join(str(r["id"]) for r in good) or "0"
    db_ms = [float(v[0]) * 1000 for v in psql.run(
        "SELECT /* bench */ extract(epoch FROM finished - submitted) FROM replays WHERE id IN (%s)" % ids)]
    return {"count": count, "achieved": count / sent_in if sent_in > 0 else float("nan"), "late_ms": late * 1000,
            "failed": failed, "db": db_ms, "seen": [r["seen_ms"] for r in good],
            "submit": [r["submit_ms"] for r in good]}


# --- the run ------------------------------------------------------------------------------------


def main():
    say("== spindrift-board benchmarks ==")
    say("date %s UTC; %d cores (nproc); load average %s (1, 5, 15 min)"
        % (time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime()), CORES, load_average()))
    say("Other work may run beside this on the same cores: the figures are this moment's, and the")
    say("CPU per request or round is the steadier measure. wrk, the server, PostgreSQL and the verifier")
    say("share the %d cores." % CORES)
    try:
        revision = subprocess.run(["git", "-C", ROOT, "describe", "--always", "--dirty"],
                                  capture_output=True, text=True).stdout.strip()
    except OSError:
        revision = "?"
    say("source %s; board %s (built %s)" % (revision, BOARD_EXE, time.strftime(
        "%Y-%m-%d %H:%M", time.localtime(os.path.getmtime(BOARD_EXE)))))

    admin = Psql(os.environ.get("PGDATABASE", "postgres"))
    say(admin.value("SELECT version()").split(",")[0] + "; " + subprocess.run(
        ["nginx", "-v"], capture_output=True, text=True).stderr.strip())
    admin.run("CREATE DATABASE " + DATABASE)
    admin.close()
    extension = Psql(DATABASE)
    extension.run("CREATE EXTENSION pg_stat_statements")
    extension.close()
    port = free_port()
    nginx_port = free_port({port})

    # The schema comes from the board itself; a first process applies it.
    board = Board(2, "bench-reads", port)
    psql = Psql(DATABASE)
    postmaster = postmaster_pid(psql)
    took = fill(psql, 1, PLAYERS)
    reload_small = reload_cost(psql, port, board, postmaster)
    say()
    say("== 1. board reads: %d players, each on every board (filled in %.1f s) ==" % (PLAYERS, took))
    answers = {}
    for limit in (10, 100):
        status, body = get(port, "/api/board?difficulty=normal&limit=%d" % limit)
        assert status == 200 and len(json.loads(body)["entries"]) == min(limit, PLAYERS)
        answers[limit] = body
    nginx = Nginx(nginx_port, answers)
    for limit in (10, 100):
        status, body = get(nginx_port, "/api/board?difficulty=normal&limit=%d" % limit)
        assert status == 200 and body == answers[limit], "nginx must serve the board's very bytes"
    reads = []
    for limit, connections, close in ((10, 8, False), (10, 64, False), (100, 8, False), (10, 8, True),
                                      (10, 64, True)):
        path = "/api/board?difficulty=normal&limit=%d" % limit
        b = wrk(port, path, connections, SECONDS, board.cpu, close)
        n = wrk(nginx_port, path, connections, SECONDS, nginx.cpu, close)
        how = "limit %d, -c%d%s" % (limit, connections, ", close" if close else "")
        reads.append((how, b, n))
        for who, r in (("board", b), ("nginx", n)):
            say("  %-21s %-5s %7.0f req/s  p50 %6.2f ms  p99 %7.2f ms  max %7.1f ms  "
                "%5.1f us CPU/req  %d B/answer with headers  %d errors%s"
                % (how, who, r["rps"], r["p50"], r["p99"], r["max"], r["cpu_us"],
                   r["bytes"], r["errors"], r["kinds"]))
    nginx.stop()
    page = wrk(port, "/", 8, max(2, SECONDS // 2), board.cpu)
    status, body = get(port, "/")
    say("  page GET /  -c8  %7.0f req/s  p50 %.2f ms  p99 %.2f ms  %.1f us CPU/req  %d bytes  %d errors"
        % (page["rps"], page["p50"], page["p99"], page["cpu_us"], len(body), page["errors"]))
    rss_small = board.rss()
    status_small = status_cost(port, lowest_normal(psql), board, postmaster)
    say("  snapshot reload after a ranking: median %.0f ms, max %.0f ms, %.0f ms CPU (%.1f us per place of %d); "
        "board RSS %.0f MiB" % (reload_small["ms"], reload_small["max"], reload_small["cpu_ms"],
                                reload_small["us_per_place"], reload_small["places"], rss_small))
    say("  GET /api/replays/ID (its rank counted in SQL): median %.1f ms, %.1f ms CPU"
        % (status_small["ms"], status_small["cpu_ms"]))
    board.stop()

    say()
    say("== 2. verification throughput: %d queued rounds (golden 1-3 in turn, %.1f s of play on "
        "average) ==" % (ROUNDS, sum(g["updates"] for g in GOLDEN) / 3 / 60))
    alone_wall, alone_cpu = verifier_alone()
    say("  the verifier alone: %.1f ms wall, %.1f ms CPU per round (median of 30)" % (alone_wall, alone_cpu))
    throughput = {}
    for workers in (1, 2):
        board = Board(workers, "bench-w%d" % workers, port)
        statements_reset(psql)
        population = int(psql.value("SELECT count(*) FROM players"))
        r = queue_and_time(psql, board, postmaster, ROUNDS, "queue-w%d" % workers)
        r["players"] = population
        throughput[workers] = r
        say("  --workers %d, %d players before: %d verified, %d ranked in %.2f s: %.1f rounds/s, %.1f per "
            "worker; first done after %.0f ms; CPU per round: board+verifier %.1f ms, PostgreSQL %.1f ms"
            % (workers, population, r["verified"], r["ranked"], r["seconds"], r["rate"], r["rate"] / workers,
               r["first_ms"], r["board_ms"], r["pg_ms"]))
        say("    PostgreSQL's time: " + "; ".join(statements(psql, ROUNDS)))
        if workers == 1:
            board.stop()

    say()
    say("== 3. submission to verified at a steady rate (--workers 2; status polled every %.0f ms) =="
        % (POLL_SECONDS * 1000))
    psql.run(FRESH_ROUNDS)
    say("  %s players before" % psql.value("SELECT count(*) FROM players"))
    latency = []
    for rate in RATES:
        statements_reset(psql)
        r = steady(psql, port, rate, STEADY_SECONDS, "steady-%g" % rate)
        latency.append((rate, r))
        say("  %4g/s: %d sent (%.1f/s achieved, at most %.0f ms late); %d failed; submit request p50 %.1f ms "
            "p99 %.1f ms" % (rate, r["count"], r["achieved"], r["late_ms"], len(r["failed"]),
                             percentile(r["submit"], 50), percentile(r["submit"], 99)))
        say("         submitted->verified in the database p50 %.0f ms p99 %.0f ms; as the player sees it "
            "p50 %.0f ms p99 %.0f ms" % (percentile(r["db"], 50), percentile(r["db"], 99),
                                         percentile(r["seen"], 50), percentile(r["seen"], 99)))
        say("         PostgreSQL's time: " + "; ".join(statements(psql, r["count"])))
        for f in r["failed"][:3]:
            say("         failed: %s" % f)
    psql.run("DROP TRIGGER bench_fresh_round ON replays")
    board.stop()

    big = None
    if BIG > PLAYERS:
        say()
        say("== 4. a larger population: %d players, each on every board ==" % BIG)
        board = Board(2, "bench-big", port)
        took = fill(psql, PLAYERS + 1, BIG - PLAYERS)
        population = int(psql.value("SELECT count(*) FROM players"))
        reload_big = reload_cost(psql, port, board, postmaster)
        rss_big = board.rss()
        status_big = status_cost(port, lowest_normal(psql), board, postmaster)
        say("  %d players in all (filled in %.1f s); snapshot reload median %.0f ms, max %.0f ms, %.0f ms CPU "
            "(%.1f us per place of %d); board RSS %.0f MiB"
            % (population, took, reload_big["ms"], reload_big["max"], reload_big["cpu_ms"],
               reload_big["us_per_place"], reload_big["places"], rss_big))
        say("  GET /api/replays/ID (its rank counted in SQL): median %.1f ms, %.1f ms CPU"
            % (status_big["ms"], status_big["cpu_ms"]))
        read_big = wrk(port, "/api/board?difficulty=normal&limit=10", 8, SECONDS, board.cpu)
        say("  board reads -c8 limit 10: %.0f req/s, p99 %.2f ms" % (read_big["rps"], read_big["p99"]))
        statements_reset(psql)
        r = queue_and_time(psql, board, postmaster, ROUNDS, "queue-big")
        say("  --workers 2: %d verified, %d ranked in %.2f s: %.1f rounds/s; CPU per round: board+verifier "
            "%.1f ms, PostgreSQL %.1f ms" % (r["verified"], r["ranked"], r["seconds"], r["rate"],
                                             r["board_ms"], r["pg_ms"]))
        say("    PostgreSQL's time: " + "; ".join(statements(psql, ROUNDS)))
        big = {"reload": reload_big, "rss": rss_big, "status": status_big, "reads": read_big, "verify": r,
               "players": population}
        board.stop()
    psql.close()

    say()
    say("== summary (%d cores; load average now %s) ==" % (CORES, load_average()))
    say("%-34s %11s %9s %11s %9s %7s" % ("board reads (normal board)", "board req/s", "p99 ms",
                                         "nginx req/s", "p99 ms", "ratio"))
    for how, b, n in reads:
        say("%-34s %11.0f %9.2f %11.0f %9.2f %7.2f" % (how, b["rps"], b["p99"], n["rps"], n["p99"],
                                                      b["rps"] / n["rps"]))
    say("%-34s %11.0f %9.2f" % ("page GET /, -c8", page["rps"], page["p99"]))
    say("%-34s %11s %9s %11s %9s" % ("CPU per read (us), limit 10 -c8", "%.1f" % reads[0][1]["cpu_us"], "",
                                     "%.1f" % reads[0][2]["cpu_us"], ""))
    say("(close: a new connection per request, as the game's HTTP/1.0 client; else keep-alive)")
    say()
    say("%-34s %11s %9s %11s %11s" % ("verification (%d rounds)" % ROUNDS, "rounds/s", "per core",
                                      "CPU ms/rnd", "of it PG"))
    for workers, r in throughput.items():
        say("%-34s %11.1f %9.1f %11.1f %11.1f" % ("--workers %d, %d players" % (workers, r["players"]), r["rate"],
                                                  r["rate"] / min(workers, CORES), r["board_ms"] + r["pg_ms"],
                                                  r["pg_ms"]))
    if big:
        v = big["verify"]
        say("%-34s %11.1f %9.1f %11.1f %11.1f" % ("--workers 2, %d players" % big["players"], v["rate"],
                                                  v["rate"] / min(2, CORES), v["board_ms"] + v["pg_ms"], v["pg_ms"]))
    say("%-34s %11.1f" % ("the verifier alone, ms CPU/round", alone_cpu))
    say()
    say("%-34s %11s %9s %11s %9s" % ("submitted->verified (--workers 2)", "DB p50 ms", "p99 ms",
                                     "seen p50", "p99 ms"))
    for rate, r in latency:
        say("%-34s %11.0f %9.0f %11.0f %9.0f" % ("%g/s for %d s (%d rounds, %d failed)" % (
            rate, STEADY_SECONDS, r["count"], len(r["failed"])), percentile(r["db"], 50),
            percentile(r["db"], 99), percentile(r["seen"], 50), percentile(r["seen"], 99)))
    say()
    say("%-34s %11s %9s %9s %11s %9s" % ("population", "reload ms", "CPU ms", "RSS MiB", "status ms",
                                         "CPU ms"))
    rows = [(PLAYERS, reload_small, rss_small, status_small)]
    if big:
        rows.append((big["players"], big["reload"], big["rss"], big["status"]))
    for players, reload, rss, status in rows:
        say("%-34s %11.0f %9.0f %9.0f %11.1f %9.1f" % ("%d players, %d places loaded" % (players, reload["places"]),
                                                       reload["ms"], reload["cpu_ms"], rss, status["ms"],
                                                       status["cpu_ms"]))


if __name__ == "__main__":
    main()

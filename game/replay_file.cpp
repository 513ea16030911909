// The replay file's bytes (see replay_file.h).
#include "game/replay_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr char Magic[8] = {'S', 'P', 'D', 'R', 'P', 'L', 'A', 'Y'};

uint32_t Fnv(uint32_t h, const void* data, std::size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (std::size_t i = 0; i < n; ++i) h = FnvStep(h, p[i]);
    return h;
}
// ---- bytes out

struct Writer {
    std::vector<uint8_t>& out;
    void Bytes(const void* data, std::size_t n) {
        const std::size_t at = out.size();
        out.resize(at + n);
        if (n > 0) std::memcpy(out.data() + at, data, n);
    }
    void U8(unsigned v) { out.push_back(uint8_t(v)); }
    void U16(unsigned v) {
        U8(v & 0xff);
        U8(v >> 8 & 0xff);
    }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) U8(v >> (8 * i) & 0xff);
    }
    void Varint(uint32_t v) {
        while (v >= 0x80) {
            U8((v & 0x7f) | 0x80);
            v >>= 7;
        }
        U8(v);
    }
};

// ---- bytes in: every read checks what is left, and a failed read stays failed.

struct Reader {
    std::span<const uint8_t> in;
    std::size_t pos = 0;
    bool ok = true;
    std::size_t Left() const { return in.size() - pos; }
    bool Take(std::size_t n) {
        if (!ok || n > Left()) ok = false;
        return ok;
    }
    uint32_t Le(int bytes) {
        if (!Take(std::size_t(bytes))) return 0;
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) v |= uint32_t(in[pos++]) << (8 * i);
        return v;
    }
    uint32_t Varint() {
        uint32_t v = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            if (!Take(1)) return 0;
            uint8_t b = in[pos++];
            v |= uint32_t(b & 0x7f) << shift;
            if (!(b & 0x80)) return v;
        }
        ok = false;
        return 0;
    }
    std::span<const uint8_t> Span(std::size_t n) {
        if (!Take(n)) return {};
        auto s = in.subspan(pos, n);
        pos += n;
        return s;
    }
};

int32_t Unzigzag(uint32_t v) { return int32_t(v >> 1) ^ -int32_t(v & 1); }
uint32_t Zigzag(int32_t v) { return (uint32_t(v) << 1) ^ uint32_t(v >> 31); }

// ---- frames as changes to the one before

void EncodeFrameChange(Writer& w, const ReplayFrame& before, const ReplayFrame& now) {
    const auto* a = reinterpret_cast<const uint8_t*>(&before);
    const auto* b = reinterpret_cast<const uint8_t*>(&now);
    std::size_t at = 0;
    for (std::size_t i = 0; i < sizeof(ReplayFrame);) {
        if (a[i] == b[i]) {
            ++i;
            continue;
        }
        std::size_t end = i;
        // Short equal stretches inside a change cost less kept than split.
        while (end < sizeof(ReplayFrame) &&
               (a[end] != b[end] || (end + 2 < sizeof(ReplayFrame) && a[end + 1] != b[end + 1])))
            ++end;
        w.Varint(uint32_t(i - at));
        w.Varint(uint32_t(end - i));
        w.Bytes(b + i, end - i);
        at = i = end;
    }
    w.Varint(0);
    w.Varint(0);
}

// Applies one frame's changes; false when they reach past the frame.
bool DecodeFrameChange(Reader& r, ReplayFrame& frame) {
    auto* bytes = reinterpret_cast<uint8_t*>(&frame);
    std::size_t at = 0;
    while (r.ok) {
        uint32_t skip = r.Varint(), count = r.Varint();
        if (count == 0) return r.ok;
        if (skip > sizeof(ReplayFrame) - at || count > sizeof(ReplayFrame) - at - skip) return false;
        auto changed = r.Span(count);
        if (!r.ok) return false;
        std::memcpy(bytes + at + skip, changed.data(), count);
        at += skip + count;
    }
    return false;
}

// Walks the whole frame stream once: runs of at least one update adding up to the update count.
std::string CheckFrames(const ReplayData& replay) {
    Reader r{replay.frames};
    ReplayFrame frame{};
    uint64_t total = 0;
    while (r.Left() > 0) {
        uint32_t run = r.Varint();
        if (!r.ok || run == 0) return "a run of frames is cut or empty";
        if (!DecodeFrameChange(r, frame)) return "a frame reaches past its end";
        total += run;
        if (total > replay.updates) return "the frames last longer than the round";
    }
    if (total != replay.updates) return "the frames end before the round";
    return {};
}

std::string CheckClock(const ReplayData& replay) {
    Reader r{replay.clock};
    while (r.Left() > 0 && r.ok) r.Varint();
    return r.ok ? std::string() : "the clock readings are cut";
}

std::string ReadHeaderAndStreams(Reader& r, ReplayData& replay) {
    auto magic = r.Span(sizeof Magic);
    if (!r.ok || !std::equal(magic.begin(), magic.end(), Magic)) return "not a Spindrift replay";
    const uint32_t format = r.Le(2);
    if (r.ok && format != ReplayFormat)
        return "replay format " + std::to_string(format) + ", this game reads format " +
               std::to_string(ReplayFormat);
    auto version = r.Span(r.Le(1));
    replay.gameVersion.assign(version.begin(), version.end());
    replay.difficulty = int(r.Le(1));
    replay.controlStyle = int(r.Le(1));
    replay.score = int32_t(r.Le(4));
    replay.finalHash = r.Le(4);
    replay.updates = r.Le(4);
    if (!r.ok) return "the header is cut";
    if (replay.difficulty < 1 || replay.difficulty > 3 || replay.controlStyle > 2)
        return "the header names no difficulty or control style of this game";
    if (replay.updates > ReplayMaxUpdates) return "the round is longer than a day";
    const uint32_t starts = r.Le(2);
    if (r.ok && starts * 4 > r.Left()) return "the start fields reach past the end";
    for (uint32_t i = 0; i < starts && r.ok; ++i) replay.start.push_back(r.Le(4));
    for (auto* stream : {&replay.frames, &replay.clock}) {
        const uint32_t length = r.Le(4);
        if (r.ok && length > r.Left()) return "a stream is longer than the file";
        auto bytes = r.Span(length);
        stream->assign(bytes.begin(), bytes.end());
    }
    const uint32_t checkpoints = r.Le(4);
    if (r.ok && uint64_t(checkpoints) * 4 > r.Left()) return "the checkpoints reach past the end";
    for (uint32_t i = 0; i < checkpoints && r.ok; ++i) replay.checkpoints.push_back(r.Le(4));
    if (!r.ok) return "the file is cut";
    if (replay.checkpoints.size() != replay.updates / CheckpointEvery)
        return "the checkpoints do not fit the round";
    return {};
}

} // namespace

// ---- the file

std::vector<uint8_t> EncodeReplay(const ReplayData& replay) {
    std::vector<uint8_t> out;
    Writer w{out};
    w.Bytes(Magic, sizeof Magic);
    w.U16(ReplayFormat);
    const std::size_t versionLength = std::min<std::size_t>(replay.gameVersion.size(), 255);
    w.U8(unsigned(versionLength));
    w.Bytes(replay.gameVersion.data(), versionLength);
    w.U8(unsigned(replay.difficulty));
    w.U8(unsigned(replay.controlStyle));
    w.U32(uint32_t(replay.score));
    w.U32(replay.finalHash);
    w.U32(replay.updates);
    w.U16(unsigned(replay.start.size()));
    for (uint32_t v : replay.start) w.U32(v);
    for (const auto* stream : {&replay.frames, &replay.clock}) {
        w.U32(uint32_t(stream->size()));
        w.Bytes(stream->data(), stream->size());
    }
    w.U32(uint32_t(replay.checkpoints.size()));
    for (uint32_t v : replay.checkpoints) w.U32(v);
    w.U32(Fnv(FnvStart, out.data(), out.size()));
    return out;
}

int ReplayFileFormat(std::span<const uint8_t> bytes) {
    Reader r{bytes};
    auto magic = r.Span(sizeof Magic);
    const uint32_t format = r.Le(2);
    if (!r.ok || !std::equal(magic.begin(), magic.end(), Magic)) return -1;
    return int(format);
}

std::string OtherVersionReason(const ReplayData& replay) {
    if (replay.gameVersion == SPINDRIFT_VERSION) return {};
    return "the replay was recorded by Spindrift " + replay.gameVersion +
           ", this is Spindrift " SPINDRIFT_VERSION;
}

std::string DecodeReplay(std::span<const uint8_t> bytes, ReplayData& replay) {
    replay = ReplayData{};
    if (bytes.size() > ReplayMaxBytes) return "the file is too large to be a replay";
    if (bytes.size() < sizeof Magic + 4) return "the file is too short to be a replay";
    Reader r{bytes.first(bytes.size() - 4)};
    std::string why = ReadHeaderAndStreams(r, replay);
    if (why.empty() && r.Left() != 0) why = "bytes follow the checkpoints";
    if (why.empty()) {
        Reader tail{bytes.last(4)};
        if (tail.Le(4) != Fnv(FnvStart, bytes.data(), bytes.size() - 4)) why = "the checksum does not match";
    }
    if (why.empty()) why = CheckFrames(replay);
    if (why.empty()) why = CheckClock(replay);
    return why;
}

std::string ReadReplay(const std::string& path, ReplayData& replay) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return "cannot open " + path;
    std::vector<uint8_t> bytes;
    uint8_t block[65536];
    std::size_t n;
    while ((n = std::fread(block, 1, sizeof block, file)) > 0 && bytes.size() <= ReplayMaxBytes)
        bytes.insert(bytes.end(), block, block + n);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return "cannot read " + path;
    return DecodeReplay(bytes, replay);
}

// ---- the streams, a piece at a time

void AppendFrameRun(std::vector<uint8_t>& frames, uint32_t run, const ReplayFrame& before,
                    const ReplayFrame& now) {
    Writer w{frames};
    w.Varint(run);
    EncodeFrameChange(w, before, now);
}

bool ReadFrameRun(const std::vector<uint8_t>& frames, std::size_t& pos, uint32_t& run, ReplayFrame& frame) {
    Reader reader{frames, pos};
    if (reader.Left() == 0) return false;
    run = reader.Varint();
    DecodeFrameChange(reader, frame);
    pos = reader.pos;
    return true;
}

void AppendClockReading(std::vector<uint8_t>& clock, int32_t difference) {
    Writer{clock}.Varint(Zigzag(difference));
}

bool ReadClockReading(const std::vector<uint8_t>& clock, std::size_t& pos, int32_t& difference) {
    Reader reader{clock, pos};
    if (reader.Left() == 0) return false;
    difference = Unzigzag(reader.Varint());
    pos = reader.pos;
    return true;
}

ReplayClockCourse ReadClockCourse(const ReplayData& replay) {
    ReplayClockCourse course;
    std::size_t pos = 0;
    int32_t difference = 0;
    int64_t at = 0;
    while (ReadClockReading(replay.clock, pos, difference)) {
        at += difference;
        if (course.readings == 0)
            course.first = at;
        else if (difference < 0)
            course.wentBack = true;
        course.last = at;
        ++course.readings;
    }
    return course;
}

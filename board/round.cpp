#include "board/round.h"

#include <openssl/evp.h>
#include <openssl/sha.h>

#include <cstring>

bool IsPlayerKey(std::string_view key) {
    if (key.size() < 32 || key.size() > 128) return false;
    for (char c : key) {
        const bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        c == '_' || c == '-';
        if (!ok) return false;
    }
    return true;
}

bool IsPlayerName(std::string_view name) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < name.size();) {
        const auto lead = static_cast<unsigned char>(name[i]);
        const std::size_t length = lead < 0x80         ? 1
                                   : (lead >> 5) == 6  ? 2
                                   : (lead >> 4) == 14 ? 3
                                   : (lead >> 3) == 30 ? 4
                                                       : 0;
        if (length == 0 || i + length > name.size()) return false;
        uint32_t code = length == 1 ? lead : lead & (0x7f >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(name[i + k]);
            if ((next & 0xc0) != 0x80) return false;
            code = code << 6 | (next & 0x3f);
        }
        const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return false;
        if (code < 0x20 || (code >= 0x7f && code < 0xa0) || code == 0x2028 || code == 0x2029) return false;
        i += length;
        ++characters;
    }
    return characters >= 1 && characters <= 16;
}

std::optional<std::string> DecodeBase64(std::string_view text) {
    if (text.empty() || text.size() % 4 != 0) return std::nullopt;
    std::string out(text.size() / 4 * 3, '\0');
    const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(text.data()), int(text.size()));
    if (n < 0) return std::nullopt;
    // The block decoder counts padding as zero bytes.
    std::size_t padding = 0;
    for (std::size_t i = text.size(); i > 0 && text[i - 1] == '=' && padding < 2; --i) ++padding;
    out.resize(std::size_t(n) - padding);
    return out;
}

std::string Sha256(std::string_view bytes) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    EVP_Digest(bytes.data(), bytes.size(), digest, nullptr, EVP_sha256(), nullptr);
    return {reinterpret_cast<const char*>(digest), sizeof digest};
}

std::string CourseHash(const ReplayData& replay) {
    std::string course;
    auto add = [&](uint32_t v) { course.append(reinterpret_cast<const char*>(&v), sizeof v); };
    for (uint32_t v : {uint32_t(replay.difficulty), replay.updates, uint32_t(replay.score), replay.finalHash})
        add(v);
    for (uint32_t v : replay.checkpoints) add(v);
    return Sha256(course);
}

std::string ClockProblem(const ReplayData& replay) {
    const ReplayClockCourse clock = ReadClockCourse(replay);
    if (clock.wentBack) return "the recorded clock goes back";
    // Pauses may leave updates out of the clock's span: half the time, less a second, is a bound no
    // round played in real time falls under.
    const int64_t leastSpan = int64_t(replay.updates) * 1000 / 60 / 2 - 1000;
    if (clock.readings > 0 && clock.last - clock.first < leastSpan)
        return "the recorded clock runs faster than the round's updates";
    return {};
}

const char* DifficultyName(int difficulty) {
    static const char* const names[] = {"easy", "normal", "hard"};
    return difficulty >= 1 && difficulty <= 3 ? names[difficulty - 1] : "";
}

int DifficultyNamed(std::string_view name) {
    for (int d = 1; d <= 3; ++d)
        if (name == DifficultyName(d)) return d;
    return 0;
}

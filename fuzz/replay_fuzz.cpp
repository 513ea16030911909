// Any bytes as a replay file: the reader refuses them with a reason or accepts them, never reading
// past them or allocating more than they could hold; what it accepts encodes back to the same bytes.
#include "fuzz_support.h"
#include "game/replay_file.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    ReplayData replay;
    const std::span<const uint8_t> bytes(data, size);
    if (!DecodeReplay(bytes, replay).empty()) return 0;
    FUZZ_CHECK(replay.frames.size() + replay.clock.size() + 4 * replay.checkpoints.size() <= size);
    const std::vector<uint8_t> again = EncodeReplay(replay);
    FUZZ_CHECK(again == std::vector<uint8_t>(bytes.begin(), bytes.end()));
    return 0;
}

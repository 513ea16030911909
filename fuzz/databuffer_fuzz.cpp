// A data buffer's text decodings on any bytes: "utf8" and "ascii" read them whole, and a decoded
// text written back in its encoding reads back the same.
#include "fuzz_support.h"
#include "net/databuffer.h"

#include <cstring>

namespace {

void CheckRoundTrip(c_DataBuffer* source, const String& encoding) {
    String text = source->p_PeekString(0, source->Length(), encoding);
    int written = text.Length() * 3;
    c_DataBuffer* copy = (new c_DataBuffer)->m_new(written);
    int count = copy->p_PokeString(0, text, encoding);
    FUZZ_CHECK(count >= 0 && count <= written);
    FUZZ_CHECK(copy->p_PeekString(0, count, encoding) == text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size > (1 << 20)) return 0;
    c_DataBuffer* buffer = (new c_DataBuffer)->m_new(int(size));
    if (size > 0) std::memcpy(buffer->data, data, size);
    CheckRoundTrip(buffer, String(u"utf8"));
    CheckRoundTrip(buffer, String(u"ascii"));
    // A range that starts inside the buffer and runs past its end is clamped, not overread.
    int half = int(size / 2);
    FUZZ_CHECK(buffer->p_PeekString(half, int(size), String(u"utf8")).Length() <= int(size) - half);
    CollectGarbage();
    return 0;
}

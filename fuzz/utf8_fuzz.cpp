// The state file's decoding: any bytes decode, and the text written back as UTF-8 decodes to itself.
#include "fuzz_support.h"
#include "runtime/string.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    String text = String::FromBytes(data, size);
    std::string bytes;
    text.ToUtf8(bytes);
    // A leading U+FEFF written back reads as a byte-order mark, so only texts without one return.
    if (text.Length() > 0 && text[0] == 0xFEFF) return 0;
    String again = String::FromBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    FUZZ_CHECK(again == text);
    return 0;
}

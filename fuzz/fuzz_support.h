// What the fuzz targets share: a host whose files are the fuzzer's bytes, and a check that ends the
// run loudly when a property fails.
#pragma once

#include "host/game.h"

#include <cstdio>
#include <cstdlib>

// A property of the parser failed: libFuzzer reports the abort as a crash with its input.
#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);              \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)

// Every file this host opens holds the given bytes, so the loaders run whole on them: their own
// opening, reading, decoding and closing.
class BytesHost : public VxGlfwGame {
  public:
    const unsigned char* bytes = nullptr;
    std::size_t count = 0;

    std::FILE* OpenFile(String path, String mode) override {
        // A stream in memory of zero bytes is refused; an empty temporary file stands in for it.
        if (count == 0) return std::tmpfile();
        return fmemopen(const_cast<unsigned char*>(bytes), count, "rb");
    }
};

#include "runtime/gc.h"

// Ends a collector cycle between inputs, when no local holds a reference, so a long run keeps its
// heap small and the collector's marking runs on every kind of object the parsers make.
inline void CollectGarbage() {
    gc_ext_malloced(gc_cycle_bytes + 1);
    gc_collect_step(nullptr);
}

// Copies and sharing operations hand out the existing block: their cost must not grow with the
// text's length.
#include "runtime/array.h"
#include "runtime/string.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

String text_of(int length) {
    std::u16string units(std::size_t(length), u'x');
    return String(units.data(), length);
}

void BM_StringCopy(benchmark::State& state) {
    String text = text_of(int(state.range(0)));
    for (auto _ : state) {
        String copy = text;
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(BM_StringCopy)->Arg(8)->Arg(4096);

void BM_SharedResults(benchmark::State& state) {
    String text = text_of(int(state.range(0)));
    String empty;
    for (auto _ : state) {
        benchmark::DoNotOptimize(text + empty);
        benchmark::DoNotOptimize(text.Slice(0));
    }
}
BENCHMARK(BM_SharedResults)->Arg(8)->Arg(4096);

void BM_Concatenate(benchmark::State& state) {
    String text = text_of(int(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(text + text);
}
BENCHMARK(BM_Concatenate)->Arg(8)->Arg(4096);

} // namespace

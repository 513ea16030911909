// The collector's allocation with deferred destruction against new/delete of objects of the same
// sizes, and the cost of collector steps over a live heap.
#include "runtime/object.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

// A collected object of N bytes in all (header included).
template <int N> struct Collected : gc_object { char payload[N - sizeof(gc_object)]; };
template <> struct Collected<int(sizeof(gc_object))> : gc_object {};

// A plain heap object of the same size, with a virtual destructor like every collected class.
template <int N> struct Plain {
    virtual ~Plain() = default;
    char payload[N - sizeof(void*)];
};

constexpr int batch = 1000;

// Allocation as the game does it: objects dropped at once, one collector step per batch (the host
// steps after every call into the game). Dead objects are destroyed by later allocations.
template <int N> void BM_GcAlloc(benchmark::State& state) {
    for (auto _ : state) {
        for (int i = 0; i < batch; ++i) benchmark::DoNotOptimize(new Collected<N>);
        gc_collect_step(nullptr);
    }
    state.SetItemsProcessed(state.iterations() * batch);
}

template <int N> void BM_NewDelete(benchmark::State& state) {
    std::vector<Plain<N>*> held(batch);
    for (auto _ : state) {
        for (auto& p : held) benchmark::DoNotOptimize(p = new Plain<N>);
        for (auto* p : held) delete p;
    }
    state.SetItemsProcessed(state.iterations() * batch);
}

BENCHMARK_TEMPLATE(BM_GcAlloc, 32);
BENCHMARK_TEMPLATE(BM_NewDelete, 32);
BENCHMARK_TEMPLATE(BM_GcAlloc, 40);
BENCHMARK_TEMPLATE(BM_NewDelete, 40);
BENCHMARK_TEMPLATE(BM_GcAlloc, 48);
BENCHMARK_TEMPLATE(BM_NewDelete, 48);
BENCHMARK_TEMPLATE(BM_GcAlloc, 56);
BENCHMARK_TEMPLATE(BM_NewDelete, 56);

struct Node : Object {
    Node* next = nullptr;
    void mark() override { gc_mark_q(next); }
};

VxRoot<Node*> chain;

// One incremental step while allocating: it marks only what its pace asks, however large the
// live heap is.
void BM_IncrementalStep(benchmark::State& state) {
    chain = nullptr;
    Node* tail = chain = new Node;
    for (int i = 0; i < state.range(0); ++i) tail = gc_assign(tail->next, new Node);
    double marked = 0;
    for (auto _ : state) {
        for (int i = 0; i < 100; ++i) benchmark::DoNotOptimize(new Collected<32>);
        int before = gc_marked_bytes;
        gc_collect_step(nullptr);
        // A cycle end resets the count; only growth within a cycle is a step's own marking.
        if (gc_marked_bytes > before) marked += gc_marked_bytes - before;
    }
    state.counters["marked_bytes_per_step"] = benchmark::Counter(marked, benchmark::Counter::kAvgIterations);
    chain = nullptr;
}
BENCHMARK(BM_IncrementalStep)->Arg(10000)->Arg(100000);

} // namespace

// The cost of the batch: adding one quad (transform and colour pack) against storing four ready
// vertices, and a whole frame of 2,500 images through the calls the game's replay makes, per quad,
// in draw calls and as a share of the 16.7 ms frame budget. Needs a display: the device draws into a real
// OpenGL context.
#include "devices/graphics/drawcalls.h"
#include "framework/app/app.h"
#include "framework/graphics/graphics.h"
#include "host/game.h"

#include <GLFW/glfw3.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kQuadsPerBatch = gxtkGraphics::MAX_BATCH_VERTICES / 4;
constexpr int kImagesPerFrame = 2500;
constexpr double kFrameBudgetSeconds = 1.0 / 60;

// The host's window and the module bound to a device, opened once for every benchmark.
gxtkGraphics* Device() {
    static gxtkGraphics* device = [] {
        if (!glfwInit()) std::abort();
        auto* host = new VxGlfwGame;
        host->Install();
        host->SetGlfwWindow(VxWindowRequest{});
        if (!host->Window()) std::abort();
        host->SetSwapInterval(0);
        vx_app_Init();
        vx_graphics_Init();
        auto* graphics = new gxtkGraphics;
        vx_graphics_SetGraphicsDevice(graphics);
        return graphics;
    }();
    return device;
}

// Baseline: four vertices already computed, only stored.
void BM_StoreQuadVertices(benchmark::State& state) {
    gxtkGraphics* device = Device();
    gxtkGraphics::Vertex quad[4] = {
        {1, 2, 0, 0, ~0u}, {3, 2, 0, 0, ~0u}, {3, 4, 0, 0, ~0u}, {1, 4, 0, 0, ~0u}};
    int count = 0;
    for (auto _ : state) {
        std::memcpy(&device->vertices[count], quad, sizeof quad);
        count = (count + 4) % gxtkGraphics::MAX_BATCH_VERTICES;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StoreQuadVertices);

// DrawRect without and with a matrix. The full batch is dropped instead of drawn, so only the adding
// is measured.
void BM_AddQuad(benchmark::State& state) {
    gxtkGraphics* device = Device();
    device->BeginRender();
    device->SetColor(200, 100, 50);
    device->SetAlpha(0.5f);
    if (state.range(0)) {
        device->SetMatrix(0.8f, -0.6f, 0.6f, 0.8f, 320, 240);
    } else {
        device->SetMatrix(1, 0, 0, 1, 0, 0);
    }
    float x = 0;
    for (auto _ : state) {
        if (device->batchCount == gxtkGraphics::MAX_BATCH_VERTICES) device->batchCount = 0;
        device->DrawRect(x, 10, 16, 16);
        x += 1;
    }
    device->batchCount = 0;
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(state.range(0) ? "transformed" : "identity");
}
BENCHMARK(BM_AddQuad)->Arg(0)->Arg(1);

// One frame as the game's replay draws it: 2,500 frames of one image over the window, each with its
// alpha, colour and blend set again and drawn turned, as every replayed command is.
// range(0) chooses how much counts: 0 the module and the batch only (a full batch is dropped instead
// of drawn), 1 also the draw calls, 2 also the driver finishing the frame (glFinish).
void BM_ImageFrame(benchmark::State& state) {
    const auto mode = state.range(0);
    gxtkGraphics* device = Device();
    c_Image* image = vx_graphics_CreateImage(16, 16, 4, c_Image::HandleCentre);
    long draws = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        long before = gxtkDrawCalls::Count();
        vx_app_ValidateDeviceWindow(true);
        device->BeginRender();
        vx_graphics_BeginRender();
        device->Cls(0, 0, 0);
        for (int i = 0; i < kImagesPerFrame; ++i) {
            if (mode == 0 && device->batchCount == gxtkGraphics::MAX_BATCH_VERTICES) device->batchCount = 0;
            vx_graphics_SetAlpha(1);
            vx_graphics_SetColor(float(i % 256), 128, 255);
            vx_graphics_SetBlend(0);
            vx_graphics_DrawImage2(image, float(i % 50) * 12.8f, float(i / 50) * 9.6f, float(i % 360), 1, 1,
                                   i % 4);
        }
        if (mode == 0) device->batchCount = 0;
        vx_graphics_EndRender();
        device->EndRender();
        if (mode == 2) glFinish();
        draws = gxtkDrawCalls::Count() - before;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    state.SetItemsProcessed(state.iterations() * kImagesPerFrame);
    // Seconds per image drawn.
    state.counters["per_quad"] = benchmark::Counter(
        double(kImagesPerFrame), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    // Percent of the 16.7 ms frame budget one frame takes.
    state.counters["budget_pct"] = 100 * elapsed.count() / double(state.iterations()) / kFrameBudgetSeconds;
    state.counters["draws"] = double(draws);
    const char* labels[] = {"module and batch only", "submitted", "submitted and finished"};
    state.SetLabel(labels[mode]);
}
BENCHMARK(BM_ImageFrame)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

// Sprites against an established renderer, in one run on one display: the framework drawing N
// rotated, tinted sprites of one image a frame (vx_graphics_SetColor and vx_graphics_DrawImage2,
// what the game's replay calls), against SDL2's own renderer on its OpenGL back end doing the same
// with SDL_SetTextureColorMod and SDL_RenderCopyEx. A frame clears, draws the sprites and reads one
// pixel back, so that both wait for their drawing to be done; the work per frame is equal. Each
// reports sprites per second; SDL2's run also reports the ratio ours / SDL2's for the same size, on
// the clock and on the drawing thread's CPU time. On a software renderer (llvmpipe under Xvfb) the
// clock is mostly the driver's rasterising threads, which both renderers share alike.
// Needs a display (xvfb-run -a -s "-screen 0 1920x1080x24" bin/sprite_bench).
#include "framework/app/app.h"
#include "framework/graphics/graphics.h"
#include "host/game.h"

#include <GLFW/glfw3.h>
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <map>
#include <vector>

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr int kSpritesPerFrame = 2000;

// Where, how turned and how tinted sprite i is: the same for both renderers.
struct Sprite {
    float x, y, angle;
    Uint8 r, g, b;
};

const std::vector<Sprite>& Sprites() {
    static const std::vector<Sprite> sprites = [] {
        std::vector<Sprite> all;
        unsigned seed = 12345;
        auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
        for (int i = 0; i < kSpritesPerFrame; ++i) {
            all.push_back({float(next() % kWidth), float(next() % kHeight), float(next() % 360),
                           Uint8(next()), Uint8(next()), Uint8(next())});
        }
        return all;
    }();
    return sprites;
}

// An opaque sprite with a lighter border, so texturing is not trivially one colour.
std::vector<int> SpritePixels(int size) {
    std::vector<int> pixels(std::size_t(size) * size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            bool edge = x == 0 || y == 0 || x == size - 1 || y == size - 1;
            pixels[std::size_t(y) * size + x] = int(edge ? 0xFFFFFFFFu : 0xFF8080C0u);
        }
    }
    return pixels;
}

// The framework's sprites a second by sprite size, for the ratio: on the clock, and on the CPU
// time of the thread that draws (the rest goes to the driver's rasterising threads).
struct Rates {
    double wall = 0, cpu = 0;
};
std::map<int, Rates>& OursRate() {
    static std::map<int, Rates> rates;
    return rates;
}

// ---- the framework

GLFWwindow* OurWindow() {
    static GLFWwindow* window = [] {
        if (!glfwInit()) std::abort();
        auto* host = new VxGlfwGame;
        host->Install();
        host->SetGlfwWindow({.width = kWidth, .height = kHeight});
        if (!host->Window()) std::abort();
        host->SetSwapInterval(0);
        vx_app_Init();
        vx_graphics_Init();
        vx_graphics_SetGraphicsDevice(new gxtkGraphics);
        return host->Window();
    }();
    return window;
}

c_Image* OurSprite(int size) {
    static std::map<int, VxRoot<c_Image*>> images;
    VxRoot<c_Image*>& image = images[size];
    if (!image) {
        image = vx_graphics_CreateImage(size, size, 1, c_Image::HandleCentre);
        std::vector<int> pixels = SpritePixels(size);
        vx_graphics_device->WritePixels2(image->surface, Array<int>(pixels.data(), int(pixels.size())), 0, 0,
                                         size, size, 0, size);
    }
    return image;
}

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double Seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void BM_OursSprites(benchmark::State& state) {
    const int size = int(state.range(0));
    glfwMakeContextCurrent(OurWindow());
    gxtkGraphics* device = vx_graphics_device;
    c_Image* image = OurSprite(size);
    Array<int> pixel(1);
    const double start = Seconds(), startCpu = ThreadSeconds();
    for (auto _ : state) {
        vx_app__devWidth = kWidth;
        vx_app__devHeight = kHeight;
        device->BeginRender();
        vx_graphics_BeginRender();
        device->Cls(0, 0, 0);
        for (const Sprite& s : Sprites()) {
            vx_graphics_SetColor(s.r, s.g, s.b);
            vx_graphics_DrawImage2(image, s.x, s.y, s.angle, 1, 1, 0);
        }
        vx_graphics_EndRender();
        device->EndRender();
        device->ReadPixels(pixel, 0, 0, 1, 1, 0, 1);
    }
    const auto sprites = double(state.iterations() * kSpritesPerFrame);
    OursRate()[size] = {sprites / (Seconds() - start), sprites / (ThreadSeconds() - startCpu)};
    state.SetItemsProcessed(state.iterations() * kSpritesPerFrame);
}

// ---- SDL2

struct SdlRenderer {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_GLContext context = nullptr;
};

SdlRenderer& Sdl() {
    static SdlRenderer sdl = [] {
        SdlRenderer made;
        SDL_SetHint(SDL_HINT_RENDER_DRIVER, "opengl");
        // Naming a driver turns SDL's command batching off unless it is asked for.
        SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
        if (SDL_Init(SDL_INIT_VIDEO) != 0) std::abort();
        made.window = SDL_CreateWindow("SDL2 sprites", 0, 0, kWidth, kHeight, SDL_WINDOW_OPENGL);
        made.renderer = made.window ? SDL_CreateRenderer(made.window, -1, SDL_RENDERER_ACCELERATED) : nullptr;
        if (!made.renderer) std::abort();
        SDL_RendererInfo info{};
        SDL_GetRendererInfo(made.renderer, &info);
        if (SDL_strcmp(info.name, "opengl") != 0) std::abort();
        made.context = SDL_GL_GetCurrentContext();
        return made;
    }();
    return sdl;
}

SDL_Texture* SdlSprite(int size) {
    static std::map<int, SDL_Texture*> textures;
    SDL_Texture*& texture = textures[size];
    if (!texture) {
        texture =
            SDL_CreateTexture(Sdl().renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, size, size);
        std::vector<int> pixels = SpritePixels(size);
        SDL_UpdateTexture(texture, nullptr, pixels.data(), size * 4);
        SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
        SDL_SetTextureScaleMode(texture, SDL_ScaleModeNearest);
    }
    return texture;
}

void BM_Sdl2Sprites(benchmark::State& state) {
    const int size = int(state.range(0));
    SdlRenderer& sdl = Sdl();
    // Each renderer owns its OpenGL context; make SDL's current, through SDL, so it knows.
    SDL_GL_MakeCurrent(sdl.window, sdl.context);
    SDL_Texture* texture = SdlSprite(size);
    const float half = float(size) / 2;
    Uint32 pixel = 0;
    const SDL_Rect first{0, 0, 1, 1};
    const double start = Seconds(), startCpu = ThreadSeconds();
    for (auto _ : state) {
        SDL_SetRenderDrawColor(sdl.renderer, 0, 0, 0, 255);
        SDL_RenderClear(sdl.renderer);
        for (const Sprite& s : Sprites()) {
            SDL_SetTextureColorMod(texture, s.r, s.g, s.b);
            const SDL_FRect to{s.x - half, s.y - half, float(size), float(size)};
            // SDL turns clockwise on screen; the framework counter-clockwise.
            SDL_RenderCopyExF(sdl.renderer, texture, nullptr, &to, -double(s.angle), nullptr, SDL_FLIP_NONE);
        }
        SDL_RenderReadPixels(sdl.renderer, &first, SDL_PIXELFORMAT_ARGB8888, &pixel, 4);
    }
    const auto sprites = double(state.iterations() * kSpritesPerFrame);
    const double wall = sprites / (Seconds() - start), cpu = sprites / (ThreadSeconds() - startCpu);
    state.SetItemsProcessed(state.iterations() * kSpritesPerFrame);
    if (OursRate().count(size)) {
        state.counters["ours_over_sdl2"] = OursRate()[size].wall / wall;
        state.counters["ours_over_sdl2_cpu"] = OursRate()[size].cpu / cpu;
    }
}

} // namespace

BENCHMARK(BM_OursSprites)->ArgName("size")->Arg(8)->Arg(36)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Sdl2Sprites)->ArgName("size")->Arg(8)->Arg(36)->UseRealTime()->Unit(benchmark::kMicrosecond);

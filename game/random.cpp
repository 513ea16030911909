#include "game/random.h"

uint32_t vx_random_Seed = 1234;

float vx_random_Rnd() {
    vx_random_Seed = vx_random_Seed * 1664525u + 1013904223u;
    return float(vx_random_Seed >> 8) / 16777216.0f;
}

float vx_random_Rnd2(float lo, float hi) { return vx_random_Rnd() * (hi - lo) + lo; }

float vx_random_Rnd3(float range) { return vx_random_Rnd() * range; }

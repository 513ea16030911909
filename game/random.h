// The game's random generator: a 32-bit linear congruential generator whose draws take the top 24
// bits of the state. Every random decision of play goes through it, so a round is replayed exactly
// from its seed.
#pragma once

#include <cstdint>

extern uint32_t vx_random_Seed;

// One step of the generator, then the draw u in [0, 1).
float vx_random_Rnd();
// u * (hi - lo) + lo from one draw.
float vx_random_Rnd2(float lo, float hi);
// u * range from one draw.
float vx_random_Rnd3(float range);

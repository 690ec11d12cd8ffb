#include "base/Random.h"

#include <chrono>

namespace runtime {

namespace {
unsigned g_state = 0x50000;
unsigned g_stir = 0;
} // namespace

void Random::randomize() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
    // Reseeding twice within one clock tick must not give the same sequence twice.
    g_state = (g_state ^ static_cast<unsigned>(ns ^ (ns >> 24)) ^ (++g_stir * 0x9E3779u)) & 0xFFFFFF;
}

void Random::seed(unsigned value) { g_state = value & 0xFFFFFF; }

float Random::next() {
    g_state = (g_state * 1140671485u + 12820163u) & 0xFFFFFF;
    return static_cast<float>(g_state) / 16777216.0f;
}

} // namespace runtime

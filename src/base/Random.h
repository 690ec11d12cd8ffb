#pragma once

namespace runtime {

// The program's pseudo-random generator: a 24-bit linear congruential sequence, reseeded from the clock.
class Random {
public:
    static void randomize();          // reseed from the clock
    static void seed(unsigned value); // a fixed seed, for repeatable runs
    static float next();              // in [0, 1)
};

} // namespace runtime

#pragma once
// xrRandom: the seeded pseudo-random numbers of scripts. A seed always gives the same sequence, on
// every machine and with every compiler, so scripts can replay a run: the generator is
// xoshiro256** with its 256-bit state filled from the 32-bit seed by SplitMix64, and every
// derived value (bounded integers, doubles) is computed here in plain integer arithmetic rather
// than by the standard library's distributions, whose results vary between implementations.
// Each call of Next, GetRandom (per attempt) and GetRandomDouble takes one 64-bit output of the
// generator. One object serves one thread at a time.

#include <cstdint>

#include "host/Object.h"

namespace strand {

class xrRandom : public CountedObject {
  public:
    explicit xrRandom(uint32_t seed = 0);
    static Ptr<xrRandom> newInstance(uint32_t seed = 0);

    // Restarts the sequence of the seed.
    void Seed(uint32_t seed);
    // 32 random bits: the high half of the next 64-bit output.
    uint32_t Next();
    // Uniform in [0, bound), without modulo bias (multiply-and-shift with rejection of the few
    // biased outputs). Bound 0 gives Next().
    uint32_t GetRandom(uint32_t bound);
    // Uniform in [0, 1): the top 53 bits of the next 64-bit output times 2^-53.
    double GetRandomDouble();

  private:
    uint64_t next64();

    uint64_t m_state[4];
};

}  // namespace strand

#pragma once
// The draws a soak's fault schedule makes, shared by the targets of every protocol.
#include <cstdint>
#include <random>

#include "sim/fault_injector.h"

namespace tessvar::soak {

inline uint32_t Pick(std::mt19937_64& rng, uint32_t lo, uint32_t hi) {
  return std::uniform_int_distribution<uint32_t>(lo, hi)(rng);
}

// One to six faulty answers: most often one, sometimes a burst.
inline uint32_t BurstLength(std::mt19937_64& rng) { return Pick(rng, 0, 1) ? 1 : Pick(rng, 2, 6); }

inline sim::FaultTrigger Burst(uint32_t count) {
  sim::FaultTrigger t;
  t.mode = sim::FaultTrigger::Mode::Count;
  t.count = count;
  return t;
}

}  // namespace tessvar::soak

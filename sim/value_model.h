#pragma once
// The transducer's measured quantities as functions of its running time: voltages and
// currents near their nominals with a small seeded ripple, powers that follow from them,
// power factor near 1, frequency near 50 Hz, and energy/charge counters that integrate the
// powers and currents. Everything is a pure function of (seed, elapsed time), so two runs
// with the same seed read the same values at the same moments, however often they poll.
#include <array>
#include <cstdint>

#include "platform/clock.h"

namespace tessvar::sim {

struct ChannelNominals {
  double dcVoltage = 75;  // V
  double dcCurrent = 5;   // A
  double acVoltage = 75;
  double acCurrent = 5;
};

class ValueModel {
 public:
  // Counters integrate on a fixed grid of this many milliseconds.
  static constexpr uint64_t kStepMs = 100;

  ValueModel(Clock& clock, uint64_t seed, std::array<ChannelNominals, 2> nominals);

  // Physical value of a catalogue slot now: V, A, W, var, VA, Hz, %, W·h for energies, A·h
  // for charges. Slots without a measured quantity (clock, second halves) give 0.
  double Physical(int slot);
  // The same at a given running time, for tests.
  double PhysicalAt(int slot, uint64_t elapsedMs);
  // DC voltage and current held at their nominals, without ripple: the DC energy and charge
  // counters then advance exactly one code every 100 ms (see Transducer).
  void SetSteadyDc(bool on) { steadyDc_ = on; }
  bool SteadyDc() const { return steadyDc_; }
  // Running time since the model was made.
  uint64_t ElapsedMs() const { return ElapsedAt(clock_.MonotonicMs()); }
  uint64_t ElapsedAt(uint64_t monotonicMs) const { return monotonicMs > startMs_ ? monotonicMs - startMs_ : 0; }

 private:
  // The quantities every other value of a channel follows from, at one moment; the last few
  // moments asked for are remembered per channel (a poll asks for many values at once).
  struct ChannelState {
    double udc = 0, idc = 0, uac = 0, iac = 0, pf = 0;
  };
  ChannelState State(int firstSlot, double tSec) const;
  double Instant(int slot, double tSec) const;
  double Ripple(int slot, double tSec, double amplitude) const;
  double Integral(int rateSlot, uint64_t elapsedMs);

  Clock& clock_;
  uint64_t startMs_;
  bool steadyDc_ = false;
  std::array<ChannelNominals, 2> nominals_;
  std::array<double, 45> phase_{};
  std::array<double, 45> counterBase_{};
  // Integration state per counter slot: time reached on the grid and the sum so far.
  struct Accumulator {
    uint64_t gridMs = 0;
    double sum = 0;  // in rate-unit · seconds
  };
  std::array<Accumulator, 45> acc_{};
  struct CachedState {
    bool valid = false;
    double t = 0;
    ChannelState state;
  };
  // A few moments per channel: a poll reads values now and counters at grid points.
  mutable std::array<std::array<CachedState, 4>, 2> cache_{};
  mutable std::array<uint32_t, 2> nextWay_{};
};

// Which quantity a counter slot integrates (the slot of the rate), or -1.
int CounterRateSlot(int slot);

}  // namespace tessvar::sim

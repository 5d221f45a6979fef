#include "sim/value_model.h"

#include <cmath>

namespace tessvar::sim {
namespace {

constexpr double kTwoPi = 6.283185307179586;

uint64_t SplitMix(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double Unit(uint64_t& state) { return static_cast<double>(SplitMix(state) >> 11) * 0x1.0p-53; }

// Slot layout of one channel relative to its first slot (0 for channel 1, 21 for channel 2).
enum Rel {
  kUdc = 0, kIdc = 1, kPdc = 2, kWdc = 3, kQdc = 5, kUac = 7, kIac = 8, kP = 9, kPq = 10,
  kPs = 11, kPf = 12, kW = 13, kF = 15, kUacdc = 16, kIacdc = 17, kPacdc = 18, kWacdc = 19,
};
constexpr int kChannelSlots = 21;
constexpr int kEta = 42;

}  // namespace

int CounterRateSlot(int slot) {
  if (slot < 0 || slot >= 2 * kChannelSlots) return -1;
  const int base = slot >= kChannelSlots ? kChannelSlots : 0;
  switch (slot - base) {
    case kWdc: return base + kPdc;
    case kQdc: return base + kIdc;
    case kW: return base + kP;
    case kWacdc: return base + kPacdc;
    default: return -1;
  }
}

ValueModel::ValueModel(Clock& clock, uint64_t seed, std::array<ChannelNominals, 2> nominals)
    : clock_(clock), startMs_(clock.MonotonicMs()), nominals_(nominals) {
  uint64_t state = seed;
  for (size_t i = 0; i < phase_.size(); ++i) phase_[i] = kTwoPi * Unit(state);
  // Counters of a device in service do not start at zero.
  for (size_t i = 0; i < counterBase_.size(); ++i) counterBase_[i] = std::floor(100 + 900 * Unit(state));
}

double ValueModel::Ripple(int slot, double tSec, double amplitude) const {
  const double ph = phase_[static_cast<size_t>(slot)];
  // Two slow components with incommensurate periods: smooth, never repeating exactly.
  return 1.0 + amplitude * (0.7 * std::sin(kTwoPi * tSec / 7.3 + ph) +
                            0.3 * std::sin(kTwoPi * tSec / 1.9 + 2 * ph));
}

ValueModel::ChannelState ValueModel::State(int base, double t) const {
  auto& ways = cache_[base == 0 ? 0 : 1];
  for (const CachedState& c : ways)
    if (c.valid && c.t == t) return c.state;
  CachedState& cache = ways[nextWay_[base == 0 ? 0 : 1]++ % ways.size()];
  const ChannelNominals& n = nominals_[base == 0 ? 0 : 1];
  ChannelState s;
  s.udc = steadyDc_ ? n.dcVoltage : 0.98 * n.dcVoltage * Ripple(base + kUdc, t, 0.003);
  s.idc = steadyDc_ ? n.dcCurrent : 0.6 * n.dcCurrent * Ripple(base + kIdc, t, 0.01);
  s.uac = 0.99 * n.acVoltage * Ripple(base + kUac, t, 0.003);
  s.iac = 0.55 * n.acCurrent * Ripple(base + kIac, t, 0.01);
  s.pf = std::min(1.0, 0.97 * Ripple(base + kPf, t, 0.01));
  cache = {true, t, s};
  return s;
}

double ValueModel::Instant(int slot, double t) const {
  if (slot == kEta) return 95.0 * Ripple(kEta, t, 0.004);
  if (slot < 0 || slot >= 2 * kChannelSlots) return 0;
  const int base = slot >= kChannelSlots ? kChannelSlots : 0;
  const ChannelState c = State(base, t);
  const double ps = c.uac * c.iac;
  const double p = ps * c.pf;
  switch (slot - base) {
    case kUdc: return c.udc;
    case kIdc: return c.idc;
    case kPdc: return c.udc * c.idc;
    case kUac: return c.uac;
    case kIac: return c.iac;
    case kP: return p;
    case kPq: return ps * std::sqrt(std::max(0.0, 1 - c.pf * c.pf));
    case kPs: return ps;
    case kPf: return c.pf;
    case kF: return 50.0 * Ripple(base + kF, t, 0.0004);
    case kUacdc: return std::sqrt(c.udc * c.udc + c.uac * c.uac);
    case kIacdc: return std::sqrt(c.idc * c.idc + c.iac * c.iac);
    case kPacdc: return c.udc * c.idc + p;
    default: return 0;
  }
}

double ValueModel::Integral(int rateSlot, uint64_t elapsedMs) {
  Accumulator& a = acc_[static_cast<size_t>(rateSlot)];
  const double step = static_cast<double>(kStepMs) / 1000.0;
  if (elapsedMs < a.gridMs) {  // asked about the past (tests): start again
    a = Accumulator{};
  }
  while (a.gridMs + kStepMs <= elapsedMs) {
    const double t0 = static_cast<double>(a.gridMs) / 1000.0;
    a.sum += 0.5 * (Instant(rateSlot, t0) + Instant(rateSlot, t0 + step)) * step;
    a.gridMs += kStepMs;
  }
  const double t0 = static_cast<double>(a.gridMs) / 1000.0;
  const double rest = static_cast<double>(elapsedMs - a.gridMs) / 1000.0;
  return a.sum + 0.5 * (Instant(rateSlot, t0) + Instant(rateSlot, t0 + rest)) * rest;
}

double ValueModel::PhysicalAt(int slot, uint64_t elapsedMs) {
  const int rate = CounterRateSlot(slot);
  if (rate >= 0) return counterBase_[static_cast<size_t>(slot)] + Integral(rate, elapsedMs) / 3600.0;
  return Instant(slot, static_cast<double>(elapsedMs) / 1000.0);
}

double ValueModel::Physical(int slot) { return PhysicalAt(slot, clock_.MonotonicMs() - startMs_); }

}  // namespace tessvar::sim

#include "sim/code_scale.h"

namespace tessvar::sim {
namespace {

enum class Scale { Voltage, Current, Power, Energy, Charge, PowerFactor, Tenths, None };

// Catalogue slots of one channel (0..20, channel 2 at +21) and the device slots.
Scale ScaleOf(int slot) {
  if (slot == 42) return Scale::Tenths;  // ETA
  if (slot < 0 || slot > 41) return Scale::None;
  switch (slot % 21) {
    case 0: case 7: case 16: return Scale::Voltage;
    case 1: case 8: case 17: return Scale::Current;
    case 2: case 9: case 10: case 11: case 18: return Scale::Power;
    case 3: case 13: case 19: return Scale::Energy;
    case 5: return Scale::Charge;
    case 12: return Scale::PowerFactor;
    case 15: return Scale::Tenths;  // frequency
    default: return Scale::None;
  }
}

}  // namespace

double TransducerCode(int slot, double physical, const std::array<ChannelNominals, 2>& nominals) {
  const ChannelNominals& n = nominals[slot >= 21 && slot <= 41 ? 1 : 0];
  const double un = n.dcVoltage, in = n.dcCurrent;
  switch (ScaleOf(slot)) {
    case Scale::Voltage: return un > 0 ? physical * 15000.0 / un : 0;
    case Scale::Current: return in > 0 ? physical * 15000.0 / in : 0;
    case Scale::Power: return un * in > 0 ? physical * 20000.0 / (un * in) : 0;
    case Scale::Energy: return un * in > 0 ? physical / (in * un / 20000.0 / 1.8) : 0;
    case Scale::Charge: return in > 0 ? physical / (in / 15000.0 / 2.4) : 0;
    case Scale::PowerFactor: return physical * 1000.0;
    case Scale::Tenths: return physical * 10.0;
    case Scale::None: return 0;
  }
  return 0;
}

bool UnsignedCode(int slot) { return slot == 15 || slot == 36; }

}  // namespace tessvar::sim

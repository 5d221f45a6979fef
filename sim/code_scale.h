#pragma once
// How the transducer encodes a physical value in its registers: on the scale the window
// reads back, where 15000 is the channel's nominal voltage or current and 20000 its nominal
// power (nominal voltage × nominal current). Energies and charges count in the matching
// steps, power factor in thousandths, frequency and ETA in tenths. The channel's DC
// nominals are the scale for all of its quantities, as the window has only those.
#include <array>

#include "sim/value_model.h"

namespace tessvar::sim {

// The register code (before the entry's divisor) for a slot's physical value.
double TransducerCode(int slot, double physical, const std::array<ChannelNominals, 2>& nominals);

// Whether a slot's 16-bit code is read as unsigned (the frequencies) rather than signed.
bool UnsignedCode(int slot);

}  // namespace tessvar::sim

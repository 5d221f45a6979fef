#pragma once
// The clock write that sets the transducer's real-time clock: the request data of a
// function 16 write to the clock registers, from a computer-clock reading.
#include <cstdint>
#include <vector>

#include "platform/clock.h"

namespace tessvar {

// Quantity (high, low), byte count, then the clock bytes. With a date register (tmd): 4
// registers, 8 bytes. Without one: 3 registers but 7 bytes (the year rides along), which is
// what the transducer expects.
std::vector<uint8_t> ClockWriteData(const WallTime& t, bool hasDateRegister);

}  // namespace tessvar

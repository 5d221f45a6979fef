#pragma once
// The transducer's time of day as its data carries it: from the clock registers (MODBUS) or
// from the time tags of IEC 60870-5 data.
#include <cstdint>

namespace tessvar {

struct ConverterTime {
  uint16_t milliseconds = 0;  // within the minute
  uint8_t minute = 0;         // IEC: with the invalid bit
  uint8_t hour = 0;           // IEC: with the summer-time bit
  friend bool operator==(const ConverterTime&, const ConverterTime&) = default;
};

}  // namespace tessvar

#pragma once
// How a description maps onto the transducer's input registers: one register per entry at
// the entry's address; a 32-bit counter spans its entry (high word) and the next (low word);
// the clock columns read the device clock.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/device_description.h"
#include "sim/device_clock.h"

namespace tessvar::sim {

enum class RegisterKind : uint8_t {
  Quantity,     // a 16-bit quantity of `slot`
  CounterHigh,  // high word of the 32-bit counter of `slot`
  CounterLow,   // low word of the same
  Clock,        // one of the clock registers (`clock`)
  Unnamed,      // an entry whose name finds no quantity: reads 0
};

struct RegisterSource {
  RegisterKind kind = RegisterKind::Unnamed;
  int slot = -1;
  ClockField clock = ClockField::Ms;
  double divisor = 1;  // physical value × divisor = register code
  size_t entry = 0;    // description entry it comes from
};

struct RegisterImage {
  std::map<uint16_t, RegisterSource> registers;
  std::optional<uint16_t> clockStart;  // address of the milliseconds register
  std::vector<std::string> warnings;   // entries that could not be placed

  const RegisterSource* Find(uint16_t address) const {
    auto it = registers.find(address);
    return it == registers.end() ? nullptr : &it->second;
  }
};

RegisterImage BuildRegisterImage(const DeviceDescription& description);

}  // namespace tessvar::sim

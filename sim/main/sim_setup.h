#pragma once
// What the simulator takes from a description file: the description itself and how the
// device it describes is reached (address, serial settings, framing, TCP port).
#include <cstdint>
#include <string>

#include "link/modbus_request.h"
#include "model/device_description.h"

namespace tessvar::sim {

struct SimProfile {
  DescriptionLoad load;
  uint8_t address = 1;  // MODBUS carries one byte; the high byte of a larger address is cut
  uint32_t baud = 9600;
  char parity = 'N';
  int dataBits = 8;
  int stopBits = 1;
  ModbusFraming serialFraming = ModbusFraming::Rtu;  // ASCII for protocol code 255
  uint16_t tcpPort = 0;                              // from the network section, 0 = none
};

// Reads and loads a description file. False with an error text (file and byte offset where
// it applies) when it cannot be read or loaded.
bool LoadProfile(const std::string& path, SimProfile& profile, std::string& error);
SimProfile ProfileFromLoad(DescriptionLoad load);

}  // namespace tessvar::sim

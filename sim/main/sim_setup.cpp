#include "sim/main/sim_setup.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <vector>

namespace tessvar::sim {

SimProfile ProfileFromLoad(DescriptionLoad load) {
  SimProfile p;
  if (load.deviceAddress) p.address = static_cast<uint8_t>(*load.deviceAddress & 0xFF);
  if (load.serial) {
    const SerialParameters& s = *load.serial;
    unsigned baud = 0;
    auto [ptr, ec] = std::from_chars(s.baudRate.data(), s.baudRate.data() + s.baudRate.size(), baud);
    (void)ptr;
    if (ec == std::errc() && baud > 0) p.baud = baud;
    p.parity = s.parity == "ЧЕТ" ? 'E' : s.parity == "НЕЧЕТ" ? 'O' : 'N';
    p.dataBits = s.dataBits == "7" ? 7 : 8;
    p.stopBits = s.stopBits == "2" ? 2 : 1;
  }
  if (load.description.protocolCode == 255) {
    p.serialFraming = ModbusFraming::Ascii;
    p.dataBits = 7;
  } else {
    p.dataBits = 8;
  }
  if (load.network && load.network->tcpPortGiven) p.tcpPort = load.network->tcpPort;
  p.load = std::move(load);
  return p;
}

bool LoadProfile(const std::string& path, SimProfile& profile, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LoadOptions options;
  const auto slash = path.find_last_of('/');
  options.fileName = slash == std::string::npos ? path : path.substr(slash + 1);
  options.displayMode = DisplayMode::RawCode;
  DescriptionLoad load = ReadDeviceDescription(bytes, DeviceDescription{}, options);
  if (load.error) {
    error = path + ": " + load.error->message + " (byte " + std::to_string(load.error->offset) + ")";
    return false;
  }
  if (load.description.entries.empty()) {
    error = path + ": the description has no entries to serve";
    return false;
  }
  profile = ProfileFromLoad(std::move(load));
  return true;
}

}  // namespace tessvar::sim

#include "model/connection_settings.h"

namespace tessvar {

std::string_view ProtocolText(ProtocolKind kind) {
  const int i = static_cast<int>(kind);
  if (i < 0 || i >= static_cast<int>(kProtocolTexts.size())) return {};
  return kProtocolTexts[static_cast<size_t>(i)];
}

ProtocolKind ProtocolFromText(std::string_view text) {
  for (size_t i = 0; i < kProtocolTexts.size(); ++i) {
    if (kProtocolTexts[i] == text) return static_cast<ProtocolKind>(i);
  }
  return ProtocolKind::NoProtocol;
}

std::string BuildSerialSettingsText(const SerialParameters& p) {
  std::string out;
  out.reserve(p.baudRate.size() + p.parity.size() + p.dataBits.size() + p.stopBits.size() + 3);
  out.append(p.baudRate).append(",").append(p.parity).append(",");
  out.append(p.dataBits).append(",").append(p.stopBits);
  return out;
}

uint16_t MaskDeviceAddress(uint32_t enteredAddress, ProtocolKind protocol,
                           uint8_t commonAddressSize) {
  const auto full = static_cast<uint16_t>(enteredAddress & 0xFFFF);
  if (protocol == ProtocolKind::Iec104) return full;
  if (protocol == ProtocolKind::Iec101 && commonAddressSize != 1) return full;
  return static_cast<uint16_t>(full & 0xFF);
}

}  // namespace tessvar

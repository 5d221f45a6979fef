#include "tools/make_samples/description_writer.h"

#include "model/cp1251.h"
#include "model/device_description.h"

namespace tessvar::samples {

void AppendU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void AppendU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void AppendText(std::vector<uint8_t>& out, std::string_view utf8, TextForm form) {
  const std::string cp = Utf8ToCp1251(utf8);
  const auto n = static_cast<uint32_t>(cp.size());
  switch (form) {
    case TextForm::Byte: out.push_back(static_cast<uint8_t>(n)); break;
    case TextForm::Word: out.push_back(0xFF), AppendU16(out, static_cast<uint16_t>(n)); break;
    case TextForm::Dword: out.push_back(0xFF), AppendU16(out, 0xFFFF), AppendU32(out, n); break;
    case TextForm::Qword:
      out.push_back(0xFF), AppendU16(out, 0xFFFF), AppendU32(out, 0xFFFFFFFF);
      AppendU32(out, n), AppendU32(out, 0);
      break;
    case TextForm::Utf16:
      out.push_back(0xFF), AppendU16(out, 0xFFFE), out.push_back(static_cast<uint8_t>(n));
      for (char c : cp) AppendU16(out, static_cast<uint16_t>(Cp1251ToCodePoint(static_cast<uint8_t>(c))));
      return;
  }
  out.insert(out.end(), cp.begin(), cp.end());
}

std::array<uint8_t, 4> EncodeRatedValue(uint32_t x, uint8_t decimalCode, uint8_t unitFlag) {
  const uint32_t m = static_cast<uint32_t>((uint64_t{x} * 65536 + 14999) / 15000);
  return {static_cast<uint8_t>(m >> 16), static_cast<uint8_t>(m >> 8), static_cast<uint8_t>(m),
          static_cast<uint8_t>((decimalCode & 7) | ((unitFlag & 7) << 3))};
}

std::vector<uint8_t> WriteDescription(const DescriptionLayout& layout) {
  std::vector<uint8_t> out;
  AppendU32(out, 0);
  std::vector<uint8_t> block(76, 0);
  for (int i = 0; i < 4; ++i) {
    block[10 + static_cast<size_t>(i)] = static_cast<uint8_t>(static_cast<uint32_t>(layout.nominalCurrent) >> (8 * i));
    block[42 + static_cast<size_t>(i)] = static_cast<uint8_t>(static_cast<uint32_t>(layout.nominalVoltage) >> (8 * i));
  }
  out.insert(out.end(), block.begin(), block.end());
  out.push_back(static_cast<uint8_t>(layout.records.size()));
  size_t entries = 0, nonClock = 0;
  for (const auto& r : layout.records) {
    AppendText(out, r.name, r.form);
    AppendText(out, r.address, r.form);
    AppendText(out, r.size, r.form);
    AppendU32(out, r.flag);
    AppendText(out, r.divisor, r.form);
    if (r.flag == 0) {
      ++entries;
      if (!IsTimeColumn(r.name)) ++nonClock;
    }
  }
  out.push_back(static_cast<uint8_t>(layout.deviceAddress));
  out.push_back(layout.serialByte);
  out.push_back(0);
  out.push_back(layout.variant);
  out.push_back(layout.protocolCode);
  out.insert(out.end(), layout.iecSizes.begin(), layout.iecSizes.end());
  out.push_back(static_cast<uint8_t>(layout.deviceAddress >> 8));
  out.insert(out.end(), 2, 0);
  for (size_t i = 0; i < entries; ++i) {
    out.push_back(i < layout.groupCodes.size() ? layout.groupCodes[i] : kGeneralInterrogation);
  }
  out.insert(out.end(), 10, 0);
  for (size_t i = 0; i < nonClock; ++i) {
    const std::array<uint8_t, 4> rv = i < layout.ratedValues.size() ? layout.ratedValues[i] : std::array<uint8_t, 4>{};
    out.insert(out.end(), rv.begin(), rv.end());
  }
  out.insert(out.end(), 18 + 4 * nonClock + 3, 0);
  out.push_back(layout.networkCode);
  out.insert(out.end(), 18, 0);
  if (!layout.network) {
    out.push_back(0);
    return out;
  }
  AppendText(out, layout.network->marker);
  AppendU32(out, layout.network->ip);
  out.insert(out.end(), 12, 0);
  AppendU16(out, layout.network->port);
  return out;
}

}  // namespace tessvar::samples

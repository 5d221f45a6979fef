// The small rules of description files that the reader and the window share.
#include <array>
#include <charconv>
#include <limits>

#include "model/device_description.h"

namespace tessvar {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr std::array<std::string_view, 8> kTimeColumns = {
    "Время (tms)", "Time (tms)", "Время (thm)", "Time (thm)",
    "Время (tmd)", "Time (tmd)", "Время (ty)",  "Time (ty)"};

constexpr std::array<int, 26> kReducedVariantWithdrawn = {
    0, 1, 2, 3, 7, 11, 12, 13, 15, 16, 17, 19, 20, 21, 23, 24, 25, 27, 30, 31, 32, 33, 34, 35, 36, 37};

}  // namespace

bool IsTimeColumn(std::string_view name) {
  for (auto t : kTimeColumns) {
    if (name.find(t) != std::string_view::npos) return true;
  }
  return false;
}

uint32_t ParseHexAddress(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // "0x" counts as a prefix only when a digit follows; "0xg" reads as 0 either way.
  if (text.size() - i > 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
      HexDigit(text[i + 2]) >= 0) {
    i += 2;
  }
  uint64_t value = 0;
  bool overflow = false;
  for (; i < text.size() && HexDigit(text[i]) >= 0; ++i) {
    value = value * 16 + static_cast<uint64_t>(HexDigit(text[i]));
    if (value > 0xFFFFFFFFu) {
      overflow = true;
      value = 0xFFFFFFFFu;
    }
  }
  if (overflow) return 0xFFFFFFFFu;
  const auto v = static_cast<uint32_t>(value);
  return negative ? static_cast<uint32_t>(0u - v) : v;
}

int32_t ParseDecimalInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > int64_t{1} << 32) value = int64_t{1} << 32;  // enough to clamp below
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

std::string FormatHexAddress(uint32_t address) {
  char buf[16];
  auto res = std::to_chars(buf, buf + sizeof buf, address, 16);
  std::string digits(buf, res.ptr);
  for (char& c : digits) {
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  }
  if (digits.size() < 6) digits.insert(0, 6 - digits.size(), '0');
  return "0x" + digits;
}

std::string FormatFixed(double v, int decimals) {
  std::array<char, 400> buf{};
  auto res = std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::fixed, decimals);
  if (res.ec != std::errc{}) return "0";
  return std::string(buf.data(), res.ptr);
}

std::optional<double> DecodeRatedValue(std::span<const uint8_t, 4> r, bool isCurrent) {
  const uint32_t m = (uint32_t{r[0]} << 16) | (uint32_t{r[1]} << 8) | r[2];
  const int d = r[3] & 0x07;
  if (d > 4) return std::nullopt;
  const uint32_t x = static_cast<uint32_t>(m * 15000u) >> 16;
  double v = x;
  for (int k = 0; k < 4 - d; ++k) v /= 10;
  if (isCurrent && ((r[3] >> 3) & 0x07) == 0) v /= 1000;
  return v;
}

SerialParameters DecodeSerialSettingsByte(uint8_t b) {
  SerialParameters p;
  const int code = b & 0x0F;
  p.baudRate = (code >= 2 && code <= 10) ? std::string(kBaudRateTexts[static_cast<size_t>(code - 2)])
                                         : std::string();
  p.stopBits = (b & 0x10) ? "2" : "1";
  const int parity = (b >> 5) & 0x03;
  p.parity = parity == 2 ? "ЧЕТ" : parity == 3 ? "НЕЧЕТ" : "НЕТ";
  p.dataBits = (b & 0x80) ? "8" : "7";
  return p;
}

std::optional<size_t> CompleteDateColumns(DeviceDescription& d) {
  bool monthDaySeen = false;
  size_t year = d.entries.size();
  for (size_t i = 0; i < d.entries.size(); ++i) {
    const auto& name = d.entries[i].name;
    if (name.find("Время (tmd)") != std::string::npos || name.find("Time (tmd)") != std::string::npos) {
      monthDaySeen = true;
    }
    if (name.find("Время (ty)") != std::string::npos || name.find("Time (ty)") != std::string::npos) {
      year = i;
      break;
    }
  }
  if (year == d.entries.size() || monthDaySeen) return std::nullopt;
  if ((static_cast<uint32_t>(ParseDecimalInt(d.entries[year].size)) & 0xFF) != 2) return std::nullopt;
  const uint32_t a = ParseHexAddress(d.entries[year].address);
  DescriptionEntry monthDay{"Время (tmd)", d.entries[year].address, "2"};
  d.entries[year].address = FormatHexAddress(a + 1);
  d.entries.insert(d.entries.begin() + static_cast<std::ptrdiff_t>(year), std::move(monthDay));
  d.groupCodes.push_back(kGeneralInterrogation);
  return year;
}

AvailabilityMarks ComputeAvailabilityMarks(const DeviceDescription& d,
                                           const AvailabilityMarks& current) {
  AvailabilityMarks m = current;
  for (size_t i = 0; i < kCatalogueSlots; ++i) m[i] = 0;
  for (const auto& e : d.entries) {
    if (auto slot = FindCatalogueSlot(e.name)) m[static_cast<size_t>(*slot)] = 1;
  }
  if (d.deviceVariant == kDeviceVariantReduced) {
    for (int s : kReducedVariantWithdrawn) m[static_cast<size_t>(s)] = 0;
  }
  return m;
}

std::string DescriptionTitle(std::string_view oldTitle, std::string_view fileName) {
  std::string title(oldTitle);
  const size_t p = title.find('(');
  if (p != std::string::npos && p > 0) {
    size_t keep = p - 1;
    // The character before "(" may take several UTF-8 bytes; drop all of them.
    while (keep > 0 && (static_cast<uint8_t>(title[keep]) & 0xC0) == 0x80) --keep;
    title.resize(keep);
  }
  title.append(" (").append(fileName).append(")");
  return title;
}

std::string_view ReadSectionName(ReadSection s) {
  switch (s) {
    case ReadSection::ProtocolCode: return "protocol code";
    case ReadSection::IecSizes: return "IEC field sizes";
    case ReadSection::AddressHigh: return "device address high byte";
    case ReadSection::GroupCodes: return "group codes";
    case ReadSection::RatedValues: return "nominal and rated values";
    case ReadSection::NetworkProtocol: return "network protocol code";
    case ReadSection::NetworkMarker: return "network section";
    case ReadSection::IpAddress: return "IP address";
    case ReadSection::TcpPort: return "TCP port";
  }
  return "?";
}

}  // namespace tessvar

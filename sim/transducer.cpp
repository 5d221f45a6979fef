#include "sim/transducer.h"

#include <algorithm>
#include <cmath>

#include "link/modbus_request.h"
#include "model/catalogue.h"
#include "sim/code_scale.h"

namespace tessvar::sim {
namespace {

bool NameHas(const std::string& name, std::string_view slotName) {
  std::string needle = "(";
  needle += slotName;
  needle += ")";
  return name.find(needle) != std::string::npos;
}

// Wdc and Qdc of either channel.
bool IsSteadyDcCounter(int slot) { return slot == 3 || slot == 5 || slot == 24 || slot == 26; }

}  // namespace

std::array<ChannelNominals, 2> NominalsFromLoad(const DescriptionLoad& load) {
  std::array<ChannelNominals, 2> n{};
  const double headerU = load.headerNominalVoltage / 1000.0;
  const double headerI = load.headerNominalCurrent / 1000.0;
  for (auto& c : n) {
    if (headerU > 0) c.dcVoltage = c.acVoltage = headerU;
    if (headerI > 0) c.dcCurrent = c.acCurrent = headerI;
  }
  const auto& entries = load.description.entries;
  std::array<bool, 2> acVoltageRated{}, acCurrentRated{};
  for (size_t i = 0; i < entries.size() && i < load.ratedValues.size(); ++i) {
    const auto& rated = load.ratedValues[i];
    if (!rated || !(*rated > 0)) continue;
    for (size_t ch = 0; ch < 2; ++ch) {
      const std::string k = std::to_string(ch + 1);
      auto& c = n[ch];
      if (NameHas(entries[i].name, "Udc" + k)) c.dcVoltage = *rated;
      if (NameHas(entries[i].name, "Idc" + k)) c.dcCurrent = *rated;
      if (NameHas(entries[i].name, "Uac" + k)) {
        c.acVoltage = *rated;
        acVoltageRated[ch] = true;
      }
      if (NameHas(entries[i].name, "Iac" + k)) {
        c.acCurrent = *rated;
        acCurrentRated[ch] = true;
      }
    }
  }
  // A channel's AC side without its own rating works at the channel's DC rating.
  for (size_t ch = 0; ch < 2; ++ch) {
    if (!acVoltageRated[ch]) n[ch].acVoltage = n[ch].dcVoltage;
    if (!acCurrentRated[ch]) n[ch].acCurrent = n[ch].dcCurrent;
  }
  return n;
}

Transducer::Transducer(Clock& clock, const DeviceDescription& description, TransducerOptions options)
    : image_(BuildRegisterImage(description)),
      values_(clock, options.seed, options.nominals),
      nominals_(options.nominals),
      deviceClock_(clock),
      pinned_(std::move(options.pinned)),
      service_(std::move(options.service)) {
  values_.SetSteadyDc(options.steadyDc);
}

std::optional<std::vector<uint8_t>> Transducer::ProbeAnswer(uint32_t lineRate) const {
  constexpr uint32_t kFastRate = 76800, kSlowRate = 4800;
  bool answers = false;
  if (lineRate == kFastRate) answers = service_.answerFastProbe;
  else if (lineRate == kSlowRate) answers = service_.answerSlowProbe;
  else if (lineRate == 0) answers = service_.answerFastProbe || service_.answerSlowProbe;
  if (!answers) return std::nullopt;
  return std::vector<uint8_t>{static_cast<uint8_t>(service_.probeAnswer >> 8),
                              static_cast<uint8_t>(service_.probeAnswer & 0xFF)};
}

uint8_t Transducer::StartRtcTest(std::span<const uint8_t> code) {
  const std::string_view expected = service_.rtcTestCode;
  if (code.size() != expected.size() || !std::equal(code.begin(), code.end(), expected.begin()))
    return modbus_exception::kIllegalDataValue;
  rtcTestActive_ = true;
  return 0;
}

uint16_t Transducer::RegisterValue(uint16_t address, const RegisterSource& s, uint64_t elapsedMs) {
  if (auto it = pinned_.find(address); it != pinned_.end()) return it->second;
  switch (s.kind) {
    case RegisterKind::Clock:
      return ClockRegisterValue(s.clock, deviceClock_.Now());
    case RegisterKind::Unnamed:
      return 0;
    case RegisterKind::Quantity: {
      const double code = std::round(
          TransducerCode(s.slot, values_.PhysicalAt(s.slot, elapsedMs), nominals_) * s.divisor);
      if (UnsignedCode(s.slot)) {
        if (!(code > 0)) return 0;
        return code >= 65535 ? 65535 : static_cast<uint16_t>(code);
      }
      // Signed quantities go out as two's complement, held within 16 bits.
      const double held = code < -32768 ? -32768 : (code > 32767 ? 32767 : code);
      return static_cast<uint16_t>(static_cast<int16_t>(held));
    }
    case RegisterKind::CounterHigh:
    case RegisterKind::CounterLow: {
      double code = 0;
      if (values_.SteadyDc() && IsSteadyDcCounter(s.slot)) {
        // Integer counting from the code at start: one code per 100 ms, exactly.
        code = std::floor(TransducerCode(s.slot, values_.PhysicalAt(s.slot, 0), nominals_) * s.divisor) +
               static_cast<double>(elapsedMs / kSteadyDcMsPerCode);
      } else {
        code = std::floor(
            TransducerCode(s.slot, values_.PhysicalAt(s.slot, elapsedMs), nominals_) * s.divisor);
      }
      const uint32_t counter =
          code > 0 ? static_cast<uint32_t>(std::fmod(code, 4294967296.0)) : 0;
      return s.kind == RegisterKind::CounterHigh ? static_cast<uint16_t>(counter >> 16)
                                                 : static_cast<uint16_t>(counter & 0xFFFF);
    }
  }
  return 0;
}

uint8_t Transducer::ReadRegisters(uint16_t start, uint16_t quantity, std::vector<uint16_t>& out,
                                  std::optional<uint64_t> nowMs) {
  out.clear();
  if (static_cast<uint32_t>(start) + quantity > 0x10000) return modbus_exception::kIllegalDataAddress;
  // One moment for the whole request, as a device samples its measurements together.
  const uint64_t elapsed = nowMs ? values_.ElapsedAt(*nowMs) : values_.ElapsedMs();
  out.reserve(quantity);
  for (uint32_t a = start; a < static_cast<uint32_t>(start) + quantity; ++a) {
    const auto address = static_cast<uint16_t>(a);
    const RegisterSource* s = image_.Find(address);
    if (!s) {
      if (pinned_.count(address)) {
        out.push_back(pinned_.at(address));
        continue;
      }
      out.clear();
      return modbus_exception::kIllegalDataAddress;
    }
    out.push_back(RegisterValue(address, *s, elapsed));
  }
  return 0;
}

uint8_t Transducer::WriteRegisters(uint16_t start, uint16_t quantity, std::span<const uint8_t> data) {
  if (!image_.clockStart || start != *image_.clockStart) return modbus_exception::kIllegalDataAddress;
  if (static_cast<uint32_t>(start) + quantity > 0x10000) return modbus_exception::kIllegalDataAddress;
  // The two clock writes of this device family are accepted whatever the description
  // names after the milliseconds register: ms, hour/minute, day/weekday-month, year
  // (4 registers), or ms, hour/minute, then year, day, weekday × 32 + month (3 registers
  // carrying 7 bytes). Any other write must cover described clock registers only.
  const bool fullForm = quantity == 4 && data.size() == 8;
  const bool compactForm = quantity == 3 && data.size() == 7;
  std::vector<ClockField> fields;
  if (fullForm) {
    fields = {ClockField::Ms, ClockField::HourMinute, ClockField::DayMonth, ClockField::Year};
  } else if (!compactForm) {
    if (data.size() != 2u * quantity) return modbus_exception::kIllegalDataValue;
    for (uint32_t a = start; a < static_cast<uint32_t>(start) + quantity; ++a) {
      const RegisterSource* s = image_.Find(static_cast<uint16_t>(a));
      if (!s || s->kind != RegisterKind::Clock) return modbus_exception::kIllegalDataAddress;
      fields.push_back(s->clock);
    }
  }

  WallTime t = deviceClock_.Now();
  // The weekday sent with the date is not kept: the device derives it from the date, so a
  // wrong weekday cannot make the clock registers contradict themselves.
  if (compactForm) {
    const int ms = (data[0] << 8) | data[1];
    if (ms > 59999) return modbus_exception::kIllegalDataValue;
    t.second = ms / 1000;
    t.millisecond = ms % 1000;
    t.hour = data[2];
    t.minute = data[3];
    t.year = 2000 + data[4];
    t.day = data[5];
    t.month = data[6] & 0x1F;
  } else {
    for (size_t i = 0; i < fields.size(); ++i) {
      const int hi = data[2 * i];
      const int lo = data[2 * i + 1];
      switch (fields[i]) {
        case ClockField::Ms: {
          const int ms = (hi << 8) | lo;
          if (ms > 59999) return modbus_exception::kIllegalDataValue;
          t.second = ms / 1000;
          t.millisecond = ms % 1000;
          break;
        }
        case ClockField::HourMinute:
          t.hour = hi;
          t.minute = lo;
          break;
        case ClockField::DayMonth:
          t.day = hi;
          t.month = lo & 0x1F;
          break;
        case ClockField::Year:
          t.year = 2000 + ((hi << 8) | lo);
          break;
      }
    }
  }
  if (t.hour > 23 || t.minute > 59 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 ||
      t.year > 2255)
    return modbus_exception::kIllegalDataValue;
  // A day past the end of its month (31 April) is refused rather than rolled over.
  const int64_t days = DaysFromCivil(t.year, t.month, t.day);
  const WallTime check = WallTimeFromEpochMs(days * 86400000);
  if (check.day != t.day || check.month != t.month) return modbus_exception::kIllegalDataValue;
  deviceClock_.Set(t);
  return 0;
}

}  // namespace tessvar::sim

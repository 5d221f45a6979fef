#include "sim/register_image.h"

#include <charconv>
#include <string_view>

#include "model/catalogue.h"

namespace tessvar::sim {
namespace {

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

std::optional<ClockField> ClockColumn(std::string_view name) {
  if (Contains(name, "Время (tms)") || Contains(name, "Time (tms)")) return ClockField::Ms;
  if (Contains(name, "Время (thm)") || Contains(name, "Time (thm)")) return ClockField::HourMinute;
  if (Contains(name, "Время (tmd)") || Contains(name, "Time (tmd)")) return ClockField::DayMonth;
  if (Contains(name, "Время (ty)") || Contains(name, "Time (ty)")) return ClockField::Year;
  return std::nullopt;
}

double Divisor(const DeviceDescription& d, size_t entry) {
  if (entry >= d.divisors.size()) return 1;
  std::string_view text = d.divisors[entry];
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  double value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  (void)ptr;
  if (ec != std::errc() || !(value > 0)) return 1;
  return value;
}

}  // namespace

RegisterImage BuildRegisterImage(const DeviceDescription& d) {
  RegisterImage image;
  auto place = [&](size_t entry, RegisterSource source) {
    const uint32_t address = ParseHexAddress(d.entries[entry].address);
    if (address > 0xFFFF) {
      image.warnings.push_back("entry " + std::to_string(entry) + " (" + d.entries[entry].name +
                               "): address beyond the register range, not served");
      return;
    }
    source.entry = entry;
    const auto [it, inserted] = image.registers.emplace(static_cast<uint16_t>(address), source);
    (void)it;
    if (!inserted)
      image.warnings.push_back("entry " + std::to_string(entry) + " (" + d.entries[entry].name +
                               "): address " + d.entries[entry].address + " used twice, first kept");
  };
  for (size_t i = 0; i < d.entries.size(); ++i) {
    const std::string& name = d.entries[i].name;
    if (auto clock = ClockColumn(name)) {
      RegisterSource s;
      s.kind = RegisterKind::Clock;
      s.clock = *clock;
      place(i, s);
      if (*clock == ClockField::Ms && !image.clockStart) {
        const uint32_t a = ParseHexAddress(d.entries[i].address);
        if (a <= 0xFFFF) image.clockStart = static_cast<uint16_t>(a);
      }
      continue;
    }
    const auto slot = FindCatalogueSlot(name);
    RegisterSource s;
    s.divisor = Divisor(d, i);
    if (!slot) {
      place(i, s);
      continue;
    }
    s.slot = *slot;
    if (CatalogueTable()[static_cast<size_t>(*slot)].widthBits == 32) {
      s.kind = RegisterKind::CounterHigh;
      place(i, s);
      if (i + 1 < d.entries.size()) {
        s.kind = RegisterKind::CounterLow;
        place(i + 1, s);
        ++i;  // the counter's second half
      }
      continue;
    }
    s.kind = RegisterKind::Quantity;
    place(i, s);
  }
  return image;
}

}  // namespace tessvar::sim

#pragma once
// The fixed vocabulary of quantities the transducer can deliver, and which of them the
// loaded description makes available.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tessvar {

inline constexpr int kCatalogueSlots = 45;
inline constexpr int kAvailabilityMarks = 55;

struct CatalogueSlot {
  std::string_view name;   // exact bytes, case-sensitive; "f1 " and "f2 " end in a blank
  int channel;             // 1, 2, or 0 for the device-wide quantities
  std::string_view group;  // the window group box caption, empty for device-wide ones
  std::string_view unit;   // base unit as captions write it (UTF-8), empty for none
  int valueBox;            // edit control of the main window showing the value
  int widthBits;           // 16, or 32 for a counter (which occupies two slots)
};

// The 45 slots in their fixed order. The second slot of a 32-bit quantity repeats the
// name of the first.
const std::array<CatalogueSlot, kCatalogueSlots>& CatalogueTable();

class MeasurementCatalogue {
 public:
  MeasurementCatalogue() { Build(); }
  // Fills the names in slot order; the result is the same every time.
  void Build();
  int Size() const { return built_; }
  const CatalogueSlot& Slot(int index) const { return CatalogueTable().at(static_cast<size_t>(index)); }
  std::string_view Name(int index) const { return Slot(index).name; }

 private:
  int built_ = 0;
};

// The slot whose name occurs in `name` followed by ')'. Only the first occurrence of each
// slot name is examined, slots are tried in order, and a name that ends right after a slot
// name counts as not followed by ')'.
std::optional<int> FindCatalogueSlot(std::string_view name);

// One byte per slot index 0..54: 1 available, 0 not. Indices 45..54 have no slot and stay 1.
struct AvailabilityMarks {
  std::array<uint8_t, kAvailabilityMarks> marks;
  AvailabilityMarks() { marks.fill(1); }
  uint8_t& operator[](size_t i) { return marks.at(i); }
  uint8_t operator[](size_t i) const { return marks.at(i); }
  bool Available(int slot) const {
    return slot >= 0 && slot < kAvailabilityMarks && marks[static_cast<size_t>(slot)] != 0;
  }
  friend bool operator==(const AvailabilityMarks&, const AvailabilityMarks&) = default;
};

}  // namespace tessvar

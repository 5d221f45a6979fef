#pragma once
// The acquisition side of both IEC links: the value image a completed IEC data set hands
// over, decoded into the raw value fields, and the address lists the IEC read modes use.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "acquisition/data_set.h"
#include "acquisition/poll_plan.h"
#include "model/catalogue.h"

namespace tessvar {

// Decodes a value image (two octets per entry, high first, at 2 x entry position; without
// the two leading octets of the receive array). Entry k is read from octets 2k and 2k+1, a
// counter from its two entries (high word first). Entries without a catalogue slot, the
// clock entries (the time comes from the time tags) and entries not awaited this cycle
// (`awaited` false; shorter than the entries means awaited) store nothing.
void DecodeIecImage(std::span<const PollEntry> entries, std::span<const uint8_t> image,
                    const std::vector<bool>& awaited, const DecodeOptions& options,
                    RawValues& out);

// The read command's addresses for "Чтение (102)": the start of every run of consecutive
// addresses among the leading entries before the first device-clock or size-0 entry. Empty
// when there is no such entry: the mode cannot be used with this description.
std::vector<uint32_t> BuildReadList(std::span<const PollEntry> entries);

inline constexpr std::string_view kReadListRefusedText =
    "Режим \"Чтение (102)\" невозможен: в файле конфигурации нет опрашиваемых величин перед "
    "временем преобразователя";

// The addresses the read mode asks for in turn, one per poll.
class IecReadCursor {
 public:
  explicit IecReadCursor(std::vector<uint32_t> starts) : starts_(std::move(starts)) {}
  bool Empty() const { return starts_.empty(); }
  uint32_t Next();
  const std::vector<uint32_t>& Starts() const { return starts_; }

 private:
  std::vector<uint32_t> starts_;
  size_t next_ = 0;
};

// "Чтение на канальном уровне": the entries off the run of consecutive addresses that starts
// at the first entry (among the non-clock entries) are not transferred; their quantities'
// availability marks are cleared (by catalogue slot).
void RestrictToFirstRun(std::span<const PollEntry> entries, AvailabilityMarks& marks);

}  // namespace tessvar

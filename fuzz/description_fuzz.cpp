// Feeds arbitrary bytes to the description reader and checks the result is coherent.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "model/device_description.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  tessvar::DeviceDescription previous;
  previous.entries.push_back({"(Udc1)", "0x1", "2"});
  const auto r = tessvar::ReadDeviceDescription(bytes, previous, {"fuzz.dat", tessvar::DisplayMode::RawCode});
  if (r.error && (!r.description.entries.empty() || r.marks || r.error->offset > size)) std::abort();
  if (!r.error && !r.marks) std::abort();
  if (r.quietEnd && r.quietEnd->offset > size) std::abort();
  if (r.entryRecord.size() != r.description.entries.size()) std::abort();
  return 0;
}

// DecodeAsdu over every field-size combination, read mode and group, on arbitrary octets.
// Octet 0: sizes (12 combinations) and mode; octet 1: group; then ASDUs of the cycle, each
// preceded by its length octet (at most three).
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "link/iec_asdu_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t combo = data[0] % 12;
  const tessvar::AsduFieldSizes sizes{static_cast<uint8_t>(1 + combo % 2),
                                      static_cast<uint8_t>(1 + (combo / 2) % 2),
                                      static_cast<uint8_t>(1 + combo / 4)};
  const auto mode = static_cast<tessvar::IecReadMode>((data[0] / 12) % 3);
  static const tessvar::DeviceDescription desc = [] {
    tessvar::DeviceDescription dd;
    const char* names[] = {"Напряжение (Udc1)", "Время (tms)", "Резерв", "Ток (Idc1)"};
    for (int a = 0; a < 20; ++a) {
      dd.entries.push_back({names[a % 4], std::to_string(a * 7 % 23), a % 5 == 2 ? "0" : "2"});
      dd.groupCodes.push_back(static_cast<uint8_t>(20 + a % 4));
    }
    return dd;
  }();
  // One decoder reused across inputs (no allocation per input); every field an input could
  // have changed is set again here.
  static tessvar::AsduDecoder d = tessvar::MakeAsduDecoder(desc, {}, tessvar::IecReadMode::Read102, 0);
  d.lastType = d.lastMonitorType = d.lastCause = d.asduCounter = 0;
  d.lastAddress = 0;
  d.time = {};
  d.sizes = sizes;
  d.mode = mode;
  d.group = data[1] % 17;
  d.awaitedEntries = data[1] % 25;
  tessvar::StartCycle(d);
  std::span<const uint8_t> rest(data + 2, size - 2);
  // At most three ASDUs per input: enough for state carried across ASDUs, and fast.
  for (int k = 0; k < 3 && !rest.empty(); ++k) {
    const size_t n = std::min<size_t>(rest[0], rest.size() - 1);
    const auto asdu = rest.subspan(1, n);
    const size_t objects = tessvar::DecodeAsdu(d, asdu);
    if (objects > 127) __builtin_trap();
    if (d.image.size() != 40 || d.marks.size() != 20 || d.awaited.size() != 20) __builtin_trap();
    if (d.complete) tessvar::StartCycle(d);
    rest = rest.subspan(1 + n);
  }
  return 0;
}

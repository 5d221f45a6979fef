// The IEC 104 connection fed an arbitrary byte stream in arbitrary segments: the first
// octets choose the read mode and the segment sizes, the rest is the stream. The APDU walk
// and the ASDU decoder must never read past what arrived, and the session must either end
// the connection or keep its buffer within bounds.
#include <cstddef>
#include <cstdint>
#include <span>

#include "link/iec104_session.h"
#include "platform/virtual_clock.h"

namespace {

tessvar::DeviceDescription Description() {
  tessvar::DeviceDescription d;
  d.entries = {{"Напряжение (Udc1)", "1", "2"}, {"Ток (Idc1)", "2", "2"},  {"Мощность (Pdc1)", "3", "2"},
               {"Частота (f1 )", "81", "2"},   {"Резерв (X)", "4", "0"},   {"Время (tms)", "100", "2"}};
  d.groupCodes = {20, 21, 20, 22, 20, 20};
  return d;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  static const tessvar::DeviceDescription description = Description();
  const auto mode = static_cast<tessvar::IecReadMode>(data[0] % 3);
  const uint8_t group = data[1] % 3;
  const size_t step = 1 + data[2] % 64;  // segment size; 64 → the whole stream at once
  std::span<const uint8_t> stream(data + 3, size - 3);

  tessvar::VirtualClock clock;
  tessvar::iec104::SessionConfig config;
  config.mode = mode;
  config.group = group;
  config.readAddresses = {1, 0x81};
  tessvar::iec104::Iec104Session session(
      config, tessvar::MakeAsduDecoder(description, tessvar::kIec104FieldSizes, mode, group), clock);
  session.Start();
  while (!stream.empty() && !session.Ended()) {
    const size_t n = step == 64 ? stream.size() : std::min(step, stream.size());
    session.Feed(stream.first(n));
    stream = stream.subspan(n);
    clock.Advance(7);
    session.Step();
    for (const auto& apdu : session.TakeOutgoing()) {
      if (apdu.size() < 6 || apdu[0] != 0x68 || apdu[1] + 2u != apdu.size()) __builtin_trap();
    }
    for (const auto& e : session.TakeEvents()) {
      if (e.dataSet && e.dataSet->image.size() != 2 * description.entries.size()) __builtin_trap();
    }
  }
  return 0;
}

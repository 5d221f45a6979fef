// The simulated IEC 101 station's frame assembly and command handling on arbitrary octets
// arriving in arbitrary pieces.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/virtual_clock.h"
#include "sim/iec101_station.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessvar;
  static VirtualClock clock;
  static const DeviceDescription desc = [] {
    DeviceDescription d;
    d.entries = {{"Напряжение (Udc1)", "1", "2"}, {"Ток (Idc1)", "2", "2"},
                 {"Время (tms)", "3", "2"}, {"Частота (f1 )", "5", "2"}};
    d.groupCodes = {21, 20, 20, 22};
    return d;
  }();
  static sim::Transducer transducer(clock, desc, {});
  if (size < 1) return 0;
  sim::Iec101StationOptions o;
  o.linkAddress = 1;
  o.addressSize = (data[0] & 1) ? 2 : 1;
  o.sizes = {static_cast<uint8_t>(1 + ((data[0] >> 1) & 1)), o.addressSize,
             static_cast<uint8_t>(1 + ((data[0] >> 2) % 3))};
  const uint8_t types[] = {9, 10, 21, 34, 35, 143};
  o.monitorType = types[(data[0] >> 4) % 6];
  o.sequence = (data[0] & 0x80) != 0;
  sim::SimStats stats;
  sim::Iec101FaultInjector faults;
  sim::Iec101Station station(o, desc, transducer, faults, stats);
  std::span<const uint8_t> rest(data + 1, size - 1);
  uint64_t now = clock.MonotonicMs();
  while (!rest.empty()) {
    const size_t piece = std::min<size_t>(1 + rest[0] % 17, rest.size());
    station.Receive(rest.first(piece), now);
    station.Tick(++now);
    (void)station.TakeDue(now);
    rest = rest.subspan(piece);
  }
  return 0;
}

// Feeds arbitrary bytes to the request parsers and to a simulator session in every framing:
// nothing may read out of bounds, loop, or consume more than it was given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "link/modbus_request.h"
#include "platform/virtual_clock.h"
#include "sim/modbus_session.h"

namespace {

void Check(const tessvar::RequestParseResult& r, size_t size) {
  using tessvar::RequestStatus;
  if (r.consumed > size) std::abort();
  if ((r.status == RequestStatus::Incomplete) != (r.consumed == 0)) std::abort();
  if (r.status == RequestStatus::Complete && r.request.function == 16 && r.request.exception == 0 &&
      r.request.data.size() != r.request.byteCount)
    std::abort();
}

tessvar::DeviceDescription Description() {
  tessvar::DeviceDescription d;
  d.entries = {{"(Udc1)", "0", "2"}, {"(Wdc1)", "1", "2"}, {"(Wdc1)", "2", "2"},
               {"Время (tms)", "3", "2"}, {"Время (thm)", "4", "2"}, {"Время (tmd)", "5", "2"},
               {"Время (ty)", "6", "2"}};
  d.divisors = {"10", "1", "1", "1", "1", "1", "1"};
  return d;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  Check(tessvar::ParseRtuRequest(bytes, false), size);
  Check(tessvar::ParseRtuRequest(bytes, true), size);
  Check(tessvar::ParseAsciiRequest(bytes), size);
  Check(tessvar::ParseTcpRequest(bytes), size);
  (void)tessvar::ParseRequestPdu(bytes);

  // The same bytes as a stream in pieces, through a whole session of each framing.
  static tessvar::VirtualClock clock;
  static tessvar::sim::Transducer transducer(clock, Description(), {});
  for (auto framing : {tessvar::ModbusFraming::Rtu, tessvar::ModbusFraming::Ascii, tessvar::ModbusFraming::Tcp}) {
    tessvar::sim::FaultInjector faults;
    tessvar::sim::SimStats stats;
    tessvar::sim::ModbusSession session({framing, 1, 9600}, transducer, faults, stats);
    size_t at = 0;
    size_t piece = size ? 1 + data[0] % 17 : 1;
    while (at < size) {
      const size_t n = std::min(piece, size - at);
      session.Receive(bytes.subspan(at, n), clock.MonotonicMs());
      clock.Advance(n % 3 == 0 ? 5 : 1);
      session.Tick(clock.MonotonicMs());
      (void)session.TakeDue(clock.MonotonicMs());
      at += n;
    }
    clock.Advance(10);
    session.Tick(clock.MonotonicMs());
    (void)session.TakeDue(clock.MonotonicMs());
  }
  return 0;
}

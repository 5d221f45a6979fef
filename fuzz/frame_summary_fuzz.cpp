// The monitor's summariser over arbitrary octets: the first octet picks the protocol, the
// direction and the field sizes; the rest is the frame.
#include <cstddef>
#include <cstdint>
#include <span>

#include "monitor/frame_summary.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  using namespace tessvar;
  using namespace tessvar::monitor;
  const uint8_t pick = data[0];
  FrameFormat format;
  format.protocol = static_cast<FrameProtocol>(pick % 5);
  format.linkAddressSize = (pick & 0x08) ? 2 : 1;
  format.asdu = {static_cast<uint8_t>(1 + ((pick >> 4) & 1)), static_cast<uint8_t>(1 + ((pick >> 5) & 1)),
                 static_cast<uint8_t>(1 + ((pick >> 6) % 3))};
  const auto direction = (pick & 0x80) ? FrameDirection::Received : FrameDirection::Sent;
  const FrameSummary s = SummariseFrame(std::span<const uint8_t>(data + 1, size - 1), direction, format);
  if (s.text.empty()) __builtin_trap();
  return 0;
}

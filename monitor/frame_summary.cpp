#include "monitor/frame_summary.h"

namespace tessvar::monitor {

FrameSummary SummariseFrame(std::span<const uint8_t> frame, FrameDirection direction,
                            const FrameFormat& format) {
  switch (format.protocol) {
    case FrameProtocol::Ft12: return SummariseFt12(frame, format);
    case FrameProtocol::Iec104: return SummariseApci(frame);
    default: return SummariseModbus(frame, direction, format.protocol);
  }
}

std::string HexText(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 3);
  for (uint8_t b : bytes) {
    if (!text.empty()) text += ' ';
    text += kDigits[b >> 4];
    text += kDigits[b & 0x0F];
  }
  return text;
}

}  // namespace tessvar::monitor

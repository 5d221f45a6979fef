#include "monitor/traffic_text.h"

#include "monitor/octet_reader.h"

namespace tessvar::monitor {

std::string WallText(const WallTime& t) {
  return Fmt("%02d:%02d:%02d.%03d", t.hour, t.minute, t.second, t.millisecond);
}

std::string_view DirectionArrow(FrameDirection direction) {
  return direction == FrameDirection::Sent ? "→" : "←";
}

std::string FailureText(LinkResult result) {
  const std::string_view text = LinkResultText(result);
  return text.empty() ? std::string("Ошибка") : std::string(text);
}

std::string FrameRowText(const CapturedFrame& f) {
  std::string row = Fmt("%llu\t", static_cast<unsigned long long>(f.sinceStartMs)) + WallText(f.wall) + "\t" +
                    std::string(DirectionArrow(f.direction)) + Fmt("\t%zu\t", f.bytes.size()) + HexText(f.bytes) + "\t" +
                    SummariseFrame(f.bytes, f.direction, f.format).text;
  if (f.failure) row += "\t" + FailureText(*f.failure);
  return row;
}

}  // namespace tessvar::monitor

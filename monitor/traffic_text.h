#pragma once
// The text of a captured frame as one row: the trace of tessvar-cli, the monitor's copy and
// "save as text" all write it.
#include <string>

#include "monitor/traffic_capture.h"

namespace tessvar::monitor {

// "hh:mm:ss.mmm" of the wall time.
std::string WallText(const WallTime& t);
// "→" sent, "←" received.
std::string_view DirectionArrow(FrameDirection direction);
// The failure a mark names ("Ошибка" for a result without a text of its own).
std::string FailureText(LinkResult result);

// Tab-separated: ms since start, wall time, direction, length, hex, summary, and the
// failure text when the frame is marked.
std::string FrameRowText(const CapturedFrame& frame);

}  // namespace tessvar::monitor

#include "tools/cli/traffic_output.h"

#include <ostream>

#include "monitor/traffic_text.h"

namespace tessvar {

void AddTrafficOptions(CLI::App& app, TrafficCliOptions& o) {
  app.add_option("--pcap", o.pcap, "write every frame of the run to this capture file (pcap, for Wireshark)");
  app.add_flag("--trace", o.trace,
               "print every frame on stderr: ms since start, time, direction, length, hex, decoded summary "
               "and the failure it ended with (tab-separated)");
}

TrafficOutput::TrafficOutput(const TrafficCliOptions& options, monitor::TrafficCapture& capture, std::ostream& trace)
    : options_(options), capture_(capture), trace_(trace) {}

std::optional<std::string> TrafficOutput::Open() {
  if (options_.pcap && !pcap_.Open(*options_.pcap)) return "cannot create the capture file " + *options_.pcap;
  return std::nullopt;
}

void TrafficOutput::Drain() {
  if (!options_.pcap && !options_.trace) return;
  const auto frames = capture_.FramesAfter(lastFrame_);
  if (!frames.empty() && frames.front().sequence > lastFrame_ + 1) lost_ += frames.front().sequence - lastFrame_ - 1;
  for (const auto& f : frames) {
    if (options_.pcap) pcap_.Write(f);
    if (options_.trace) trace_ << "frame\t" << monitor::FrameRowText(f) << '\n';
    lastFrame_ = f.sequence;
  }
  // A request that got no reply is marked after it was printed: its mark follows.
  const uint64_t marks = capture_.MarkCount();
  if (options_.trace) {
    for (const auto& [sequence, result] : capture_.MarksAfter(lastMark_)) {
      trace_ << "failed\tframe " << sequence << '\t' << monitor::FailureText(result) << '\n';
    }
  }
  lastMark_ = marks;
  if (options_.trace) trace_.flush();
}

}  // namespace tessvar

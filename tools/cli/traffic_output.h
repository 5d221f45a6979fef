#pragma once
// --pcap FILE and --trace: the frames of the run written to a capture file as they come, and
// one decoded row per frame on stderr (stdout keeps its one line per data set).
#include <CLI/CLI.hpp>

#include <iosfwd>
#include <optional>
#include <string>

#include "monitor/pcap_writer.h"
#include "monitor/traffic_capture.h"

namespace tessvar {

struct TrafficCliOptions {
  std::optional<std::string> pcap;
  bool trace = false;
};

void AddTrafficOptions(CLI::App& app, TrafficCliOptions& options);

class TrafficOutput {
 public:
  TrafficOutput(const TrafficCliOptions& options, monitor::TrafficCapture& capture, std::ostream& trace);
  // Opens the capture file; the error text when it cannot be created.
  std::optional<std::string> Open();
  // Writes what the capture took since the last call.
  void Drain();

 private:
  TrafficCliOptions options_;
  monitor::TrafficCapture& capture_;
  std::ostream& trace_;
  monitor::PcapStream pcap_;
  uint64_t lastFrame_ = 0;
  uint64_t lastMark_ = 0;
  uint64_t lost_ = 0;
};

}  // namespace tessvar

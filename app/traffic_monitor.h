#pragma once
// The behaviour of the "Обмен" window, without a toolkit: the rows it shows (taken from the
// run's capture on each poll of the window's timer), pause, clear, the filter by direction
// and kind, the text of selected rows, saving as text or pcap, and the counters beside.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "monitor/frame_summary.h"
#include "monitor/traffic_capture.h"

namespace tessvar {

struct TrafficRow {
  monitor::CapturedFrame frame;
  monitor::FrameSummary summary;
  std::string hex;
  // Drawn red: the exchange failed here, or the frame is an exception or malformed.
  bool Faulty() const;
};

enum class DirectionFilter : uint8_t { All, Sent, Received };

struct TrafficFilter {
  DirectionFilter direction = DirectionFilter::All;
  bool data = true;     // requests, replies, I-format APDUs, frames with an ASDU
  bool control = true;  // S/U formats, FT1.2 fixed frames and E5
  bool faults = true;   // failed exchanges, exceptions, negative causes, malformed frames
  bool Passes(const TrafficRow& row) const;
};

// The column titles of the table, in order.
inline constexpr const char* kTrafficColumns[] = {"мс", "Время", "", "Байт", "Кадр", "Расшифровка"};
inline constexpr int kTrafficColumnCount = 6;

class TrafficMonitor {
 public:
  explicit TrafficMonitor(monitor::TrafficCapture& capture, size_t maxRows = monitor::kDefaultCapacity);

  // What a poll changed: rows dropped at the front and appended at the end of the visible
  // list, and whether rows already shown changed (a late failure mark).
  struct Change {
    size_t droppedFront = 0;
    size_t appended = 0;
    bool marked = false;
    bool Any() const { return droppedFront || appended || marked; }
  };
  // Takes the frames and marks that arrived since the last poll (nothing while paused).
  Change Poll();

  void SetPaused(bool paused) { paused_ = paused; }
  bool Paused() const { return paused_; }
  // Empties the table; frames that come later are shown again.
  void Clear();
  void SetFilter(const TrafficFilter& filter);
  const TrafficFilter& Filter() const { return filter_; }

  size_t VisibleCount() const { return visible_.size(); }
  const TrafficRow& Visible(size_t index) const;
  // The text of one cell of a visible row (columns as kTrafficColumns).
  std::string Cell(size_t index, int column) const;
  // Tab-separated lines of the given visible rows (for the clipboard).
  std::string RowsText(const std::vector<size_t>& indices) const;
  // Every visible row, with a title line.
  std::string AllText() const;
  bool SaveText(const std::string& path, std::string& error) const;
  // Every row held (whatever the filter) as a capture file.
  bool SavePcap(const std::string& path, std::string& error) const;

  std::vector<std::string> CounterLines() const;
  void ResetCounters() { capture_.ResetCounters(); }

 private:
  void Rebuild();

  monitor::TrafficCapture& capture_;
  size_t maxRows_;
  TrafficRow* Find(uint64_t sequence);
  const TrafficRow* Find(uint64_t sequence) const;

  std::deque<TrafficRow> rows_;   // by sequence, at most maxRows_
  std::deque<uint64_t> visible_;  // sequences of the rows the filter passes
  TrafficFilter filter_;
  bool paused_ = false;
  uint64_t lastSequence_ = 0;
  uint64_t lastMark_ = 0;
};

}  // namespace tessvar

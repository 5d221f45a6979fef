#include "app/traffic_monitor.h"

#include <algorithm>
#include <fstream>

#include "monitor/pcap_writer.h"
#include "monitor/traffic_text.h"

namespace tessvar {

using monitor::FrameClass;

bool TrafficRow::Faulty() const {
  return frame.failure.has_value() || summary.cls == FrameClass::kException || summary.cls == FrameClass::kMalformed;
}

bool TrafficFilter::Passes(const TrafficRow& row) const {
  if (direction == DirectionFilter::Sent && row.frame.direction != FrameDirection::Sent) return false;
  if (direction == DirectionFilter::Received && row.frame.direction != FrameDirection::Received) return false;
  if (row.Faulty()) return faults;
  return row.summary.cls == FrameClass::kControl ? control : data;
}

TrafficMonitor::TrafficMonitor(monitor::TrafficCapture& capture, size_t maxRows)
    : capture_(capture), maxRows_(std::max<size_t>(maxRows, 1)) {
  lastMark_ = capture_.MarkCount();
}

TrafficRow* TrafficMonitor::Find(uint64_t sequence) {
  auto it = std::lower_bound(rows_.begin(), rows_.end(), sequence,
                             [](const TrafficRow& r, uint64_t s) { return r.frame.sequence < s; });
  return it != rows_.end() && it->frame.sequence == sequence ? &*it : nullptr;
}

const TrafficRow* TrafficMonitor::Find(uint64_t sequence) const {
  return const_cast<TrafficMonitor*>(this)->Find(sequence);
}

TrafficMonitor::Change TrafficMonitor::Poll() {
  Change change;
  if (paused_) return change;
  for (auto& f : capture_.FramesAfter(lastSequence_, maxRows_)) {
    lastSequence_ = f.sequence;
    TrafficRow row;
    row.summary = monitor::SummariseFrame(f.bytes, f.direction, f.format);
    row.hex = monitor::HexText(f.bytes);
    row.frame = std::move(f);
    if (filter_.Passes(row)) {
      visible_.push_back(row.frame.sequence);
      ++change.appended;
    }
    rows_.push_back(std::move(row));
    if (rows_.size() > maxRows_) {
      const uint64_t gone = rows_.front().frame.sequence;
      rows_.pop_front();
      if (!visible_.empty() && visible_.front() == gone) {
        visible_.pop_front();
        if (change.appended > visible_.size()) {
          --change.appended;  // appended and dropped in the same poll
        } else {
          ++change.droppedFront;
        }
      }
    }
  }
  const uint64_t marks = capture_.MarkCount();
  if (marks != lastMark_) {
    for (const auto& [sequence, result] : capture_.MarksAfter(lastMark_)) {
      if (TrafficRow* row = Find(sequence); row && !row->frame.failure) {
        row->frame.failure = result;
        change.marked = true;
      }
    }
    lastMark_ = marks;
    // A mark can move a row into or out of the filter.
    if (change.marked) Rebuild();
  }
  return change;
}

void TrafficMonitor::Clear() {
  rows_.clear();
  visible_.clear();
}

void TrafficMonitor::SetFilter(const TrafficFilter& filter) {
  filter_ = filter;
  Rebuild();
}

void TrafficMonitor::Rebuild() {
  visible_.clear();
  for (const auto& row : rows_) {
    if (filter_.Passes(row)) visible_.push_back(row.frame.sequence);
  }
}

const TrafficRow& TrafficMonitor::Visible(size_t index) const {
  static const TrafficRow kNone{};
  const TrafficRow* row = index < visible_.size() ? Find(visible_[index]) : nullptr;
  return row ? *row : kNone;
}

std::string TrafficMonitor::Cell(size_t index, int column) const {
  const TrafficRow& r = Visible(index);
  switch (column) {
    case 0: return std::to_string(r.frame.sinceStartMs);
    case 1: return monitor::WallText(r.frame.wall);
    case 2: return std::string(monitor::DirectionArrow(r.frame.direction));
    case 3: return std::to_string(r.frame.bytes.size());
    case 4: return r.hex;
    case 5: return r.frame.failure ? r.summary.text + " — " + monitor::FailureText(*r.frame.failure) : r.summary.text;
    default: return {};
  }
}

std::string TrafficMonitor::RowsText(const std::vector<size_t>& indices) const {
  std::string text;
  for (size_t i : indices) {
    if (i < visible_.size()) text += monitor::FrameRowText(Visible(i).frame) + "\n";
  }
  return text;
}

std::string TrafficMonitor::AllText() const {
  std::string text = "мс\tВремя\tНаправление\tБайт\tКадр\tРасшифровка\tОшибка\n";
  for (size_t i = 0; i < visible_.size(); ++i) text += monitor::FrameRowText(Visible(i).frame) + "\n";
  return text;
}

bool TrafficMonitor::SaveText(const std::string& path, std::string& error) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const std::string text = AllText();
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!out) {
    error = "Не удалось записать файл " + path;
    return false;
  }
  return true;
}

bool TrafficMonitor::SavePcap(const std::string& path, std::string& error) const {
  std::vector<monitor::CapturedFrame> frames;
  frames.reserve(rows_.size());
  for (const auto& r : rows_) frames.push_back(r.frame);
  return monitor::WritePcapFile(path, frames, error);
}

std::vector<std::string> TrafficMonitor::CounterLines() const { return monitor::CounterLines(capture_.Counters()); }

}  // namespace tessvar

#pragma once
// TrafficCapture: the bounded record of a run's frames and the counters since "Старт" that
// the traffic monitor, the trace and the pcap writer read. Frames arrive from any thread
// (the IEC 104 worker taps its own); everything is under one mutex, held only to copy a
// frame into a slot whose buffer is reused, so memory stays flat however long the run.
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/exchange_observer.h"
#include "monitor/frame_summary.h"
#include "platform/clock.h"

namespace tessvar::monitor {

inline constexpr size_t kDefaultCapacity = 10000;

struct CapturedFrame {
  uint64_t sequence = 0;      // 1, 2, ... since the capture was made (never reused)
  uint64_t sinceStartMs = 0;  // since "Старт"
  WallTime wall;              // the computer's local time of the frame
  int64_t utcMs = 0;          // the same as Unix time in milliseconds (capture files)
  uint32_t connection = 0;    // TCP: the connection the frame travelled over
  uint32_t deviceIpv4 = 0;    // TCP: the address connected to (0 when not known)
  uint16_t devicePort = 0;
  FrameDirection direction = FrameDirection::Sent;
  FrameFormat format;
  std::vector<uint8_t> bytes;
  std::optional<LinkResult> failure;  // the exchange this frame ended failed
};

struct TrafficCounters {
  uint64_t requests = 0;  // frames sent
  uint64_t received = 0;  // frames received
  uint64_t good = 0;      // exchanges that ended well
  std::map<uint8_t, uint64_t> failures;        // by LinkResult
  std::map<uint8_t, uint64_t> negativeCauses;  // received ASDUs with P/N set, by cause
};

// One line per counter: "Запросов: 12", "Нет ответа: 2", "Исключение 2: 1", ...
std::vector<std::string> CounterLines(const TrafficCounters& counters);

// The way frames of a run with these settings are laid out.
FrameFormat FormatFor(const ConnectionSettings& settings);

class TrafficCapture : public ExchangeObserver {
 public:
  explicit TrafficCapture(Clock& clock, size_t capacity = kDefaultCapacity);

  void OnFrame(FrameDirection direction, uint64_t monotonicMs, std::span<const uint8_t> bytes) override;
  void OnRunStart(const ConnectionSettings& settings, bool userStart) override;
  void OnExchange(LinkResult result) override;
  void OnConnected(uint32_t ipv4, uint16_t port) override;

  // Frames with a sequence above `after`, oldest first, at most `limit`. A frame already
  // taken may be marked failed later (no reply to a request): MarksAfter tells.
  std::vector<CapturedFrame> FramesAfter(uint64_t after, size_t limit = SIZE_MAX) const;
  // Every frame held, oldest first.
  std::vector<CapturedFrame> Frames() const { return FramesAfter(0); }
  // The marks made since the mark counter stood at `markCount` (the latest 512 at least):
  // frame sequence and result.
  uint64_t MarkCount() const;
  std::vector<std::pair<uint64_t, LinkResult>> MarksAfter(uint64_t markCount) const;

  TrafficCounters Counters() const;
  void ResetCounters();
  void Clear();  // the frames; the counters stay

  size_t Capacity() const { return slots_.size(); }
  size_t Size() const;
  // Bytes held by the frame buffers (for the flat-memory check).
  size_t BufferBytes() const;

 private:
  CapturedFrame* Slot(uint64_t sequence);
  WallTime WallAt(uint64_t monotonicMs) const;

  Clock& clock_;
  mutable std::mutex mutex_;
  std::vector<CapturedFrame> slots_;
  uint64_t next_ = 1;         // sequence of the next frame
  uint64_t oldest_ = 1;       // oldest sequence still held
  uint64_t lastSent_ = 0;     // sequence of the latest sent frame
  uint64_t lastReceived_ = 0;
  uint64_t startMs_ = 0;      // monotonic time of "Старт"
  uint64_t wallBaseMs_ = 0;   // monotonic time of `wallBase_`
  WallTime wallBase_;
  int64_t utcBaseMs_ = 0;     // Unix time at `wallBaseMs_`
  uint32_t connection_ = 0;
  uint32_t deviceIpv4_ = 0;
  uint16_t devicePort_ = 0;
  FrameFormat format_;
  TrafficCounters counters_;
  std::vector<std::pair<uint64_t, LinkResult>> marks_;  // the latest marks, bounded
  uint64_t markCount_ = 0;
};

}  // namespace tessvar::monitor

#pragma once
// The simulator's IEC 60870-5-101 secondary station (unbalanced) over one serial stream. It
// answers the link initialisation, takes interrogations, clock synchronisation and delay
// acquisition by send/confirm, serves queued data to class 2 polls (and, with nothing
// queued, the cyclic data set a link-level read awaits), answers the read command in the
// function-11 frame, repeats its last answer to a repeated frame-count bit, and shapes each
// answer by its fault rules.
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "link/iec_asdu.h"
#include "sim/iec101_faults.h"
#include "sim/iec101_monitor.h"
#include "sim/stream_session.h"
#include "sim/transducer.h"

namespace tessvar::sim {

struct Iec101StationOptions {
  uint16_t linkAddress = 1;     // also the common address
  uint8_t addressSize = 1;      // 1 or 2
  AsduFieldSizes sizes;         // the common-address size follows addressSize
  uint8_t monitorType = kMeNa1;
  bool sequence = false;        // SQ = 1 where the type allows it
  // A delay acquisition is confirmed with the received time plus the time the station held
  // it (from the command to the class 2 poll that carries the confirmation) plus this.
  uint32_t processingMs = 0;
  // One-way transmission time of the line: every answer reaches the client twice this
  // after the request reached the station, and a delay acquisition measures it.
  uint32_t lineDelayMs = 0;
  uint32_t partialFrameMs = 200;  // an unfinished frame is dropped after this silence
  bool trace = false;
  // A standard station instead of the transducer: class 1 data with ACD, interrogation
  // only at object address 0, E5 acknowledgements, one object per read, group answers with
  // the group's members only, cyclic data in class 2 at most every `cyclicMs`.
  bool standard = false;
  uint32_t cyclicMs = 1000;
};

class Iec101Station : public StreamSession {
 public:
  Iec101Station(Iec101StationOptions options, const DeviceDescription& description,
                Transducer& transducer, Iec101FaultInjector& faults, SimStats& stats,
                std::function<void(const std::string&)> log = {});

  void Receive(std::span<const uint8_t> bytes, uint64_t nowMs) override;
  void Tick(uint64_t nowMs) override;
  std::optional<uint64_t> NextDeadline() const override;
  std::vector<uint8_t> TakeDue(uint64_t nowMs) override;
  bool CloseRequested() const override { return false; }

  size_t QueuedAsdus() const { return queue_.size(); }

 private:
  void Parse(uint64_t nowMs);
  void HandleFrame(std::span<const uint8_t> frame, uint64_t nowMs);
  // The answer to one frame, before faults; empty for none.
  std::vector<uint8_t> Answer(uint8_t control, std::span<const uint8_t> asdu, bool variable,
                              uint64_t nowMs, uint8_t negativeCause);
  void TakeCommand(std::span<const uint8_t> asdu, uint64_t nowMs, uint8_t negativeCause);
  std::vector<uint8_t> ReadAnswer(std::span<const uint8_t> asdu, uint64_t nowMs,
                                  uint8_t negativeCause);
  std::vector<uint8_t> Class2Answer(uint64_t nowMs, uint8_t negativeCause);
  void QueueData(const std::vector<size_t>& entries, uint8_t cause, uint64_t nowMs);
  std::vector<std::vector<uint8_t>> DataAsdus(const std::vector<size_t>& entries, uint8_t cause,
                                              uint64_t nowMs);
  std::vector<uint8_t> UserData(std::vector<uint8_t> asdu, uint8_t negativeCause) const;
  std::vector<uint8_t> Fixed(uint8_t control) const;
  // The standard station's answers (iec101_standard_answers.cpp).
  std::vector<uint8_t> StandardAnswer(uint8_t control, std::span<const uint8_t> asdu,
                                      bool variable, uint64_t nowMs, uint8_t negativeCause);
  void StandardCommand(std::span<const uint8_t> asdu, uint64_t nowMs, uint8_t negativeCause);
  std::vector<uint8_t> Class1Answer(uint8_t negativeCause);
  std::vector<uint8_t> StandardClass2Answer(uint64_t nowMs, uint8_t negativeCause);
  uint8_t Acd() const { return class1_.empty() ? 0 : 0x20; }
  void Log(const std::string& line) const;

  Iec101StationOptions options_;
  const DeviceDescription& description_;
  Transducer& transducer_;
  Iec101FaultInjector& faults_;
  SimStats& stats_;
  std::function<void(const std::string&)> log_;
  std::vector<uint8_t> buffer_;
  uint64_t lastByteMs_ = 0;
  std::deque<std::vector<uint8_t>> queue_;  // class 2 ASDUs
  std::deque<std::vector<uint8_t>> class1_;  // standard station: class 1 ASDUs
  std::optional<uint64_t> lastCyclicMs_;
  std::optional<bool> lastFcb_;
  std::vector<uint8_t> lastAnswer_;
  struct Pending {
    uint64_t dueMs;
    std::vector<uint8_t> bytes;
  };
  std::deque<Pending> pending_;
  std::optional<uint64_t> delayTakenMs_;  // when the last delay acquisition came in
};

}  // namespace tessvar::sim

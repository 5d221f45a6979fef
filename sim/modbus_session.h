#pragma once
// The MODBUS side of the simulator over one byte stream: RTU (frames delimited by the
// inter-frame silence), ASCII or TCP. Answers function 3 and 4 reads and the function 16
// clock write from the Transducer, refuses everything else as a device would, and shapes
// each reply by the fault injector.
#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "link/modbus_request.h"
#include "sim/fault_injector.h"
#include "sim/stream_session.h"
#include "sim/transducer.h"
#include "sim/wake_up_detector.h"

namespace tessvar::sim {

using LogSink = std::function<void(const std::string&)>;

struct ModbusSessionOptions {
  ModbusFraming framing = ModbusFraming::Tcp;
  uint8_t address = 1;   // serial framings answer this address only (0 = broadcast, no reply)
  uint32_t baud = 9600;  // for the RTU silence t3.5
  bool trace = false;    // log every byte received and every reply frame, in hexadecimal
  // Serial framings: the rate the line is set to now (0 or empty: unknown). A wake-up burst
  // is answered according to the rate it came at.
  std::function<uint32_t()> lineRate = {};
};

// t3.5 in whole milliseconds, rounded up: 3.5 characters of 11 bits, 1.75 ms above 19200 baud.
uint32_t RtuSilenceMs(uint32_t baud);

// Applies a fault decision to a reply PDU and frames it. `noise` supplies garbage bytes.
std::vector<uint8_t> ShapeReply(ModbusFraming framing, uint16_t transaction, uint8_t unit,
                                std::vector<uint8_t> pdu, const FaultDecision& d, uint64_t& noise);

class ModbusSession : public StreamSession {
 public:
  ModbusSession(ModbusSessionOptions options, Transducer& transducer, FaultInjector& faults,
                SimStats& stats, LogSink log = {});

  void Receive(std::span<const uint8_t> bytes, uint64_t nowMs) override;
  void Tick(uint64_t nowMs) override;
  std::optional<uint64_t> NextDeadline() const override;
  std::vector<uint8_t> TakeDue(uint64_t nowMs) override;
  bool CloseRequested() const override { return closing_ && pending_.empty(); }

 private:
  void Parse(bool frameEnded, uint64_t nowMs);
  void Handle(const ModbusRequest& request, uint64_t nowMs);
  void AnswerWakeUp(uint64_t nowMs);
  void Log(const std::string& line) const;
  std::string Describe(const ModbusRequest& r) const;

  ModbusSessionOptions options_;
  Transducer& transducer_;
  FaultInjector& faults_;
  SimStats& stats_;
  LogSink log_;
  uint32_t silenceMs_;
  std::vector<uint8_t> buffer_;
  uint64_t lastByteMs_ = 0;
  struct Pending {
    uint64_t dueMs;
    std::vector<uint8_t> bytes;
  };
  std::deque<Pending> pending_;
  WakeUpDetector wakeUp_;
  uint64_t repliesHere_ = 0;
  uint64_t noise_;
  bool closing_ = false;
};

}  // namespace tessvar::sim

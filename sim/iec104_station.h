#pragma once
// The simulated IEC 60870-5-104 controlled station behind one TCP connection: data transfer
// (STARTDT/STOPDT/TESTFR), interrogation (confirmation, data, termination), the read command
// (the run of consecutive object addresses from the one asked for), clock synchronisation
// (confirmed, sets the transducer's clock) and cyclic data. It checks the client's
// acknowledgements as a station does: at most k unacknowledged I-format APDUs in flight, and
// the connection is closed when the oldest waits longer than t1.
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/iec104_apci.h"
#include "sim/iec104_faults.h"
#include "sim/iec104_monitor.h"
#include "sim/stream_session.h"
#include "sim/transducer.h"

namespace tessvar::sim {

struct Iec104StationOptions {
  uint16_t commonAddress = 1;  // 0xFFFF (broadcast) is always accepted too
  uint8_t monitorType = 9;
  bool sequence = false;     // SQ = 1 where the type allows it
  uint32_t cyclicMs = 0;     // cyclic data every this many ms while started; 0 = none
  uint32_t k = 12;           // unacknowledged I-format APDUs before the station waits
  uint32_t t1Ms = 15000;     // acknowledgement wait before the station gives up; 0 = never
  bool trace = false;
  // A standard station: interrogation only at object address 0, group answers with the
  // group's members only, one object per read.
  bool standard = false;
};

class Iec104Station : public StreamSession {
 public:
  Iec104Station(Iec104StationOptions options, Iec104FaultPlan faults, Transducer& transducer,
                const DeviceDescription& description, SimStats& stats,
                std::function<void(const std::string&)> log = {});

  void Receive(std::span<const uint8_t> bytes, uint64_t nowMs) override;
  void Tick(uint64_t nowMs) override;
  std::optional<uint64_t> NextDeadline() const override;
  std::vector<uint8_t> TakeDue(uint64_t nowMs) override;
  bool CloseRequested() const override { return closing_ && pending_.empty(); }

  // What the station has sent, for tests and the trace.
  uint64_t DataAsdusSent() const { return dataAsdus_; }
  bool Started() const { return started_; }

 private:
  void Begin(uint64_t nowMs);
  void HandleApdu(std::span<const uint8_t> apdu, uint64_t nowMs);
  void HandleU(std::span<const uint8_t> apdu, uint64_t nowMs);
  void HandleCommand(std::span<const uint8_t> asdu, uint64_t nowMs);
  void Interrogate(std::span<const uint8_t> asdu, uint8_t qualifier, uint64_t nowMs);
  void Read(std::span<const uint8_t> asdu, uint32_t address, uint64_t nowMs);
  void Acknowledged(uint16_t nr);
  void SendAsdu(std::vector<uint8_t> asdu, uint64_t nowMs);
  void SendData(uint8_t cause, const std::vector<IecPoint>& points, uint64_t nowMs);
  void Emit(std::vector<uint8_t> apdu, uint64_t nowMs);
  void FlushHeld(uint64_t nowMs);
  std::vector<IecPoint> Points(const std::function<bool(size_t entry)>& wanted, uint64_t nowMs);
  void Close(const std::string& why);
  void Log(const std::string& line) const;

  Iec104StationOptions options_;
  Iec104FaultPlan faults_;
  Transducer& transducer_;
  const DeviceDescription& description_;
  SimStats& stats_;
  std::function<void(const std::string&)> log_;
  iec104::ApduStream in_;

  std::optional<uint64_t> beganMs_;
  std::optional<uint64_t> startedMs_;
  bool started_ = false;
  bool closing_ = false;
  uint16_t vs_ = 0;
  uint16_t vr_ = 0;
  struct InFlight {
    uint16_t ns;
    uint64_t sentMs;
  };
  std::deque<InFlight> unacked_;
  std::deque<std::vector<uint8_t>> held_;  // ASDUs waiting for the k window
  struct Pending {
    uint64_t dueMs;
    std::vector<uint8_t> bytes;
  };
  std::deque<Pending> pending_;
  uint64_t nextCyclicMs_ = 0;
  uint64_t nextTestFrMs_ = 0;
  bool stopDtSent_ = false;
  bool garbageSent_ = false;
  bool burstSent_ = false;
  size_t splitOffset_ = 1;
  uint64_t dataAsdus_ = 0;
};

}  // namespace tessvar::sim

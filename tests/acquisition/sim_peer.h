#pragma once
// The simulator library as the far end of the run, in process, on the virtual clock: a
// memory serial line (RTU or ASCII) and a memory TCP socket that feed a MODBUS session of
// the simulated transducer and deliver its replies as the clock advances.
#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "link/modbus_request.h"
#include "model/device_description.h"
#include "platform/memory_serial_port.h"
#include "platform/tcp_socket.h"
#include "platform/virtual_clock.h"
#include "sim/fault_injector.h"
#include "sim/modbus_session.h"
#include "sim/transducer.h"

namespace tessvar::test {

class SimPeer {
 public:
  SimPeer(VirtualClock& clock, const DeviceDescription& description, ModbusFraming framing,
          std::map<uint16_t, uint16_t> pinned = {}, uint8_t address = 1);

  // A serial port whose far end is this peer.
  std::unique_ptr<SerialPort> MakeSerialPort();
  // A TCP socket whose far end is this peer (connection refused while `refuseConnect`).
  std::unique_ptr<TcpSocket> MakeTcpSocket();

  void SetFaults(std::vector<sim::FaultRule> rules);
  // The same from the next request on, with the session kept: a reply under way still comes
  // (SetFaults starts a new session, which drops it).
  void ArmFaults(std::vector<sim::FaultRule> rules);
  // The service interface (wake-up answer, RTC test code) of the simulated transducer.
  void SetService(sim::ServiceInterface service);
  // DC at its nominals: Wdc and Qdc count one code every 100 ms (the value model restarts).
  void SetSteadyDc(bool on);
  sim::Transducer& Device() { return *transducer_; }
  void Pin(uint16_t address, uint16_t value) { pinned_[address] = value; Rebuild(); }
  const sim::SimStats& Stats() const { return stats_; }
  // The injector of the rules last set (how often each fault was applied).
  const sim::FaultInjector& Faults() const { return *faults_; }
  std::shared_ptr<MemorySerialPort::Line> Line() { return line_; }
  bool refuseConnect = false;
  int connects = 0;

  // TCP side, used by the socket.
  struct TcpState {
    bool connected = false;
    bool peerClosed = false;
    std::deque<uint8_t> incoming;
  };
  std::shared_ptr<TcpState> tcp = std::make_shared<TcpState>();
  void TcpSend(std::span<const uint8_t> bytes);
  void NewTcpSession();

 private:
  void Rebuild();
  sim::ModbusSessionOptions SessionOptions(ModbusFraming framing) const;
  void Pump(uint64_t now);

  VirtualClock& clock_;
  const DeviceDescription& description_;
  ModbusFraming framing_;
  std::map<uint16_t, uint16_t> pinned_;
  std::vector<sim::FaultRule> rules_;
  sim::ServiceInterface service_;
  bool steadyDc_ = false;
  sim::SimStats stats_;
  std::unique_ptr<sim::Transducer> transducer_;
  std::unique_ptr<sim::FaultInjector> faults_;
  std::unique_ptr<sim::ModbusSession> session_;
  std::shared_ptr<MemorySerialPort::Line> line_ = std::make_shared<MemorySerialPort::Line>();
  bool pumping_ = false;
  uint8_t address_ = 1;
};

}  // namespace tessvar::test

#pragma once
// CModbusMaster: builds MODBUS requests, sends them over its serial line (owned, or lent by
// the window for the life of a run) or over a given TCP connection, and collects and checks the replies. No timers, no retries:
// the caller sends, waits (a poll period or a fixed pause) and then receives.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "link/modbus_frames.h"
#include "link/serial_line.h"
#include "link/tcp_link.h"
#include "platform/clock.h"
#include "platform/serial_port.h"

namespace tessvar {

class CModbusMaster {
 public:
  static constexpr size_t kAsciiScratchSize = 256;

  // Owns a serial line over `port`.
  CModbusMaster(std::unique_ptr<SerialPort> port, Clock& clock);
  // Uses a serial line that outlives the master and stays open after it.
  explicit CModbusMaster(CSerialLine& line);
  ~CModbusMaster();
  CModbusMaster(const CModbusMaster&) = delete;
  CModbusMaster& operator=(const CModbusMaster&) = delete;

  // ASCII framing on the serial line.
  void SendAscii(uint8_t address, uint8_t function, uint16_t start,
                 std::span<const uint8_t> data);
  // RTU framing on the serial line when `link` is null or not open, else MODBUS TCP on it.
  void SendRtu(uint8_t address, uint8_t function, uint16_t start,
               std::span<const uint8_t> data, CTcpLink* link = nullptr);
  // Collects and checks the reply to the last request; `reply` gets address, function and
  // data (see modbus_frames.h). Given an open link, ReceiveAscii makes one plain receive
  // (used only to discard pending input) and its result means nothing.
  LinkResult ReceiveAscii(std::vector<uint8_t>& reply, CTcpLink* link = nullptr);
  LinkResult ReceiveRtu(std::vector<uint8_t>& reply, CTcpLink* link = nullptr);

  // Conveniences over the two above.
  void SendReadInputRegisters(bool ascii, uint8_t address, uint16_t start, uint16_t quantity,
                              CTcpLink* link = nullptr);
  void SendWriteRegisters(bool ascii, uint8_t address, uint16_t start,
                          std::span<const uint16_t> values, CTcpLink* link = nullptr);

  // Wakes the transducer's service interface (link/rtc_probe.h) and leaves the line at
  // 19200,E,8,1; the two answer octets, first high, or 0xFFFF when none came.
  uint16_t ProbeRtcMode();

  CSerialLine& Serial() { return serial_; }
  uint16_t TransactionCounter() const { return transaction_; }
  void SetTransactionCounter(uint16_t value) { transaction_ = value; }
  // What the last request asked for; replies are held against it.
  const ModbusExpectation& Expectation() const { return expect_; }
  void SetFrameTap(FrameTap* tap) { serial_.SetFrameTap(tap); }

 private:
  std::unique_ptr<CSerialLine> owned_;
  CSerialLine& serial_;
  uint16_t transaction_ = 0;
  ModbusExpectation expect_;
};

}  // namespace tessvar

#include "link/modbus_master.h"

#include <array>

#include "link/link_result.h"
#include "link/modbus_checksum.h"

namespace tessvar {
namespace {

bool UsesTcp(const CTcpLink* link) { return link != nullptr && link->IsOpen(); }

}  // namespace

CModbusMaster::CModbusMaster(std::unique_ptr<SerialPort> port, Clock& clock)
    : owned_(std::make_unique<CSerialLine>(std::move(port), clock)), serial_(*owned_) {}

CModbusMaster::CModbusMaster(CSerialLine& line) : serial_(line) {}

CModbusMaster::~CModbusMaster() {
  if (owned_) owned_->Close();
}

void CModbusMaster::SendAscii(uint8_t address, uint8_t function, uint16_t start,
                              std::span<const uint8_t> data) {
  expect_ = ExpectationFor(function, data);
  serial_.Write(BuildAsciiRequest(address, function, start, data));
}

void CModbusMaster::SendRtu(uint8_t address, uint8_t function, uint16_t start,
                            std::span<const uint8_t> data, CTcpLink* link) {
  expect_ = ExpectationFor(function, data);
  if (UsesTcp(link)) {
    link->Send(BuildTcpRequest(transaction_, address, function, start, data));
    ++transaction_;
    return;
  }
  serial_.Write(BuildRtuRequest(address, function, start, data));
}

LinkResult CModbusMaster::ReceiveAscii(std::vector<uint8_t>& reply, CTcpLink* link) {
  reply.clear();
  if (UsesTcp(link)) {
    // Only ever a discard of pending input on a network run.
    std::array<uint8_t, CTcpLink::kReceiveBufferSize> buffer{};
    return link->ReceiveReply(buffer) == 0 ? LinkResult::kNoReply : LinkResult::kError;
  }
  std::vector<uint8_t> buffer(CSerialLine::kReplyBufferSize);
  const size_t n = serial_.CollectReply(buffer, kAsciiScratchSize);
  return ParseAsciiReply(std::span<const uint8_t>(buffer).first(n), reply, expect_);
}

LinkResult CModbusMaster::ReceiveRtu(std::vector<uint8_t>& reply, CTcpLink* link) {
  reply.clear();
  std::vector<uint8_t> buffer(CSerialLine::kReplyBufferSize);
  if (UsesTcp(link)) {
    size_t gathered = 0;
    const size_t n = link->ReceiveFrame(buffer, ScanMbapFrame, CTcpLink::kReplyLimitMs, &gathered);
    // An incomplete frame is judged on what did arrive: too short, or an impossible header.
    const size_t used = n != 0 ? n : gathered;
    const LinkResult result = ParseTcpReply(std::span<const uint8_t>(buffer).first(used), reply, expect_);
    if (n == 0 && result == LinkResult::kGood) return LinkResult::kNoReply;
    return result;
  }
  const size_t n = serial_.CollectReply(buffer);
  return ParseRtuReply(std::span<const uint8_t>(buffer).first(n), reply, expect_);
}

void CModbusMaster::SendReadInputRegisters(bool ascii, uint8_t address, uint16_t start,
                                           uint16_t quantity, CTcpLink* link) {
  const auto data = ReadInputRegistersData(quantity);
  if (ascii) {
    SendAscii(address, kModbusReadInputRegisters, start, data);
  } else {
    SendRtu(address, kModbusReadInputRegisters, start, data, link);
  }
}

void CModbusMaster::SendWriteRegisters(bool ascii, uint8_t address, uint16_t start,
                                       std::span<const uint16_t> values, CTcpLink* link) {
  const auto data = WriteRegistersData(values);
  if (ascii) {
    SendAscii(address, kModbusWriteMultipleRegisters, start, data);
  } else {
    SendRtu(address, kModbusWriteMultipleRegisters, start, data, link);
  }
}

}  // namespace tessvar

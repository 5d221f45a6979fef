#include "acquisition/modbus_engine.h"

#include "acquisition/clock_sync.h"
#include "acquisition/run_texts.h"
#include "link/serial_line.h"
#include "link/tcp_link.h"

namespace tessvar {

namespace {
// A freshly opened adapter needs a moment before it takes its settings.
constexpr uint32_t kSerialSettleMs = 100;
constexpr uint32_t kAsciiClockReplyWaitMs = 500;
constexpr uint32_t kRtuClockReplyWaitMs = 350;
// The time written to the clock lies within this many milliseconds after a full second.
constexpr int kLatestMillisecond = 10;
constexpr int kMillisecondsPerSecond = 1000;
// Start register (2) and quantity (2) echoed after address and function.
constexpr size_t kWriteEchoOffset = 2;
constexpr size_t kWriteEchoSize = 4;
}  // namespace

ModbusEngine::ModbusEngine(ModbusFraming framing, const EngineContext& context)
    : framing_(framing), ctx_(context), master_(context.serial) {}

uint8_t ModbusEngine::DeviceAddress() const {
  return static_cast<uint8_t>(ctx_.settings.deviceAddress & 0xFF);
}

CTcpLink* ModbusEngine::Connection() const {
  return framing_ == ModbusFraming::Tcp ? &ctx_.tcp : nullptr;
}

OpenOutcome ModbusEngine::OpenPort() {
  if (!OnSerialLine()) return {};
  CSerialLine& line = ctx_.serial;
  if (!line.IsOpen() && !line.Open(ctx_.settings.portText)) {
    return SerialOpenFailure(ctx_.settings.portText);
  }
  ctx_.clock.Sleep(kSerialSettleMs);
  SerialParameters p = ctx_.settings.serial;
  p.dataBits.assign(1, framing_ == ModbusFraming::Ascii ? '7' : '8');
  line.Configure(BuildSerialSettingsText(p));
  return {};
}

void ModbusEngine::DrainStale() {
  if (!ctx_.serial.IsOpen()) return;
  std::vector<uint8_t> discard;
  master_.ReceiveAscii(discard);
}

ConnectOutcome ModbusEngine::Connect(const LinkTarget& target) {
  if (framing_ != ModbusFraming::Tcp || ctx_.tcp.IsOpen()) return ConnectOutcome::kConnected;
  if (!ctx_.tcp.Create()) return ConnectOutcome::kCannotCreate;
  const TcpPeer peer{target.ipv4, target.listedPort.value_or(kDefaultTcpPort)};
  if (ctx_.tcp.ConnectWithTimeout(peer, CTcpLink::kConnectLimitMs) != 0) {
    return ConnectOutcome::kRetryLater;
  }
  return ConnectOutcome::kConnected;
}

bool ModbusEngine::AwaitsConnection() const {
  return framing_ == ModbusFraming::Tcp && !ctx_.tcp.IsOpen();
}

bool ModbusEngine::IsOpen() const {
  return OnSerialLine() ? ctx_.serial.IsOpen() : ctx_.tcp.IsOpen();
}

CollectOutcome ModbusEngine::Collect(std::vector<uint8_t>& reply) {
  CollectOutcome out;
  switch (framing_) {
    case ModbusFraming::Ascii: out.result = master_.ReceiveAscii(reply); break;
    case ModbusFraming::Rtu: out.result = master_.ReceiveRtu(reply); break;
    case ModbusFraming::Tcp: out.result = master_.ReceiveRtu(reply, &ctx_.tcp); break;
  }
  return out;
}

AfterRequest ModbusEngine::SendRequest(const RequestBlock& block) {
  if (IsOpen()) {
    master_.SendReadInputRegisters(framing_ == ModbusFraming::Ascii, DeviceAddress(),
                                   static_cast<uint16_t>(block.start), block.count,
                                   Connection());
  }
  return AfterRequest::kContinue;
}

ClockWriteOutcome ModbusEngine::WriteClock(const ClockTarget& target) {
  using Then = ClockWriteOutcome::Then;
  if (OnSerialLine() && !ctx_.serial.IsOpen()) {
    return {Then::kNothing, SerialOpenFailureText(ctx_.settings.portText)};
  }
  // A TCP engine names its connection even when it is closed; the master then falls back
  // to the (closed) serial line and the write fails as a missing reply.
  CTcpLink* link = Connection();
  std::vector<uint8_t> discard;
  master_.ReceiveAscii(discard, link);

  WallTime t = ctx_.now();
  if (t.millisecond > kLatestMillisecond) {
    ctx_.clock.Sleep(static_cast<uint32_t>(kMillisecondsPerSecond - t.millisecond));
    t = ctx_.now();
  }
  if (ctx_.clock.Cancelled()) return {Then::kNothing, {}};  // stopped: nothing is written
  const std::vector<uint8_t> data = ClockWriteData(t, target.hasDateRegister);
  const uint16_t start = target.startRegister;

  std::vector<uint8_t> reply;
  LinkResult result;
  if (framing_ == ModbusFraming::Ascii) {
    master_.SendAscii(DeviceAddress(), kModbusWriteMultipleRegisters, start, data);
    ctx_.clock.Sleep(kAsciiClockReplyWaitMs);
    result = master_.ReceiveAscii(reply);
  } else {
    master_.SendRtu(DeviceAddress(), kModbusWriteMultipleRegisters, start, data, link);
    ctx_.clock.Sleep(kRtuClockReplyWaitMs);
    result = master_.ReceiveRtu(reply, link);
  }
  const uint8_t echo[kWriteEchoSize] = {static_cast<uint8_t>(start >> 8),
                                        static_cast<uint8_t>(start & 0xFF), data[0], data[1]};
  bool echoed = reply.size() >= kWriteEchoOffset + kWriteEchoSize;
  for (size_t i = 0; echoed && i < kWriteEchoSize; ++i) {
    echoed = reply[kWriteEchoOffset + i] == echo[i];
  }
  if (result != LinkResult::kGood && framing_ == ModbusFraming::Ascii) {
    return {Then::kRestart, std::string(run_texts::kLinkError)};
  }
  if (result != LinkResult::kGood || !echoed) {
    return {Then::kRestart, std::string(run_texts::kClockSyncFailed)};
  }
  return {Then::kRestart, {}};
}

void ModbusEngine::Close(LinkClose how) { CloseTransports(ctx_, how); }

}  // namespace tessvar

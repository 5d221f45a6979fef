// The one place that turns a protocol into the engine that speaks it.
#include "acquisition/iec101_engine.h"
#include "acquisition/iec104_engine.h"
#include "acquisition/link_engine.h"
#include "acquisition/modbus_engine.h"
#include "acquisition/run_texts.h"
#include "link/serial_line.h"
#include "link/tcp_link.h"

namespace tessvar {

namespace {

// No protocol chosen: nothing is opened or sent, every tick fails and restarts the run.
class NoLinkEngine final : public LinkEngine {
 public:
  explicit NoLinkEngine(const EngineContext& context) : ctx_(context) {}
  OpenOutcome OpenPort() override { return {}; }
  bool IsOpen() const override { return false; }
  CollectOutcome Collect(std::vector<uint8_t>&) override { return {}; }
  AfterRequest SendRequest(const RequestBlock&) override { return AfterRequest::kContinue; }
  ClockWriteOutcome WriteClock(const ClockTarget&) override {
    return {ClockWriteOutcome::Then::kRestart, std::string(run_texts::kLinkError)};
  }
  void Close(LinkClose how) override { CloseTransports(ctx_, how); }

 private:
  EngineContext ctx_;
};

}  // namespace

std::unique_ptr<LinkEngine> MakeLinkEngine(ProtocolKind protocol, const EngineContext& context) {
  switch (protocol) {
    case ProtocolKind::ModbusAscii:
      return std::make_unique<ModbusEngine>(ModbusFraming::Ascii, context);
    case ProtocolKind::ModbusRtu:
      return std::make_unique<ModbusEngine>(ModbusFraming::Rtu, context);
    case ProtocolKind::ModbusTcp:
      return std::make_unique<ModbusEngine>(ModbusFraming::Tcp, context);
    case ProtocolKind::Iec101:
      return std::make_unique<Iec101Engine>(context);
    case ProtocolKind::Iec104:
      return std::make_unique<Iec104Engine>(context);
    case ProtocolKind::NoProtocol:
      break;
  }
  return std::make_unique<NoLinkEngine>(context);
}

void CloseTransports(const EngineContext& context, LinkClose how) {
  if (how == LinkClose::kStop) context.serial.Close();
  if (context.tcp.IsOpen()) context.tcp.Close(how == LinkClose::kStop);
}

std::string SerialOpenFailureText(const std::string& portText) {
  if (portText == kNoPort) return std::string(run_texts::kNoComPort);
  if (portText == kNoPortEn) return std::string(run_texts::kNoComPortEn);
  return std::string(run_texts::kCannotOpen) + portText;
}

OpenOutcome SerialOpenFailure(const std::string& portText) {
  // "НЕТ" names no device: nothing to wait for.
  const bool named = portText != kNoPort && portText != kNoPortEn;
  return {.ok = false, .failureText = SerialOpenFailureText(portText), .deviceMissing = named};
}

}  // namespace tessvar

#pragma once
// The MODBUS engines of a run: ASCII and RTU on the window's serial line, TCP on its
// connection. One class; the framing is chosen when the engine is made and never asked
// again by anyone outside.
#include "acquisition/link_engine.h"
#include "link/modbus_master.h"
#include "link/modbus_request.h"

namespace tessvar {

class ModbusEngine final : public LinkEngine {
 public:
  static constexpr uint16_t kDefaultTcpPort = 502;

  ModbusEngine(ModbusFraming framing, const EngineContext& context);

  OpenOutcome OpenPort() override;
  void DrainStale() override;
  ConnectOutcome Connect(const LinkTarget& target) override;
  bool AwaitsConnection() const override;
  bool IsOpen() const override;
  bool CollectMayWait() const override { return framing_ == ModbusFraming::Tcp; }
  CollectOutcome Collect(std::vector<uint8_t>& reply) override;
  AfterRequest SendRequest(const RequestBlock& block) override;
  ClockWriteOutcome WriteClock(const ClockTarget& target) override;
  void Close(LinkClose how) override;

 private:
  uint8_t DeviceAddress() const;
  bool OnSerialLine() const { return framing_ != ModbusFraming::Tcp; }
  CTcpLink* Connection() const;

  ModbusFraming framing_;
  EngineContext ctx_;
  CModbusMaster master_;
};

}  // namespace tessvar

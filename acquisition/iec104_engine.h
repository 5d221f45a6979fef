#pragma once
// The IEC 60870-5-104 engine of a run: the transducer as the controlled station of one
// connection on TCP port 2404. Once connected, the connection belongs to its thread
// (Iec104Worker) until the run closes it; the window only asks (orderly stop, clock
// synchronisation) and takes what the thread completed: each tick hands the latest value
// image on as one data set, and in the cyclic mode each completed image asks for a tick at
// once. A connection the station or the stream ended is reported by the next tick with its
// status text, and the run restarts. The connection thread reads the context's clock
// (monotonic and wall time, never Sleep), so that clock must be safe to read from any
// thread, as the real clock and the Qt window's clock over it are. On a virtual clock the
// connection takes turns on the window thread instead (ConnectionThreading::WindowTurns).
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/iec_data_set.h"
#include "acquisition/link_engine.h"
#include "link/iec104_worker.h"

namespace tessvar {

class Iec104Engine final : public LinkEngine {
 public:
  explicit Iec104Engine(const EngineContext& context,
                        iec104::ConnectionThreading threading = iec104::ConnectionThreading::OwnThread);
  ~Iec104Engine() override;

  OpenOutcome OpenPort() override { return {}; }
  ConnectOutcome Connect(const LinkTarget& target) override;
  bool AwaitsConnection() const override;
  FirstRequestOutcome SendFirstRequest(const RequestBlock& block) override;
  bool WantsPollTimer() const override;
  bool IsOpen() const override;
  CollectOutcome Collect(std::vector<uint8_t>& reply) override;
  bool ReplyHasData() const override;
  bool EachReplyIsDataSet() const override { return true; }
  bool StampsRequestTime() const override { return false; }
  AfterRequest SendRequest(const RequestBlock&) override { return AfterRequest::kContinue; }
  ClockWriteOutcome WriteClock(const ClockTarget& target) override;
  uint32_t ClockSyncsConfirmed() const override;
  bool ConverterTimeFromRegisters() const override { return false; }
  std::string AsduFieldText() const override;
  bool ValuesCameUntimed() const override;
  std::optional<ConverterTime> DecodedConverterTime() const override;
  std::optional<WallTime> RequestTime() const override;
  std::vector<bool> AwaitedEntries() const override;
  void RestrictAvailability(std::span<const PollEntry> entries,
                            AvailabilityMarks& marks) const override;
  void Close(LinkClose how) override;

 private:
  void StopWorker();

  EngineContext ctx_;
  iec104::ConnectionThreading threading_;
  std::unique_ptr<iec104::Iec104Worker> worker_;
  std::shared_ptr<const iec104::DataSetSnapshot> last_;  // the data set of the last tick
  bool lastTickHadData_ = false;
};

}  // namespace tessvar

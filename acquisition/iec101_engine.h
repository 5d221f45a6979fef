#pragma once
// The IEC 60870-5-101 engine of a run: the transducer as the secondary of an unbalanced
// FT1.2 link on the window's serial line. A run start initialises the link (unless the run
// restarts softly after an activation termination) and sends the interrogation; every tick
// collects one reply into the ASDU decoder and sends the read command or a class 2 poll by
// the read mode. A completed value image is handed to the tick as one data set.
#include <optional>
#include <string>
#include <vector>

#include "acquisition/iec_data_set.h"
#include "acquisition/iec_station_policy.h"
#include "acquisition/link_engine.h"
#include "link/iec101_link.h"
#include "link/iec_asdu_decoder.h"
#include "link/iec_refusal.h"

namespace tessvar {

inline constexpr std::string_view kIecLinkInitFailed = "Ошибка при инициализации канала";
inline constexpr std::string_view kIecNotConfirmed = kIecNotConfirmedText;

// The message a refused interrogation shows, by the result of the class 2 poll after it.
std::string_view InterrogationRefusalText(LinkResult second);

class Iec101Engine final : public LinkEngine {
 public:
  static constexpr uint32_t kCommandReplyWaitMs = 350;

  explicit Iec101Engine(const EngineContext& context);

  OpenOutcome OpenPort() override;
  void DrainStale() override;
  FirstRequestOutcome SendFirstRequest(const RequestBlock& block) override;
  bool IsOpen() const override;
  CollectOutcome Collect(std::vector<uint8_t>& reply) override;
  bool ReplyHasData() const override;
  bool EachReplyIsDataSet() const override { return true; }
  AfterRequest SendRequest(const RequestBlock& block) override;
  ClockWriteOutcome WriteClock(const ClockTarget& target) override;
  // The delay acquisition (iec101_delay.cpp).
  bool MeasuresDelay() const override { return true; }
  DelayOutcome AcquireDelay() override;
  bool SendDelay(uint16_t delayMs) override;
  bool ConverterTimeFromRegisters() const override { return false; }
  std::string AsduFieldText() const override;
  bool ValuesCameUntimed() const override;
  std::optional<ConverterTime> DecodedConverterTime() const override;
  std::vector<bool> AwaitedEntries() const override { return handedAwaited_; }
  void RestrictAvailability(std::span<const PollEntry> entries,
                            AvailabilityMarks& marks) const override;
  void Close(LinkClose how) override;

  // For tests and the clock commands.
  CIec101Link& Link() { return link_; }
  const AsduDecoder& Decoder() const { return decoder_; }

 private:
  uint16_t LinkAddress() const;
  // Sends C_CD_NA_1, takes its acknowledgement and times the station's reply; nothing when
  // no usable reply came within the wait.
  std::optional<uint16_t> MeasureDelay();
  void SendNext();
  // A standard secondary (iec101_standard_flow.cpp).
  FirstRequestOutcome StandardFirstRequest();
  CollectOutcome StandardCollect(std::vector<uint8_t>& reply);
  void StandardSendNext();
  uint8_t ReceiveRepeating(std::vector<uint8_t>& reply);

  EngineContext ctx_;
  CIec101Link link_;
  Iec101LinkParams params_;
  AsduDecoder decoder_;
  IecReadMode mode_ = IecReadMode::GroupPoll;
  IecStationPolicy policy_;
  std::optional<IecReadCursor> readList_;
  std::vector<bool> handedAwaited_;
  LinkResult lastResult_ = LinkResult::kGood;
  bool replyHadImage_ = false;
  bool softRestartPending_ = false;
  std::optional<LinkResult> refusal_;  // the station refused the last delay acquisition
  bool class1Pending_ = false;          // the station set ACD: class 1 is polled next
  std::vector<uint32_t> readAddresses_;  // standard read mode: every awaited object
  size_t readCursor_ = 0;
};

}  // namespace tessvar

#pragma once
// One IEC 60870-5-104 connection of the controlling station, as a step function: the owner
// feeds it the octets it received and lets time pass on the Clock; it answers with the
// APDUs to send and the events for the window. It never blocks and owns no socket, so it
// runs the same on one test thread with a virtual clock as inside the connection thread.
//
// Subset kept on purpose: w = 8 (an S-format after 8 unacknowledged I-format APDUs), no k
// limit, no t1/t3, TESTFR answered but never sent. Added: received I-format APDUs are
// acknowledged at the latest 10 s after the first of them (t2), so a station that waits
// for acknowledgements keeps the connection when data arrives slowly.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/frame_tap.h"
#include "link/iec104_apci.h"
#include "link/iec_asdu_decoder.h"
#include "link/link_result.h"
#include "model/connection_settings.h"
#include "platform/clock.h"

namespace tessvar::iec104 {

inline constexpr uint16_t kDefaultPort = 2404;
inline constexpr uint16_t kAckWindow = 8;                  // w
inline constexpr uint32_t kAckDelayMs = 10000;             // t2
inline constexpr uint32_t kSilenceLimitMs = 12000;         // six silent passes of ~2 s
inline constexpr uint32_t kStopConfirmWaitMs = 1500;       // STOPDT con after our STOPDT act
inline constexpr uint32_t kRestartAfterClockSyncMs = 500;  // STARTDT act after C_CS_NA_1

struct SessionConfig {
  uint16_t commonAddress = 1;
  IecReadMode mode = IecReadMode::GroupPoll;
  uint8_t group = 0;  // 0 station, 1..16
  uint32_t pollPeriodMs = 500;
  TimeBase timeBase = TimeBase::Local;
  // Start addresses of the runs of consecutive object addresses read in turn (read mode).
  std::vector<uint32_t> readAddresses;
};

// A completed value image and what the window shows with it. Immutable once made.
struct DataSetSnapshot {
  std::vector<uint8_t> image;  // two octets per description entry, high first
  ConverterTime converterTime;
  uint8_t lastType = 0;
  uint8_t lastMonitorType = 0;
  uint8_t lastCause = 0;
  std::vector<bool> awaited;            // the entries this cycle waited for (the others keep their values)
  std::optional<WallTime> requestTime;  // when the request that brought it was sent
  uint64_t sequence = 0;                // 1, 2, ... per connection
};

struct SessionEvent {
  enum class Kind : uint8_t {
    DataSet,  // `dataSet` completed
    Message,  // a message box with `text`, caption "Ошибка"
    Ended,    // the connection is over; `result` is the LinkResult the run reports
  };
  Kind kind = Kind::DataSet;
  std::shared_ptr<const DataSetSnapshot> dataSet;
  std::string text;
  LinkResult result = LinkResult::kGood;
};

class Iec104Session {
 public:
  Iec104Session(SessionConfig config, AsduDecoder decoder, Clock& clock);

  // The connection is up: data transfer is asked for (STARTDT act).
  void Start();
  // Octets received, any segmentation. Whole APDUs are handled; a partial one waits.
  void Feed(std::span<const uint8_t> bytes);
  // Lets time pass: due commands, the acknowledgement delay, silence and stop limits.
  void Step();
  // The station closed the connection (a receive of 0).
  void PeerClosed();
  // The socket failed (a readiness wait or a receive reported an error).
  void ConnectionLost();
  // Orderly end: STOPDT act, then the end on STOPDT con or after kStopConfirmWaitMs.
  void RequestStop();
  // Sends C_CS_NA_1 at the start of the next second once data transfer runs; data transfer
  // is then started again.
  void RequestClockSync();

  // The earliest monotonic time at which Step has work; none when only input matters.
  std::optional<uint64_t> NextDeadlineMs() const;
  std::vector<std::vector<uint8_t>> TakeOutgoing();
  std::vector<SessionEvent> TakeEvents();

  bool Ended() const { return ended_; }
  LinkResult EndResult() const { return endResult_; }
  // Clock synchronisations the station has confirmed (positive activation confirmation).
  uint32_t ClockSyncsConfirmed() const { return clockSyncsConfirmed_; }
  bool Started() const { return started_; }
  bool Stopping() const { return stopping_; }
  uint16_t SendSequence() const { return vs_; }
  uint16_t ReceiveSequence() const { return vr_; }
  void SetFrameTap(FrameTap* tap) { tap_ = tap; }

 private:
  void HandleApdu(std::span<const uint8_t> apdu);
  void HandleU(std::span<const uint8_t> apdu);
  void HandleI(std::span<const uint8_t> apdu);
  void AfterBatch();
  void Reject(uint8_t type, uint8_t cause);
  void AcknowledgeIfDue(bool windowFull);
  void SendIFormat(const std::vector<uint8_t>& asdu);
  void Queue(std::vector<uint8_t> apdu);
  void SendInterrogation();
  void SendRead();
  bool TrySendClockSync(uint64_t now);
  void CompleteDataSet();
  void End(LinkResult result);
  void NoteAwaited();
  uint16_t Unacknowledged() const;

  SessionConfig config_;
  AsduDecoder decoder_;
  Clock& clock_;
  FrameTap* tap_ = nullptr;
  ApduStream stream_;

  uint16_t vs_ = 0;         // V(S), doubled
  uint16_t vr_ = 0;         // V(R), doubled
  uint16_t lastAcked_ = 0;  // V(R) at the last S-format sent, doubled
  std::optional<uint64_t> unackedSinceMs_;
  bool startPending_ = false;
  bool started_ = false;
  bool stopping_ = false;
  bool ended_ = false;
  LinkResult endResult_ = LinkResult::kGood;
  uint64_t lastActivityMs_ = 0;  // last octet received or command sent
  std::optional<uint64_t> stopDeadlineMs_;
  std::optional<uint64_t> interrogationDueMs_;
  bool readWanted_ = false;
  uint64_t readAllowedMs_ = 0;
  size_t readCursor_ = 0;
  bool clockSyncWanted_ = false;
  uint32_t clockSyncsConfirmed_ = 0;
  std::optional<uint64_t> clockSyncDueMs_;
  std::optional<uint64_t> restartDueMs_;
  std::optional<WallTime> requestTime_;
  std::vector<bool> awaited_;  // marks preset at the start of the cycle
  uint64_t dataSets_ = 0;

  std::vector<std::vector<uint8_t>> outgoing_;
  std::vector<SessionEvent> events_;
};

}  // namespace tessvar::iec104

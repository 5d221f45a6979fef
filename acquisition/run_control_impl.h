#pragma once
// The inside of CRunControl, shared by the files that implement its parts: start and stop,
// the poll tick, presentation into the window, recording.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/data_set.h"
#include "acquisition/energy_check.h"
#include "acquisition/poll_plan.h"
#include "acquisition/presentation.h"
#include "acquisition/recording.h"
#include "acquisition/rtc_check.h"
#include "acquisition/run_control.h"
#include "acquisition/run_view.h"
#include "acquisition/link_engine.h"
#include "link/exchange_observer.h"
#include "link/serial_line.h"
#include "link/tcp_link.h"
#include "model/catalogue.h"
#include "model/connection_settings.h"
#include "model/device_description.h"

namespace tessvar {

// Protocol codes a description names for itself.
inline constexpr uint8_t kProtocolCodeIec101 = 1;
// A description of this code is read as one fixed block: the poll never moves on.
inline constexpr uint8_t kProtocolCodeFixedBlock = 2;

struct CRunControl::Impl {
  explicit Impl(RunContext context);

  RunContext ctx;
  RunState state;

  // The window's transports, lent to the engine of the run.
  CSerialLine serial;
  CTcpLink tcp;
  EngineContext engineContext;
  // The engine of the protocol last chosen; made again when the protocol changes.
  std::unique_ptr<LinkEngine> engine;
  std::optional<ProtocolKind> engineProtocol;

  std::vector<PollEntry> entries;
  RequestBlock block;  // the request sent last
  std::vector<uint8_t> accumulation;
  std::vector<uint8_t> reply;
  RawValues raw;
  CounterTexts counterCodes{"0", "0", "0", "0"};  // the DC counters' codes, any display mode
  KiloFlags kilo1, kilo2;
  std::array<PresentedText, kPresentedCount> shown;
  std::string computerTimeText;
  bool inTick = false;
  uint64_t dataSets = 0;
  std::function<void()> dataSetListener;
  ExchangeObserver* observer = nullptr;

  // Recording.
  RecordingFile file;
  std::string recordPath;
  bool newFileNeeded = false;
  bool recordingAllowed = false;  // cleared for the rest of a run after a file failure
  int fileDay = 0;
  std::optional<uint64_t> deadlineMs;  // monotonic end of the recording time

  // --- run_control.cpp
  void OnStart();
  void OnStop();
  void OnTimer(int id);
  void OnReconnectTimer();
  ProtocolKind Protocol() const;
  // The engine of the protocol the window shows now; nullptr when this build has none.
  LinkEngine* Engine();
  void CloseLink(LinkClose how);
  bool OpenAndConnect(LinkEngine& link, bool userStart);
  void AwaitSerialDevice(std::string_view failureText);
  // --- run_link_retry.cpp
  void RetryLinkStart(std::string_view failureText);
  // Keeps the run waiting after a failed restart: status and failure said, counted once,
  // and the start tried again when the reconnection timer fires after periodMs.
  void AwaitRestart(std::string_view statusText, std::string_view failureText, uint32_t periodMs);
  void LockRunControls();
  void BuildEntries();
  void RebuildMarks();
  void LockControls();
  void UnlockControls();
  void ArmPollTimer();
  std::optional<uint16_t> ListedTcpPort() const;
  std::string ConnectingText(const LinkTarget& target) const;
  // The status line shows `text` once a wait has gone on for `afterMs` (until disarmed).
  void ArmLongWaitStatus(uint32_t afterMs, std::string_view text);
  void DisarmLongWaitStatus();
  // Keeps the failure's text and time where the user can read them later.
  void NoteFailure(std::string_view text);

  // --- clock_sync.cpp
  void OnClockSync();
  // --- delay_acquisition.cpp
  void OnDelayAcquisition();
  std::optional<uint16_t> lastDelayMs;  // of the last acquisition; nothing when it failed
  // --- rtc_check.cpp
  ServiceOutcome OnRtcCheck(std::string_view testCode);

  // --- poll_tick.cpp
  void PollTick();
  void FailAndRestart(LinkResult result);
  void AfterDataSet(std::span<const uint8_t> dataSet, bool iecImage);
  WallTime Now() const;

  // --- run_presentation.cpp
  void RefreshValues();
  void OnDisplayMode();
  void SetStatus(std::string_view text);
  void ShowFailureCount();

  // --- run_recording.cpp
  void ChooseRecordFile();
  bool StartRecordPeriod(bool userStart);
  void OnRecordTimerTick();
  void OpenRecordFile();
  void WriteRecordLine();
  std::vector<RecordColumn> Columns() const;
  void RecordFailure(std::string_view text);
};

}  // namespace tessvar

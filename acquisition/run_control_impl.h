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
#include "link/modbus_master.h"
#include "link/tcp_link.h"
#include "model/catalogue.h"
#include "model/connection_settings.h"
#include "model/device_description.h"

namespace tessvar {

struct CRunControl::Impl {
  explicit Impl(RunContext context);

  RunContext ctx;
  RunState state;

  CModbusMaster master;
  CTcpLink tcp;

  std::vector<PollEntry> entries;
  RequestBlock block;  // the request sent last
  std::vector<uint8_t> accumulation;
  std::vector<uint8_t> reply;
  RawValues raw;
  CounterTexts counterCodes{"0", "0", "0", "0"};  // the DC counters' codes, any display mode
  KiloFlags kilo1, kilo2;
  std::array<PresentedText, kPresentedCount> shown;
  uint8_t lastAsduType = 0;
  uint8_t lastCause = 5;
  std::string computerTimeText;
  bool inTick = false;
  uint64_t dataSets = 0;
  std::function<void()> dataSetListener;

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
  bool SerialProtocol(ProtocolKind p) const;
  void BuildEntries();
  void RebuildMarks();
  void LockControls();
  void UnlockControls();
  void ArmPollTimer();
  void SendRequest(ProtocolKind p);
  uint16_t TcpPort() const;
  std::string OpenFailureText() const;

  // --- clock_sync.cpp
  void OnClockSync();
  // --- rtc_check.cpp
  ServiceOutcome OnRtcCheck(std::string_view testCode);

  // --- poll_tick.cpp
  void PollTick();
  void FailAndRestart(uint8_t result);
  void AfterDataSet(std::span<const uint8_t> dataSet);
  WallTime Now() const;

  // --- run_presentation.cpp
  void RefreshValues();
  void OnDisplayMode();
  void SetField(int id, const std::string& text);
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

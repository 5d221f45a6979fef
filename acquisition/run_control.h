#pragma once
// Start, stop and the poll tick of an acquisition run of the main window. The window owns
// the data this works on and hands it over as a RunContext of references and callbacks;
// CRunControl owns the run state, the link engines and the recording file.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tessvar {

class RunView;
class WindowHost;
class Clock;
class SerialPort;
class TcpSocket;
class LinkEngine;
class ExchangeObserver;
struct EngineContext;
enum class ProtocolKind : int;
struct ConnectionSettings;
struct DeviceDescription;
class MeasurementCatalogue;
struct AvailabilityMarks;
struct ServiceOutcome;
struct ConverterTime;

// Window timers of a run (ids passed to WindowHost::SetTimer with the main window).
inline constexpr int kPollTimer = 1;
inline constexpr int kRecordTimer = 2;
inline constexpr int kReconnectTimer = 7;

// The run fields of the main window.
struct RunState {
  bool m_running = false;
  bool m_linkTrouble = false;  // the status line is drawn red while set
  int m_failureCount = 0;
  bool m_presenceBuilt = false;
  bool m_softRestart = false;  // the next start keeps the link initialised
  // The values shown did not come with the last exchange (it failed): they are drawn as
  // stale until a data set arrives again. The recording is not affected.
  bool m_valuesStale = false;
  // The last failure's text and the time it happened ("12:34:56"), kept after the status
  // line has moved on.
  std::string m_lastFailure;
  std::string m_lastFailureTime;
};

// What the main window lends to the run control. Every reference outlives the CRunControl.
struct RunContext {
  RunView& view;
  WindowHost& host;
  Clock& clock;
  ConnectionSettings& settings;
  DeviceDescription& description;
  AvailabilityMarks& marks;
  const MeasurementCatalogue& catalogue;

  // Data exchange: controls -> members (false when a field was refused), members -> controls.
  std::function<bool()> collect;
  std::function<void()> show;
  std::function<void()> applyProtocolState;

  // Members of the data exchange the run reads and writes.
  uint32_t& pollPeriodMs;
  bool& save;                  // "Сохранить"
  bool& limitTime;             // "Время записи"
  std::string& recordingTime;

  // Link seams; tests hand in peers, the programs the real ports.
  std::function<std::unique_ptr<SerialPort>()> makeSerialPort;
  std::function<std::unique_ptr<TcpSocket>()> makeTcpSocket;
  // The engine of a protocol; MakeLinkEngine when empty (tests hand in engines of their own).
  std::function<std::unique_ptr<LinkEngine>(ProtocolKind, const EngineContext&)> makeEngine;
  // Why the serial port named by a port text will not open (a sentence naming the path and
  // the reason), empty when it cannot tell; asked when "Старт" cannot open the port.
  std::function<std::string(std::string_view portText)> serialPortProblem;
};

class CRunControl {
 public:
  explicit CRunControl(RunContext context);
  ~CRunControl();
  CRunControl(const CRunControl&) = delete;
  CRunControl& operator=(const CRunControl&) = delete;

  void OnStart();             // "Старт"
  void OnStop();              // "Стоп", close box
  void OnTimer(int timerId);  // every timer of the main window
  void OnDestroy();
  void OnResetFailures();     // "RST"
  void OnDisplayMode();       // the display-mode toggle
  void OnClockSync();         // "Синхронизация RTC"
  void OnDelayAcquisition();  // "Определение запаздывания"
  // The delay the last acquisition measured; nothing when it failed or none was made.
  std::optional<uint16_t> LastDelayMs() const;
  // Clock writes the engine of the run has seen confirmed (МЭК-104, whose thread writes later).
  uint32_t ClockSyncsConfirmed() const;
  ServiceOutcome OnRtcCheck(std::string_view testCode);  // "Проверка RTC"
  void RefreshValues();       // after a description load and at start-up
  // What the energy check reads after each data set: the codes of Wdc1, Qdc1, Wdc2, Qdc2
  // as decimal texts, and the transducer's time.
  std::array<std::string, 4> CounterCodes() const;
  ConverterTime DeviceTime() const;

  const RunState& State() const;
  // Called after every data set that was decoded and presented (the command-line front end
  // prints one line per call).
  void SetDataSetListener(std::function<void()> listener);
  uint64_t DataSetsPresented() const;
  // A traffic observer hears every frame, each start and each exchange's result (null: none).
  // It must outlive the run control.
  void SetExchangeObserver(ExchangeObserver* observer);
  // The file being recorded into, empty when none is open.
  std::string RecordFilePath() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace tessvar

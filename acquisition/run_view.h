#pragma once
// What a run shows in its window and which of the window's controls it locks. The run
// decides what is shown and when; the window decides where (only it knows its controls).
// Every call is made on the window thread.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tessvar {

// Text read-outs of a run besides the status line and the quantities.
enum class RunText : uint8_t {
  kFailureCount,
  kConverterTime,
  kComputerTime,
  kAsduField,
  kRemainingTime,
  kDelayField,  // the measured link delay, milliseconds
};

class RunView {
 public:
  virtual ~RunView() = default;

  // What the user chose: the protocol list's selection, the address box and the selected
  // entry of the port list; nothing when the window has no such control (or the list is
  // empty).
  virtual std::optional<int> ProtocolSelection() const = 0;
  virtual std::optional<uint32_t> Ipv4Address() const = 0;
  virtual std::optional<std::string> ListedPortText() const = 0;

  virtual void ShowStatus(std::string_view text) = 0;
  virtual std::string StatusText() const = 0;
  // The failure counter stands in the window once there is something to count.
  virtual void ShowFailureCounter(bool visible) = 0;
  // The last failure with its time, readable after the status line has moved on.
  virtual void ShowLastFailure(const std::string& text) = 0;
  // A read-out keeps its text also for the window's later data exchange.
  virtual void ShowText(RunText which, const std::string& text) = 0;
  // Caption and value of the quantity of a catalogue slot.
  virtual void ShowQuantity(int slot, const std::string& caption, const std::string& value) = 0;
  // The caption of the display-mode toggle.
  virtual void ShowDisplayMode(std::string_view caption) = 0;
  // The save box is cleared when the user declined to choose a record file.
  virtual void ClearSaveCheck() = 0;

  // "Старт" is offered while stopped, "Стоп" while running.
  virtual void ShowRunning(bool running) = 0;
  virtual void LockProtocol(bool locked) = 0;
  // The device, its address and the way it is read.
  virtual void LockDevice(bool locked) = 0;
  // Poll period, recording time, its limit and the save box; unlocking makes the
  // recording time editable only when `recordingTimeEditable`.
  virtual void LockRunSettings(bool locked, bool recordingTimeEditable) = 0;
  // The nominal currents and voltages of both channels.
  virtual void LockNominals(bool locked) = 0;

  // Window timers of the run (kPollTimer, kRecordTimer, kReconnectTimer) and a repaint.
  virtual void SetTimer(int id, uint32_t periodMs) = 0;
  virtual void KillTimer(int id) = 0;
  virtual void Repaint() = 0;

  // Waits of the window thread: "Стоп" ends them at once; a wait that outlasts `afterMs`
  // runs `notice` once (the run says what it is waiting for).
  virtual void SetStopEndsWaits() = 0;
  virtual void ArmLongWaitNotice(uint64_t nowMs, uint32_t afterMs, std::function<void()> notice) = 0;
  virtual void DisarmLongWaitNotice() = 0;
};

}  // namespace tessvar

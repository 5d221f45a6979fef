#pragma once
// Check_W_C: the modeless window of the energy and charge check (template 142). Its three
// timers drive the check: a start delay of one second, a sample every 100 ms that reads the
// main window's counter codes and transducer time, and a one-second countdown on the
// computer's clock that only informs. Closing the window stops its timers; the run of the
// main window goes on either way.
#include <cstdint>
#include <functional>
#include <optional>

#include "acquisition/energy_check.h"
#include "ui/dialog.h"

namespace tessvar {

class WindowHost;
class Clock;

// Window timers of the check window (ids passed with the check window).
inline constexpr int kCheckSampleTimer = 1;
inline constexpr int kCheckStartTimer = 2;
inline constexpr int kCheckCountdownTimer = 3;

class Check_W_C {
 public:
  // What the check reads from the main window at each sample.
  struct Source {
    std::function<CounterTexts()> codes;
    std::function<std::optional<ConverterTime>()> deviceTime;
    std::function<uint32_t()> pollPeriodMs;
  };
  static constexpr uint32_t kStartDelayMs = 1000;
  static constexpr uint32_t kSamplePeriodMs = 100;
  static constexpr uint32_t kCountdownPeriodMs = 1000;

  Check_W_C(WindowHost& host, Clock& clock, Source source);
  ~Check_W_C();
  Check_W_C(const Check_W_C&) = delete;
  Check_W_C& operator=(const Check_W_C&) = delete;

  Dialog& GetDialog() { return dialog_; }
  bool OnInitDialog();
  void OnTimer(int id);
  // Closed by its close box, Enter or Escape: the timers stop, the window ends.
  bool Closed() const { return closed_; }
  const EnergyCheckTracker& Tracker() const { return tracker_; }
  // Called once the check has finished, after the completion box.
  std::function<void()> onFinished;

 private:
  void OnSampleTick();
  void OnCountdownTick();
  void ShowTexts();
  void SetIfChanged(int id, const std::string& text);
  void Finish();
  void Close();

  WindowHost& host_;
  Clock& clock_;
  Source source_;
  Dialog dialog_;
  EnergyCheckTracker tracker_;
  CountdownEnd countdownEnd_;
  bool closed_ = false;
};

}  // namespace tessvar

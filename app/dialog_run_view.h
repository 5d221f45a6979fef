#pragma once
// The run's view over the main window's dialog model: the one place that maps what a run
// shows and locks to the window's controls.
#include <functional>
#include <string>

#include "acquisition/run_view.h"

namespace tessvar {

class Dialog;
class WindowHost;

class DialogRunView : public RunView {
 public:
  // `textMember` gives the exchange member bound to a text control (nullptr when the control
  // is not exchanged): a read-out is written to both, so a later data exchange keeps it.
  DialogRunView(Dialog& dialog, WindowHost& host,
                std::function<std::string*(int controlId)> textMember);

  std::optional<int> ProtocolSelection() const override;
  std::optional<uint32_t> Ipv4Address() const override;
  std::optional<std::string> ListedPortText() const override;

  void ShowStatus(std::string_view text) override;
  std::string StatusText() const override;
  void ShowFailureCounter(bool visible) override;
  void ShowLastFailure(const std::string& text) override;
  void ShowText(RunText which, const std::string& text) override;
  void ShowQuantity(int slot, const std::string& caption, const std::string& value) override;
  void ShowDisplayMode(std::string_view caption) override;
  void ClearSaveCheck() override;

  void ShowRunning(bool running) override;
  void LockProtocol(bool locked) override;
  void LockDevice(bool locked) override;
  void LockRunSettings(bool locked, bool recordingTimeEditable) override;
  void LockNominals(bool locked) override;

  void SetTimer(int id, uint32_t periodMs) override;
  void KillTimer(int id) override;
  void Repaint() override;

  void SetStopEndsWaits() override;
  void ArmLongWaitNotice(uint64_t nowMs, uint32_t afterMs, std::function<void()> notice) override;
  void DisarmLongWaitNotice() override;

 private:
  void SetField(int id, const std::string& text);

  Dialog& dialog_;
  WindowHost& host_;
  std::function<std::string*(int)> textMember_;
};

}  // namespace tessvar

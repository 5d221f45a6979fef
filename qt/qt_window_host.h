#pragma once
// The window operations of the behaviour code on Qt: message boxes, file dialogs, window
// timers, modeless pages and running closures on the window thread. The host owns one
// DialogView per Dialog it shows.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "qt/dialog_view.h"
#include "ui/timer_schedule.h"
#include "ui/wait_gate.h"
#include "ui/window_host.h"

class QFileDialog;

namespace tessvar::qt {

class QtWindowHost : public WindowHost {
 public:
  QtWindowHost();
  ~QtWindowHost() override;

  // Builds and keeps the view of a top-level dialog (the main window); not shown yet.
  DialogView& AttachMain(Dialog& d);
  DialogView* ViewOf(const Dialog& d) const;
  // Runs `d` as a modal window over `owner` (or alone) until it ends itself.
  void RunModal(Dialog& d, Dialog* owner);
  // Drops the view and the timers of a dialog that goes away without ending.
  void ForgetDialog(const Dialog& d);
  // Detaches every view and kills every timer: the dialogs are about to be destroyed.
  void DetachAll();
  // The next open-file dialog is answered with `path` without asking (the description
  // named on the command line).
  void PresetOpenAnswer(std::string path) { presetOpen_ = std::move(path); }
  // The folder the first file dialog opens in; later ones open where the last one ended.
  void SetStartFolder(const QString& folder) { lastFolder_ = folder; }
  const QString& LastFolder() const { return lastFolder_; }
  // A window-menu item (context menu; F1 runs the first) of every dialog with a system
  // menu. The same command again renames its item.
  void SetMenuCommand(const QString& text, int command);

  // WindowHost
  void MessageBox(std::string_view text, std::string_view caption, MessageIcon icon) override;
  bool AskYesNo(std::string_view text, std::string_view caption) override;
  std::optional<std::string> OpenFileDialog(const FileFilter& filter) override;
  std::optional<std::string> SaveFileDialog(const FileFilter& filter,
                                            std::string_view defaultExtension) override;
  void SetTimer(Dialog& owner, int id, uint32_t periodMs) override;
  void KillTimer(Dialog& owner, int id) override;
  void ShowModeless(Dialog& page, Dialog& owner) override;
  ScreenRect WindowRect(Dialog& d) override;
  void MoveWindow(Dialog& d, int left, int top) override;
  void Repaint(Dialog& d, bool erase) override;
  void Post(std::function<void()> fn) override;

  // A blocking wait of the window thread is running (see QtClock): window timers are
  // dropped and posted closures wait for its end, so no handler runs inside another one's
  // wait. Posted closures also wait for a running window tick (a worker's synchronous
  // tick must not enter a tick showing a message box).
  void EnterWait() { ++waitDepth_; }
  void LeaveWait();
  class WaitScope {
   public:
    explicit WaitScope(QtWindowHost& h) : h_(h) { h_.EnterWait(); }
    ~WaitScope() { h_.LeaveWait(); }
    WaitScope(const WaitScope&) = delete;
    WaitScope& operator=(const WaitScope&) = delete;

   private:
    QtWindowHost& h_;
  };
  bool Waiting() const { return waitDepth_ > 0; }
  // Keeps the user's actions that arrive during a wait for after the handler.
  WaitGate& Gate() { return gate_; }
  bool HasTimer(const Dialog& owner, int id) const;
  // Ticks a timer could not deliver because a tick or a wait was running.
  int SkippedTicks() const { return skippedTicks_; }

 private:
  struct TimerDeleter {
    void operator()(QTimer* t) const;
  };
  using Key = std::pair<const Dialog*, int>;
  // A window timer: a precise single-shot QTimer aimed at the next due time, so that the
  // ticks keep their phase (see ui/timer_schedule.h) instead of drifting by the time each
  // tick takes.
  struct WindowTimer {
    std::unique_ptr<QTimer, TimerDeleter> shot;
    uint32_t period = 0;
    uint64_t due = 0;      // ms of the host's monotonic clock
    bool pending = false;  // came due while the window was busy: delivered once it is not
  };

  DialogView& Attach(Dialog& d, DialogView* owner);
  void Tick(Dialog* owner, int id);
  uint64_t NowMs() const { return static_cast<uint64_t>(monotonic_.elapsed()); }
  void Aim(WindowTimer& t);
  // Delivers the ticks that came due while a wait or another tick was running.
  void ResumeTimers();
  void RunPosted();
  // Asks for the closures that waited for a wait or a tick to end.
  void ResumePosted();
  QWidget* ActiveParent() const;
  // Runs a file dialog from the last folder and remembers where it ended.
  std::optional<std::string> RunFileDialog(QFileDialog& dialog);

  QObject context_;
  WaitGate gate_;
  std::map<const Dialog*, QPointer<DialogView>> views_;
  std::map<Key, WindowTimer> timers_;
  std::optional<std::pair<Key, RunningTick>> runningTick_;
  QElapsedTimer monotonic_;
  std::set<const Dialog*> ticking_;
  int waitDepth_ = 0;
  int skippedTicks_ = 0;
  std::optional<std::string> presetOpen_;
  QString lastFolder_;
  std::vector<std::pair<QString, int>> menu_;  // text, command
  std::mutex postedMutex_;
  std::deque<std::function<void()>> posted_;
  bool drainQueued_ = false;  // guarded by postedMutex_
};

}  // namespace tessvar::qt

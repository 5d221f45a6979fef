#pragma once
// The window operations of the behaviour code on Win32: message boxes, the common file
// dialogs, window timers by (dialog, id), modeless pages, modal runs and closures run on
// the window thread. The host owns one DialogWindow per Dialog it shows.
#include "win32/windows_api.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "ui/window_host.h"
#include "win32/dialog_window.h"

namespace tessvar::win32 {

class Win32WindowHost : public WindowHost {
 public:
  Win32WindowHost();
  ~Win32WindowHost() override;
  Win32WindowHost(const Win32WindowHost&) = delete;
  Win32WindowHost& operator=(const Win32WindowHost&) = delete;

  DialogWindow* ViewOf(const Dialog& d) const;
  // Runs `d` as a modal window over `owner` (or alone) until it ends itself.
  void RunModal(Dialog& d, Dialog* owner);
  // Detaches every window and kills every timer: the dialogs are about to be destroyed.
  void DetachAll();
  // The next open-file dialog is answered with `path` without asking.
  void PresetOpenAnswer(std::string path) { presetOpen_ = std::move(path); }
  void SetMenuCommand(const std::string& text, int command);
  bool OnWindowThread() const { return GetCurrentThreadId() == thread_; }

  // WindowHost
  void MessageBox(std::string_view text, std::string_view caption, MessageIcon icon) override;
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

  // A blocking wait of the window thread is running (see Win32Clock): window timers are
  // dropped and posted closures wait for its end, so no handler runs inside another one's
  // wait.
  void EnterWait() { ++waitDepth_; }
  void LeaveWait();
  bool Waiting() const { return waitDepth_ > 0; }
  // One message of a message loop: keys the Dialog handles, then dialog navigation.
  void Dispatch(MSG& msg);

 private:
  using Key = std::pair<Dialog*, int>;
  static LRESULT CALLBACK MessageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  DialogWindow& Attach(Dialog& d, Dialog* owner);
  void Forget(const Dialog* d);
  void KillTimersOf(const Dialog* d);
  void Tick(UINT_PTR timer);
  void RunPosted();
  HWND ActiveParent() const;
  DialogWindow* WindowOf(HWND hwnd) const;

  DWORD thread_;
  HWND messages_ = nullptr;  // message-only window: timers and posted closures
  std::map<const Dialog*, std::unique_ptr<DialogWindow>> views_;
  std::map<Key, UINT_PTR> timers_;
  std::map<UINT_PTR, Key> timerKeys_;
  UINT_PTR nextTimer_ = 1;
  std::set<Dialog*> ticking_;
  int waitDepth_ = 0;
  std::optional<std::string> presetOpen_;
  std::string menuText_;
  int menuCommand_ = -1;
  std::mutex postedMutex_;
  std::deque<std::function<void()>> posted_;
  bool drainQueued_ = false;  // guarded by postedMutex_
};

}  // namespace tessvar::win32

#pragma once
// A generic native window over one Dialog: one Win32 control per template control, placed
// in dialog units by the dialog manager, the live control state mirrored into the controls
// and every notification handed back to the Dialog. No behaviour lives here.
#include "win32/windows_api.h"

#include <functional>
#include <map>
#include <string>

#include "ui/dialog.h"

namespace tessvar::win32 {

class DialogWindow : public DialogObserver {
 public:
  // Creates the (hidden) window; `owner` keeps it above its owner's window.
  DialogWindow(Dialog& dialog, HWND owner);
  ~DialogWindow() override;
  DialogWindow(const DialogWindow&) = delete;
  DialogWindow& operator=(const DialogWindow&) = delete;

  HWND Handle() const { return hwnd_; }
  Dialog* Model() const { return dialog_; }
  HWND Control(int id) const;
  int IdOf(HWND control) const;
  // The window-menu item that sends `command` to the Dialog (also F1).
  void SetMenuCommand(const std::string& text, int command);
  // Stops mirroring and forwarding for good and hides the window.
  void Detach();
  // Enter, Escape and F1 as the Dialog understands them; true when the key was taken.
  bool HandleKey(const MSG& msg);
  std::function<void()> onEnded;

  // DialogObserver
  void ControlChanged(int id) override;
  void DialogChanged() override;
  void DialogEnded() override;

 private:
  static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp);
  void Build();
  HWND Create(const ControlTemplate& c);
  void Mirror(int id);
  void MirrorItems(HWND box, const ControlState& s);
  void OnCommand(int id, int code, HWND control);
  bool OnNotify(const NMHDR& header, LRESULT& result);
  INT_PTR OnColor(HDC dc, HWND control);
  void Paint();
  void Step(int spinId, int delta);
  int BuddyOf(int spinId) const;
  HBRUSH Brush(const Rgb& c);

  Dialog* dialog_;
  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  std::map<int, HWND> controls_;
  std::map<uint32_t, HBRUSH> brushes_;
  int menuCommand_ = -1;
  bool mirroring_ = false;  // our own changes to a control are not user input
};

}  // namespace tessvar::win32

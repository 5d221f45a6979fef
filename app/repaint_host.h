#pragma once
// A window host that passes everything on to another one and runs a hook before a repaint
// of the main window, so that code which only knows the host still gets the window's
// colours recomputed when it asks for a repaint.
#include <functional>

#include "ui/window_host.h"

namespace tessvar {

class RepaintHost : public WindowHost {
 public:
  explicit RepaintHost(WindowHost& inner) : inner_(inner) {}
  void SetBeforeRepaint(std::function<void(Dialog&)> hook) { before_ = std::move(hook); }

  void MessageBox(std::string_view text, std::string_view caption, MessageIcon icon) override {
    inner_.MessageBox(text, caption, icon);
  }
  bool AskYesNo(std::string_view text, std::string_view caption) override {
    return inner_.AskYesNo(text, caption);
  }
  std::optional<std::string> OpenFileDialog(const FileFilter& filter) override {
    return inner_.OpenFileDialog(filter);
  }
  std::optional<std::string> SaveFileDialog(const FileFilter& filter,
                                            std::string_view ext) override {
    return inner_.SaveFileDialog(filter, ext);
  }
  void SetTimer(Dialog& owner, int id, uint32_t periodMs) override {
    inner_.SetTimer(owner, id, periodMs);
  }
  void KillTimer(Dialog& owner, int id) override { inner_.KillTimer(owner, id); }
  void ShowModeless(Dialog& page, Dialog& owner) override { inner_.ShowModeless(page, owner); }
  ScreenRect WindowRect(Dialog& d) override { return inner_.WindowRect(d); }
  void MoveWindow(Dialog& d, int left, int top) override { inner_.MoveWindow(d, left, top); }
  void Repaint(Dialog& d, bool erase) override {
    if (before_) before_(d);
    inner_.Repaint(d, erase);
  }
  void Post(std::function<void()> fn) override { inner_.Post(std::move(fn)); }

 private:
  WindowHost& inner_;
  std::function<void(Dialog&)> before_;
};

}  // namespace tessvar

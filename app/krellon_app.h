#pragma once
// The application: runs one main window to its end.
#include <functional>

#include "app/krellon_dlg.h"

namespace tessvar {

class CKrellonApp {
 public:
  // `runModal` is the program's loop for the window: it returns when the window has ended
  // (or the program is told to quit).
  using ModalLoop = std::function<void(CKrellonDlg&)>;

  CKrellonApp(WindowHost& host, Clock& clock, SettingsStore& store, KrellonSeams seams)
      : host_(host), clock_(clock), store_(store), seams_(std::move(seams)) {}

  // Creates the main window, initialises it, runs it, and destroys it; a run still active
  // when the loop returns is stopped before the window goes. Returns false: the
  // application ends with its window.
  bool InitInstance(const ModalLoop& runModal);

 private:
  WindowHost& host_;
  Clock& clock_;
  SettingsStore& store_;
  KrellonSeams seams_;
};

}  // namespace tessvar

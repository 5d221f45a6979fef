#include "platform/posix/stop_signals.h"

#include <windows.h>

namespace tessvar {
namespace {

std::atomic<bool>* g_stopFlag = nullptr;

// Ctrl-C, Ctrl-Break and closing the console ask the loop to end instead of killing it.
BOOL WINAPI OnConsoleEvent(DWORD) {
  if (g_stopFlag == nullptr) return FALSE;
  g_stopFlag->store(true);
  return TRUE;
}

}  // namespace

void InstallStopSignals(std::atomic<bool>* stopFlag) {
  g_stopFlag = stopFlag;
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

}  // namespace tessvar

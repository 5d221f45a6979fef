#include "platform/posix/stop_signals.h"

#include <csignal>

namespace tessvar {
namespace {

std::atomic<bool>* g_stop = nullptr;

extern "C" void OnStopSignal(int) {
  if (g_stop) g_stop->store(true);
}

}  // namespace

void InstallStopSignals(std::atomic<bool>* stopFlag) {
  g_stop = stopFlag;
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no SA_RESTART: the wait returns and the loop sees the flag
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, nullptr);
}

}  // namespace tessvar

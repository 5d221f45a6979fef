#pragma once
// SIGINT and SIGTERM set a flag instead of killing the process, so a server loop can end
// cleanly (summary printed, symlink removed). SIGPIPE is ignored: a vanished peer shows up
// as a failed write.
#include <atomic>

namespace tessvar {

void InstallStopSignals(std::atomic<bool>* stopFlag);

}  // namespace tessvar

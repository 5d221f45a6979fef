#pragma once
// The simulator's pseudo-terminal: a pair whose slave side a master opens as its serial
// port, optionally reachable through a symlink.
#include <memory>
#include <string>

#include "platform/posix/stream_endpoint.h"

namespace tessvar {

class PseudoTerminal {
 public:
  // Opens a pair in raw mode. With a non-empty `linkPath`, a symlink to the slave is made
  // there (an existing symlink is replaced; any other file there is left alone and is an
  // error). Returns nullptr and an error text on failure.
  static std::unique_ptr<PseudoTerminal> Open(const std::string& linkPath, std::string& error);
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // The side the simulator reads and writes.
  StreamEndpoint& Master() { return master_; }
  // The name a master opens, e.g. /dev/pts/7.
  const std::string& SlaveName() const { return slaveName_; }
  const std::string& LinkPath() const { return linkPath_; }
  // The slave side held open here: its settings are the ones the master applied.
  int SlaveFd() const { return slaveKeepOpen_; }

 private:
  PseudoTerminal() = default;
  StreamEndpoint master_;
  int slaveKeepOpen_ = -1;  // held so the master side never sees a hang-up between clients
  std::string slaveName_;
  std::string linkPath_;
};

}  // namespace tessvar

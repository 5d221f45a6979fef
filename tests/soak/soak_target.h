#pragma once
// What a soak run drives: the main window (the real run logic, scripted host, virtual clock)
// with the in-process simulator of one protocol as its peer, and a way to make that peer
// misbehave for a while, in every way the simulator knows.
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>

#include "app/krellon_dlg.h"
#include "platform/virtual_clock.h"
#include "tests/support/scripted_host.h"

namespace tessvar::soak {

enum class SoakProtocol : uint8_t {
  Rtu,
  Ascii,
  Tcp,
  Iec101Group,
  Iec101Read102,
  Iec101LinkLevel,
  Iec104Group,
  Iec104Read102,
  Iec104Cyclic,
};

std::span<const SoakProtocol> AllProtocols();
std::string_view ProtocolName(SoakProtocol p);
std::optional<SoakProtocol> ProtocolFromName(std::string_view name);

class SoakTarget {
 public:
  virtual ~SoakTarget() = default;

  virtual VirtualClock& Clock() = 0;
  virtual test::ScriptedHost& Host() = 0;
  virtual CKrellonDlg& Window() = 0;

  // Makes the peer misbehave: a burst of one to several faulty answers of one or two kinds,
  // or (`disconnect`) no link at all until EndFault. Returns what was done, for the log.
  virtual std::string BeginFault(std::mt19937_64& rng, bool disconnect) = 0;
  // The faulty answers asked for have all gone out (never true for a disconnect).
  virtual bool FaultDone() const = 0;
  // The peer is well again.
  virtual void EndFault() = 0;
  // Faulty answers (or closed connections) the peer produced so far.
  virtual uint64_t FaultsApplied() const = 0;
  // Forgets what the test seams log for assertions (bytes written, ports opened), so the
  // heap the soak measures is the run's own.
  virtual void TrimTestLogs() = 0;
  // Longest a faulty answer can keep a pass waiting before the run notices (ms).
  virtual uint32_t DetectionMs() const = 0;
  // The fault under way is one the run must say in a message box (a refused read).
  virtual bool FaultIsToldInWords() const { return false; }
  // The fault under way only shows on a clock synchronisation, and none was asked for yet.
  virtual bool WantsClockSync() const { return false; }
};

// The window with the protocol's sample description loaded and its port chosen, not started.
std::unique_ptr<SoakTarget> MakeSoakTarget(SoakProtocol protocol);

}  // namespace tessvar::soak

#pragma once
// The main window on the virtual clock with the simulator as its peer: loads a sample the
// way a user does (the "Файл" tab, the open dialog), then drives it by control id.
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/krellon_dlg.h"
#include "platform/settings_store.h"
#include "tests/acquisition/sim_peer.h"
#include "tests/support/scripted_host.h"

namespace tessvar::test {

class NullStore : public SettingsStore {
 public:
  std::unique_ptr<SettingsKey> OpenOrCreateKey(std::string_view) override { return nullptr; }
};

inline std::string SamplePath(const std::string& name) {
  const char* src = std::getenv("TESSVAR_SOURCE_DIR");
  return (std::filesystem::path(src ? src : ".") / "samples" / name).string();
}

// The main window made, initialised and given the description file as a user does.
std::unique_ptr<CKrellonDlg> OpenWithDescription(ScriptedHost& host, VirtualClock& clock,
                                                 SettingsStore& store, KrellonSeams seams,
                                                 const std::string& path);

// The IEC read mode chosen as a user does, with "Старт" focused (the description loaded).
void ChooseReadMode(CKrellonDlg& window, ScriptedHost& host, IecReadMode mode);

// The two clock entries the IEC samples lack, so that "Синхронизация RTC" has a clock to set.
void AddClockEntries(CKrellonDlg& window);

struct WindowRig {
  using EngineMaker = std::function<std::unique_ptr<LinkEngine>(ProtocolKind, const EngineContext&)>;
  explicit WindowRig(const std::string& sample, ModbusFraming framing,
                     std::map<uint16_t, uint16_t> pinned = {}, EngineMaker makeEngine = {});
  ~WindowRig();

  // Press a button as a user would.
  void Click(int id) { window->GetDialog().UserClick(id); }
  std::string Text(int id) const { return window->GetDialog().Text(id); }
  // Runs the window's timers for `ms` of virtual time.
  void Run(uint64_t ms) { host.RunFor(ms); }
  // Runs until `n` more data sets were presented (bounded by `limitMs`).
  bool RunDataSets(uint64_t n, uint64_t limitMs = 120000);
  const RunState& State() const { return window->Run(); }
  CRunControl& Run() { return window->RunControl(); }

  VirtualClock clock;
  ScriptedHost host{clock};
  NullStore store;
  DeviceDescription peerDescription;  // what the simulator serves (loaded separately)
  std::unique_ptr<SimPeer> peer;
  std::unique_ptr<CKrellonDlg> window;
};

}  // namespace tessvar::test

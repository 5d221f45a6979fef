#pragma once
// A main window on the scripted host, a virtual clock and a settings store in memory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "app/krellon_dlg.h"
#include "platform/memory_serial_port.h"
#include "tests/app/memory_settings_store.h"
#include "tests/support/scripted_host.h"

namespace tessvar::test {

class MainWindowTest : public ::testing::Test {
 protected:
  // Builds and initialises the window; tests may set ports/store first.
  CKrellonDlg& Open() {
    KrellonSeams seams;
    seams.enumerateSerialPorts = [this] { return ports; };
    seams.configureSerial = [this](std::string_view text) { configured.emplace_back(text); };
    seams.makeSerialPort = [this]() -> std::unique_ptr<SerialPort> {
      return std::make_unique<MemorySerialPort>(clock, line);
    };
    seams.makeTcpSocket = makeTcpSocket;
    seams.serialPortProblem = serialPortProblem;
    dlg = std::make_unique<CKrellonDlg>(host, clock, store, std::move(seams));
    dlg->OnInitDialog();
    return *dlg;
  }
  Dialog& D() { return dlg->GetDialog(); }
  void SelectProtocol(int index) { ASSERT_TRUE(D().UserSelect(idc::kProtocolList, index)); }
  // Types an address and leaves the box for the poll period field.
  void EnterAddress(std::string_view text) {
    D().UserFocus(idc::kDeviceAddress);
    ASSERT_TRUE(D().UserType(idc::kDeviceAddress, text));
    D().UserFocus(idc::kPollPeriod);
  }
  static std::string SamplePath(std::string_view name) {
    const char* dir = std::getenv("TESSVAR_SOURCE_DIR");
    return std::string(dir ? dir : ".") + "/samples/" + std::string(name);
  }

  VirtualClock clock;
  ScriptedHost host{clock};
  MemorySettingsStore store;
  std::vector<std::string> ports;
  std::vector<std::string> configured;
  std::shared_ptr<MemorySerialPort::Line> line = std::make_shared<MemorySerialPort::Line>();
  std::function<std::unique_ptr<TcpSocket>()> makeTcpSocket;
  std::function<std::string(std::string_view)> serialPortProblem;
  std::unique_ptr<CKrellonDlg> dlg;
};

}  // namespace tessvar::test

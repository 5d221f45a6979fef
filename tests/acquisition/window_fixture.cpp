#include "tests/acquisition/window_fixture.h"

#include <fstream>
#include <iterator>

#include "app/control_ids.h"
#include "app/file_page.h"

namespace tessvar::test {

std::unique_ptr<CKrellonDlg> OpenWithDescription(ScriptedHost& host, VirtualClock& clock,
                                                 SettingsStore& store, KrellonSeams seams,
                                                 const std::string& path) {
  auto window = std::make_unique<CKrellonDlg>(host, clock, store, std::move(seams));
  window->OnInitDialog();
  window->GetDialog().UserClick(idc::kFileTab);  // "Файл"
  host.fileAnswers.push_back(path);
  if (window->FilePage()) window->FilePage()->LoadDescriptionFile();
  return window;
}

void ChooseReadMode(CKrellonDlg& window, ScriptedHost& host, IecReadMode mode) {
  Dialog& d = window.GetDialog();
  d.UserFocus(idc::kStart);
  host.RunPosted();
  d.UserClick(mode == IecReadMode::GroupPoll ? idc::kModeGroupPoll
              : mode == IecReadMode::Read102 ? idc::kModeRead102
                                             : idc::kModeLinkLevel);
}

void AddClockEntries(CKrellonDlg& window) {
  window.Description().entries.push_back({"Время (tms)", "0x000100", "2"});
  window.Description().entries.push_back({"Время (thm)", "0x000101", "2"});
}

WindowRig::WindowRig(const std::string& sample, ModbusFraming framing,
                     std::map<uint16_t, uint16_t> pinned, EngineMaker makeEngine) {
  const std::string path = SamplePath(sample);
  std::ifstream f(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), {});
  const DescriptionLoad load = ReadDeviceDescription(bytes, DeviceDescription{}, LoadOptions{sample});
  peerDescription = load.description;
  peer = std::make_unique<SimPeer>(clock, peerDescription, framing, std::move(pinned),
                                   static_cast<uint8_t>(load.deviceAddress.value_or(1) & 0xFF));

  KrellonSeams seams;
  seams.enumerateSerialPorts = [] { return std::vector<std::string>{"ttyS7"}; };
  seams.makeSerialPort = [this] { return peer->MakeSerialPort(); };
  seams.makeTcpSocket = [this] { return peer->MakeTcpSocket(); };
  seams.configureSerial = [](std::string_view) {};
  seams.makeEngine = std::move(makeEngine);
  window = OpenWithDescription(host, clock, store, std::move(seams), path);

  Dialog& d = window->GetDialog();
  // The serial protocols need a port chosen in the "Порт" list.
  const int port = d.FindExact(idc::kPortList, "ttyS7");
  if (port >= 0) d.UserSelect(idc::kPortList, port);
}

WindowRig::~WindowRig() { window.reset(); }

bool WindowRig::RunDataSets(uint64_t n, uint64_t limitMs) {
  const uint64_t target = window->RunControl().DataSetsPresented() + n;
  host.RunFor(limitMs, [&] { return window->RunControl().DataSetsPresented() >= target; });
  return window->RunControl().DataSetsPresented() >= target;
}

}  // namespace tessvar::test

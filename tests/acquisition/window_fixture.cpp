#include "tests/acquisition/window_fixture.h"

#include <fstream>
#include <iterator>

#include "app/file_page.h"

namespace tessvar::test {

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
  window = std::make_unique<CKrellonDlg>(host, clock, store, std::move(seams));
  window->OnInitDialog();

  Dialog& d = window->GetDialog();
  d.UserClick(1107);  // "Файл"
  host.fileAnswers.push_back(path);
  if (window->FilePage()) window->FilePage()->LoadDescriptionFile();
  // The serial protocols need a port chosen in the "Порт" list.
  const int port = d.FindExact(1217, "ttyS7");
  if (port >= 0) d.UserSelect(1217, port);
}

WindowRig::~WindowRig() { window.reset(); }

bool WindowRig::RunDataSets(uint64_t n, uint64_t limitMs) {
  const uint64_t target = window->RunControl().DataSetsPresented() + n;
  host.RunFor(limitMs, [&] { return window->RunControl().DataSetsPresented() >= target; });
  return window->RunControl().DataSetsPresented() >= target;
}

}  // namespace tessvar::test

#include "ui/pages/rs485_page.h"

#include <array>
#include <charconv>
#include <string>

#include "model/connection_settings.h"
#include "ui/pages/page_support.h"

namespace tessvar {
namespace {

using K = ControlKind;
using C = ControlTemplate;

constexpr auto kControls = std::to_array<ControlTemplate>({
    C{1191, K::Text, "Четность", {4, 6, 40, 10}},
    C{1087, K::DropDownList, "", {48, 4, 50, 60}},
    C{1192, K::Text, "Стоп", {4, 22, 40, 10}},
    C{1088, K::DropDownList, "", {48, 20, 50, 40}},
    C{1193, K::Text, "бит/с", {4, 38, 40, 10}},
    C{1089, K::DropDownList, "", {48, 36, 50, 80}},
    C{1024, K::Text, "Порт", {4, 52, 40, 10}, ctl::kHidden},
    C{1023, K::DropDownList, "", {48, 50, 50, 90}, ctl::kHidden | ctl::kDisabled},
});

constexpr DialogTemplate kTemplate{kSerialPageTemplateId, "", 102, 65, "MS Sans Serif", 8,
                                   dlg::kNoTitle | dlg::kModeless, kControls};

constexpr auto kStopBits = std::to_array<std::string_view>({"1", "2"});
constexpr auto kBaudRates =
    std::to_array<std::string_view>({"9600", "19200", "38400", "56000", "64000"});
constexpr auto kTemplatePorts = std::to_array<std::string_view>(
    {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "НЕТ"});
constexpr auto kParities = std::to_array<std::string_view>({"ЧЕТ", "НЕЧЕТ", "НЕТ"});

constexpr auto kPageLists = std::to_array<int>(
    {idc::kPagePortList, idc::kParityList, idc::kStopBitsList, idc::kBaudList});

}  // namespace

const DialogTemplate& SerialPageTemplate() { return kTemplate; }

uint32_t MinimumPollPeriod(size_t entries, uint32_t baud, bool ascii) {
  if (baud == 0) return 0;
  uint64_t t = (static_cast<uint64_t>(entries) + 11) * 10000 / baud;
  t *= 2;
  if (ascii) t *= 2;
  t = (t / 50 + 2) * 50;
  return t > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(t);
}

CRS485Dlg::CRS485Dlg(PageOwner& owner) : owner_(owner), dialog_(kTemplate) {
  dialog_.OnSelChange(idc::kParityList, [this] { OnParity(); });
  dialog_.OnSelChange(idc::kStopBitsList, [this] { OnStopBits(); });
  dialog_.OnSelChange(idc::kBaudList, [this] { OnBaudRate(); });
  for (int id : kPageLists) dialog_.OnKillFocus(id, [this] { CloseCheck(); });
}

void CRS485Dlg::OnInitDialog() {
  FillItems(dialog_, idc::kStopBitsList, kStopBits);
  FillItems(dialog_, idc::kBaudList, kBaudRates);
  FillItems(dialog_, idc::kPagePortList, kTemplatePorts);
  FillItems(dialog_, idc::kParityList, kParities);

  const auto ports = owner_.EnumerateSerialPorts();
  if (!ports.empty()) {
    dialog_.ResetContent(idc::kPagePortList);
    for (const auto& p : ports) dialog_.AddItem(idc::kPagePortList, p);
    dialog_.AddItem(idc::kPagePortList, kNoPort);
  }

  dialog_.SetText(1191, "Четность");
  dialog_.SetText(1192, "Стоп");
  dialog_.SetText(1193, "бит/с");
  dialog_.SetText(1024, "Порт");

  const ConnectionSettings& s = owner_.Settings();
  dialog_.SelectByPrefix(idc::kPagePortList, s.portText);
  dialog_.SelectByPrefix(idc::kStopBitsList, s.serial.stopBits);
  dialog_.SelectByPrefix(idc::kParityList, s.serial.parity);
  dialog_.SelectByPrefix(idc::kBaudList, s.serial.baudRate);
  dialog_.SetFocus(idc::kParityList);
}

void CRS485Dlg::OnParity() {
  owner_.Settings().serial.parity = dialog_.SelectedText(idc::kParityList);
  Apply();
}

void CRS485Dlg::OnStopBits() {
  owner_.Settings().serial.stopBits = dialog_.SelectedText(idc::kStopBitsList);
  Apply();
}

void CRS485Dlg::OnBaudRate() {
  owner_.Settings().serial.baudRate = dialog_.SelectedText(idc::kBaudList);
  Apply();
  RaisePollPeriod();
}

void CRS485Dlg::Apply() {
  const ConnectionSettings& s = owner_.Settings();
  if (s.portText == kNoPort || s.portText == "NO") return;
  owner_.ConfigureSerial(BuildSerialSettingsText(s.serial));
}

void CRS485Dlg::RaisePollPeriod() {
  ConnectionSettings& s = owner_.Settings();
  uint32_t baud = 0;
  const std::string& text = s.serial.baudRate;
  std::from_chars(text.data(), text.data() + text.size(), baud);
  const bool ascii = owner_.SelectedProtocolIndex() == static_cast<int>(ProtocolKind::ModbusAscii);
  const uint32_t minimum = MinimumPollPeriod(owner_.DescriptionEntryCount(), baud, ascii);
  if (minimum == 0) return;  // not a rate: nothing to compute from
  s.minPollPeriodMs = minimum;
  if (s.pollPeriodMs < minimum) s.pollPeriodMs = minimum;
  owner_.ShowPollPeriod();
}

void CRS485Dlg::CloseCheck() {
  if (!owner_.IsRegisteredPage(PageKind::Serial, dialog_)) return;
  if (dialog_.Focus() >= 0) {
    for (int id : kPageLists)
      if (dialog_.Focus() == id) return;
  }
  if (dialog_.Focus() < 0 && owner_.FocusedOwnerControl() < 0) return;
  dialog_.EndDialog(2);
  owner_.UnregisterPage(PageKind::Serial, dialog_);
}

}  // namespace tessvar

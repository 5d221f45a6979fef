// The "Порт" list of a serial protocol: the ports found, "НЕТ", and any device path the user
// types (a /dev/serial/by-id name, a pty, a path longer than the stored setting holds).
// A typed port serves the session; the stored setting is only ever read at start-up.
#include <algorithm>

#include "app/control_ids.h"
#include "app/krellon_dlg.h"

namespace tessvar {

namespace {
std::string Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return std::string(text);
}
}  // namespace

void CKrellonDlg::OnPortTyped() {
  Dialog& d = dialog_;
  const std::string typed = Trimmed(d.Text(idc::kPortList));
  // A TCP port number typed for a network protocol is read from the list by the run; it is
  // not the serial port.
  const ProtocolKind p = SelectedProtocol();
  if (p != ProtocolKind::ModbusTcp && p != ProtocolKind::Iec104) settings_.portText = typed;
  const auto& items = d.Items(idc::kPortList);
  const auto it = std::find(items.begin(), items.end(), typed);
  // Typing a listed name chooses it; anything else leaves no item chosen.
  d.SetSelection(idc::kPortList, it == items.end() ? -1 : static_cast<int>(it - items.begin()));
}

void CKrellonDlg::SelectPortText() {
  Dialog& d = dialog_;
  const auto& items = d.Items(idc::kPortList);
  const auto it = std::find(items.begin(), items.end(), settings_.portText);
  if (it != items.end()) {
    d.SetSelection(idc::kPortList, static_cast<int>(it - items.begin()));
    return;
  }
  d.SetSelection(idc::kPortList, -1);
  d.SetText(idc::kPortList, settings_.portText);
}

}  // namespace tessvar

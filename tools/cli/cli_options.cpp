#include "tools/cli/cli_options.h"

#include <charconv>

#include "app/krellon_dlg.h"

namespace tessvar {

namespace {
constexpr int kProtocolList = 1141;
constexpr int kPortList = 1217;
constexpr int kIpAddress = 1144;
constexpr int kDeviceAddress = 1142;
constexpr int kPollPeriod = 1090;
constexpr int kDisplayMode = 1114;
constexpr int kTimeBaseList = 1218;
constexpr int kSave = 1097;
constexpr int kLimitTime = 1118;
constexpr int kRecordingTime = 1092;
}  // namespace

std::optional<uint32_t> ParseIpv4(const std::string& text) {
  uint32_t ip = 0;
  const char* p = text.data();
  const char* end = text.data() + text.size();
  for (int i = 0; i < 4; ++i) {
    unsigned octet = 0;
    const auto r = std::from_chars(p, end, octet);
    if (r.ec != std::errc() || octet > 255) return std::nullopt;
    ip = (ip << 8) | octet;
    p = r.ptr;
    if (i < 3) {
      if (p == end || *p != '.') return std::nullopt;
      ++p;
    }
  }
  if (p != end) return std::nullopt;
  return ip;
}

std::optional<std::string> ApplyOptions(const CliOptions& o, CKrellonDlg& window) {
  Dialog& d = window.GetDialog();
  if (o.protocol) {
    const int index = d.SelectByPrefix(kProtocolList, *o.protocol, d.Selection(kProtocolList));
    if (index < 0) return "unknown protocol: " + *o.protocol;
    d.UserSelect(kProtocolList, index);
  }
  if (o.ip) {
    const auto ip = ParseIpv4(*o.ip);
    if (!ip) return "not an IPv4 address: " + *o.ip;
    d.UserSetIpv4(kIpAddress, *ip);
  }
  if (o.port) {
    int index = d.FindExact(kPortList, *o.port);
    if (index < 0) index = d.AddItem(kPortList, *o.port);
    d.UserSelect(kPortList, index);
    window.Settings().portText = *o.port;
    // МЭК-104 connects to 2404 in the window; a number here reaches a station elsewhere.
    uint32_t tcpPort = 0;
    const auto r = std::from_chars(o.port->data(), o.port->data() + o.port->size(), tcpPort);
    if (r.ec == std::errc() && r.ptr == o.port->data() + o.port->size() && tcpPort > 0 && tcpPort <= 65535) {
      window.Settings().iec104Port = static_cast<uint16_t>(tcpPort);
    }
  }
  if (o.address) {
    d.UserFocus(kDeviceAddress);
    d.UserType(kDeviceAddress, std::to_string(*o.address));
    d.UserFocus(kPollPeriod);
  }
  if (o.pollMs) d.UserType(kPollPeriod, std::to_string(*o.pollMs));
  if (o.codes && window.Settings().displayMode == DisplayMode::PhysicalUnits) d.UserClick(kDisplayMode);
  if (o.timeBase) {
    const int index = d.FindExact(kTimeBaseList, *o.timeBase);
    if (index < 0) return "time base must be GMT or Local";
    d.UserSelect(kTimeBaseList, index);
  }
  if (o.record && !d.IsChecked(kSave)) d.UserClick(kSave);
  if (o.recordTime) {
    if (!d.IsChecked(kLimitTime)) d.UserClick(kLimitTime);
    d.UserType(kRecordingTime, *o.recordTime);
  }
  return std::nullopt;
}

}  // namespace tessvar

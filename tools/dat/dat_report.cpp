#include "tools/dat/dat_report.h"

#include <array>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

namespace tessvar::dat {
namespace {

using Json = nlohmann::ordered_json;

std::string Ip(uint32_t ip) {
  return std::to_string(ip >> 24) + "." + std::to_string((ip >> 16) & 0xFF) + "." +
         std::to_string((ip >> 8) & 0xFF) + "." + std::to_string(ip & 0xFF);
}

// The nominal voltage list's prefix search: from the second item round to the first.
std::optional<std::string> SelectVoltage(const std::string& text) {
  for (size_t k = 1; k <= kNominalVoltageTexts.size(); ++k) {
    const auto item = kNominalVoltageTexts[k % kNominalVoltageTexts.size()];
    if (item.substr(0, text.size()) == text) return std::string(item);
  }
  return std::nullopt;
}

// What the nominal controls of one channel show after the load; "unchanged" where the
// load leaves them as they were, "none" for a list left without selection.
struct ChannelView {
  std::string voltage = "unchanged";
  std::string current = "unchanged";
};

std::array<ChannelView, 2> NominalViews(const DescriptionLoad& l) {
  std::array<ChannelView, 2> v;
  if (l.nominals) {
    if (auto s = SelectVoltage(l.nominals->voltageText)) v[0].voltage = *s;
    v[0].current = l.nominals->currentText;
  }
  for (const auto& a : l.ratedActions) {
    auto& c = v[static_cast<size_t>(a.channel - 1)];
    if (a.kind == NominalAction::Kind::CurrentText) {
      c.current = a.text;
    } else {
      c.voltage = SelectVoltage(a.text).value_or("none");
      if (a.selectFirstItem) c.voltage = std::string(kNominalVoltageTexts[0]);
    }
  }
  return v;
}

std::vector<std::string> NotGiven(const QuietEnd& q) {
  std::vector<std::string> out;
  for (int s = static_cast<int>(q.section); s <= static_cast<int>(ReadSection::TcpPort); ++s) {
    out.emplace_back(ReadSectionName(static_cast<ReadSection>(s)));
  }
  return out;
}

std::string Join(const std::vector<std::string>& v, std::string_view sep) {
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) out.append(i ? sep : "").append(v[i]);
  return out;
}

std::string Divisor(const DescriptionLoad& l, size_t entry) {
  const int rec = entry < l.entryRecord.size() ? l.entryRecord[entry] : -1;
  if (rec < 0 || static_cast<size_t>(rec) >= l.description.divisors.size()) return {};
  return l.description.divisors[static_cast<size_t>(rec)];
}

std::string Rated(const DescriptionLoad& l, size_t entry) {
  if (entry >= l.ratedValues.size() || !l.ratedValues[entry]) return {};
  return FormatFixed(*l.ratedValues[entry], 3);
}

}  // namespace

std::string SelectedProtocol(const DescriptionLoad& l) {
  if (l.network && l.network->protocolText) return *l.network->protocolText;
  if (l.protocolStep && l.protocolText) return *l.protocolText;
  return {};
}

uint16_t FinalDeviceAddress(const DescriptionLoad& l) {
  const uint16_t address = l.deviceAddress.value_or(0);
  if (!l.network) return address;
  const ProtocolKind p = ProtocolFromText(SelectedProtocol(l));
  return MaskDeviceAddress(address, p, l.iecSizes ? l.iecSizes->commonAddress : IecFieldSizes{}.commonAddress);
}

std::string TextReport(const Report& r) {
  const auto& l = r.load;
  const auto& d = l.description;
  std::ostringstream o;
  o << r.file << "\n";
  const std::string protocol = SelectedProtocol(l);
  o << "  protocol:          " << (protocol.empty() ? "not selected" : protocol);
  if (l.protocolStep || l.quietEnd == std::nullopt || l.quietEnd->section != ReadSection::ProtocolCode) {
    o << " (protocol code " << int{d.protocolCode} << ")";
  }
  o << "\n";
  o << "  device address:    " << FinalDeviceAddress(l) << (l.addressToBox ? "" : " (low byte only)") << "\n";
  o << "  serial settings:   " << (l.serial ? BuildSerialSettingsText(*l.serial) : "") << "\n";
  o << "  device variant:    " << int{d.deviceVariant}
    << (d.deviceVariant == kDeviceVariantReduced ? " (reduced set of quantities)" : "") << "\n";
  if (l.iecSizes) {
    o << "  IEC field sizes:   common address " << int{l.iecSizes->commonAddress} << ", object address "
      << int{l.iecSizes->objectAddress} << ", cause of transmission " << int{l.iecSizes->causeOfTransmission}
      << ", fixed frame " << int{l.iecSizes->fixedFrame} << "\n";
  }
  o << "  header nominals:   voltage " << l.headerNominalVoltage / 1000 << ", current "
    << l.headerNominalCurrent / 1000 << "\n";
  const auto views = NominalViews(l);
  for (int c = 0; c < 2; ++c) {
    o << "  channel " << c + 1 << " nominal: voltage " << views[static_cast<size_t>(c)].voltage << ", current "
      << views[static_cast<size_t>(c)].current << "\n";
  }
  if (l.network) {
    o << "  IP address:        " << Ip(l.network->ipAddress) << "\n";
    if (l.network->tcpPortGiven) o << "  TCP port:          " << l.network->tcpPort << "\n";
  }
  o << "  first address:     " << FormatHexAddress(d.firstAddress) << "\n";
  o << "  records:           " << l.recordCount << ", entries " << d.entries.size() << "\n";
  for (size_t i = 0; i < d.entries.size(); ++i) {
    const auto& e = d.entries[i];
    const auto slot = FindCatalogueSlot(e.name);
    o << "  [" << i << "] " << e.name << "  address " << e.address << "  size " << e.size << "  group "
      << (i < d.groupCodes.size() ? std::to_string(d.groupCodes[i]) : std::string("-")) << "  slot "
      << (slot ? std::to_string(*slot) : std::string("none"));
    const std::string rated = Rated(l, i);
    if (!rated.empty()) o << "  rated " << rated;
    o << "  divisor " << (l.entryRecord.at(i) < 0 ? std::string("-") : Divisor(l, i));
    if (l.entryRecord.at(i) < 0) o << "  (inserted)";
    o << "\n";
  }
  if (d.divisors.size() != d.entries.size()) o << "  divisor texts:     " << Join(d.divisors, ", ") << "\n";
  if (l.quietEnd) {
    o << "  file ends early at byte " << l.quietEnd->offset << "; not given: " << Join(NotGiven(*l.quietEnd), ", ")
      << "\n";
  }
  return o.str();
}

std::string JsonReport(const Report& r) {
  const auto& l = r.load;
  const auto& d = l.description;
  Json j;
  j["file"] = r.file;
  const std::string protocol = SelectedProtocol(l);
  j["protocol"] = protocol.empty() ? Json(nullptr) : Json(protocol);
  j["protocol_code"] = d.protocolCode;
  j["device_address"] = FinalDeviceAddress(l);
  j["serial_settings"] = l.serial ? Json(BuildSerialSettingsText(*l.serial)) : Json(nullptr);
  j["device_variant"] = d.deviceVariant;
  if (l.iecSizes) {
    j["iec_sizes"] = {{"common_address", l.iecSizes->commonAddress},
                      {"object_address", l.iecSizes->objectAddress},
                      {"cause_of_transmission", l.iecSizes->causeOfTransmission},
                      {"fixed_frame", l.iecSizes->fixedFrame}};
  } else {
    j["iec_sizes"] = nullptr;
  }
  const auto views = NominalViews(l);
  j["nominals"] = {{"header_voltage", l.headerNominalVoltage / 1000},
                   {"header_current", l.headerNominalCurrent / 1000},
                   {"channel1", {{"voltage", views[0].voltage}, {"current", views[0].current}}},
                   {"channel2", {{"voltage", views[1].voltage}, {"current", views[1].current}}}};
  j["ip"] = l.network ? Json(Ip(l.network->ipAddress)) : Json(nullptr);
  j["tcp_port"] = l.network && l.network->tcpPortGiven ? Json(l.network->tcpPort) : Json(nullptr);
  j["first_address"] = d.firstAddress;
  Json entries = Json::array();
  for (size_t i = 0; i < d.entries.size(); ++i) {
    const auto& e = d.entries[i];
    const auto slot = FindCatalogueSlot(e.name);
    Json je = {{"name", e.name}, {"address", e.address}, {"size", e.size}};
    je["group"] = i < d.groupCodes.size() ? Json(d.groupCodes[i]) : Json(nullptr);
    je["slot"] = slot ? Json(*slot) : Json(nullptr);
    je["rated"] = i < l.ratedValues.size() && l.ratedValues[i] ? Json(*l.ratedValues[i]) : Json(nullptr);
    je["divisor"] = l.entryRecord.at(i) < 0 ? Json(nullptr) : Json(Divisor(l, i));
    je["inserted"] = l.entryRecord.at(i) < 0;
    entries.push_back(std::move(je));
  }
  j["entries"] = std::move(entries);
  j["divisors"] = d.divisors;
  if (l.quietEnd) {
    j["ended_early"] = {{"offset", l.quietEnd->offset}, {"not_given", NotGiven(*l.quietEnd)}};
  } else {
    j["ended_early"] = nullptr;
  }
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace tessvar::dat

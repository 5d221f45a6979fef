#include "model/device_description.h"

#include "model/byte_reader.h"

namespace tessvar {
namespace {

constexpr size_t kHeaderBlockSize = 76;
constexpr size_t kNominalCurrentAt = 10;  // within the header block
constexpr size_t kNominalVoltageAt = 42;

int32_t I32At(std::span<const uint8_t> s, size_t at) {
  const uint32_t v = uint32_t{s[at]} | (uint32_t{s[at + 1]} << 8) | (uint32_t{s[at + 2]} << 16) |
                     (uint32_t{s[at + 3]} << 24);
  return static_cast<int32_t>(v);
}

std::optional<std::string> SerialProtocolText(uint8_t code) {
  switch (code) {
    case 0: return std::string(ProtocolText(ProtocolKind::ModbusRtu));
    case 1: return std::string(ProtocolText(ProtocolKind::Iec101));
    case 255: return std::string(ProtocolText(ProtocolKind::ModbusAscii));
    default: return std::nullopt;
  }
}

std::optional<std::string> NetworkProtocolText(uint8_t code) {
  switch (code) {
    case 0:
    case 255: return std::string(ProtocolText(ProtocolKind::ModbusTcp));
    case 1: return std::string(ProtocolText(ProtocolKind::Iec104));
    default: return std::nullopt;
  }
}

bool Contains(std::string_view s, std::string_view part) { return s.find(part) != std::string_view::npos; }

// Applies one rated value to the nominal controls, the way the window shows them.
void AddRatedActions(const DescriptionEntry& e, std::span<const uint8_t, 4> raw,
                     std::vector<NominalAction>& actions) {
  for (int channel = 1; channel <= 2; ++channel) {
    const std::string current = channel == 1 ? "(Idc1)" : "(Idc2)";
    const std::string voltage = channel == 1 ? "(Udc1)" : "(Udc2)";
    if (Contains(e.name, current)) {
      if (auto v = DecodeRatedValue(raw, true)) {
        actions.push_back({NominalAction::Kind::CurrentText, channel, FormatFixed(*v, 3), false});
      }
    }
    if (Contains(e.name, voltage)) {
      if (auto v = DecodeRatedValue(raw, false)) {
        std::string text = FormatFixed(*v, 0);
        const int32_t n = ParseDecimalInt(text);
        actions.push_back({NominalAction::Kind::VoltageSelect, channel, std::move(text), n == 30 || n == 60});
      }
    }
  }
}

bool IsRatedCurrent(std::string_view name) { return Contains(name, "(Idc1)") || Contains(name, "(Idc2)"); }

class Loader {
 public:
  Loader(std::span<const uint8_t> bytes, const DeviceDescription& previous, const LoadOptions& options)
      : in_(bytes), options_(options) {
    d().protocolCode = previous.protocolCode;
    d().deviceVariant = previous.deviceVariant;
    d().fileName = options.fileName;
  }

  DescriptionLoad Run() {
    if (ReadFixedPart()) {
      ReadOptionalPart();
      r_.marks = ComputeAvailabilityMarks(d(), AvailabilityMarks{});
    }
    return std::move(r_);
  }

 private:
  DeviceDescription& d() { return r_.description; }

  // The part every file must have; a failure here refuses the whole file.
  bool ReadFixedPart() {
    if (!in_.U32()) return Fail(LoadErrorKind::EndOfFile, in_.Offset());
    const size_t blockAt = in_.Offset();
    auto block = in_.Take(kHeaderBlockSize);
    if (!block) return Fail(LoadErrorKind::EndOfFile, blockAt);
    r_.headerNominalCurrent = I32At(*block, kNominalCurrentAt);
    r_.headerNominalVoltage = I32At(*block, kNominalVoltageAt);

    const size_t countAt = in_.Offset();
    auto count = in_.U8();
    if (!count) return Fail(LoadErrorKind::EndOfFile, countAt);
    r_.recordCount = *count;
    for (int i = 0; i < *count; ++i) {
      DescriptionEntry e;
      std::string divisor;
      if (!ReadText(e.name) || !ReadText(e.address) || !ReadText(e.size)) return false;
      const size_t flagAt = in_.Offset();
      auto flag = in_.U32();
      if (!flag) return Fail(LoadErrorKind::EndOfFile, flagAt);
      if (!ReadText(divisor)) return false;
      if (const size_t q = e.name.find("Q'"); q != std::string::npos) e.name[q + 1] = 'f';
      if (*flag == 0) {
        if (d().firstAddress == kNoFirstAddress) d().firstAddress = ParseHexAddress(e.address);
        d().entries.push_back(std::move(e));
        r_.entryRecord.push_back(i);
      }
      d().divisors.push_back(std::move(divisor));
    }

    // Address low byte, serial settings, reserved byte, device variant.
    auto low = in_.U8();
    if (!low) return Fail(LoadErrorKind::EndOfFile, in_.Offset());
    low_ = *low;
    r_.deviceAddress = low_;
    // The address goes into the address box even when the file ends before its high byte:
    // otherwise the box keeps whatever it held and the run polls that device instead.
    r_.addressToBox = true;
    auto serial = in_.U8();
    if (!serial) return Fail(LoadErrorKind::EndOfFile, in_.Offset());
    r_.serialSettingsByte = *serial;
    r_.serial = DecodeSerialSettingsByte(*serial);
    if (!in_.U8()) return Fail(LoadErrorKind::EndOfFile, in_.Offset());
    auto variant = in_.U8();
    if (!variant) return Fail(LoadErrorKind::EndOfFile, in_.Offset());
    d().deviceVariant = *variant;
    return true;
  }

  bool ReadText(std::string& out) {
    const size_t at = in_.Offset();
    switch (in_.Text(out)) {
      case TextStatus::Ok: return true;
      case TextStatus::EndOfFile: return Fail(LoadErrorKind::EndOfFile, at);
      case TextStatus::BadLength: return Fail(LoadErrorKind::BadTextLength, at);
    }
    return false;
  }

  // A file cut before the protocol code leaves a description without entries, so that a
  // start cannot poll a mix of this file and the one loaded before.
  bool Fail(LoadErrorKind kind, size_t offset) {
    r_.error = LoadError{kind,
                         std::string(kind == LoadErrorKind::EndOfFile ? kEndOfFileMessage : kBadFormatMessage),
                         offset};
    d().entries.clear();
    d().divisors.clear();
    d().groupCodes.clear();
    d().firstAddress = kNoFirstAddress;
    r_.entryRecord.clear();
    return false;
  }

  void Quiet(ReadSection s, size_t at) { r_.quietEnd = QuietEnd{at, s}; }

  // Everything from the protocol code on: a file may end anywhere here without a message.
  // Each section returns false where the file ended (or, for the network part, where it
  // stops describing a network), so the reader simply stops there.
  void ReadOptionalPart() {
    if (!ReadProtocolAndGroups()) return;
    size_t nonClock = 0;
    if (!ReadRatedPart(nonClock)) return;
    ReadNetworkPart(nonClock);
  }

  bool Quietly(ReadSection s, size_t at) {
    Quiet(s, at);
    return false;
  }

  bool ReadProtocolAndGroups() {
    size_t at = in_.Offset();
    auto code = in_.U8();
    if (!code) return Quietly(ReadSection::ProtocolCode, at);
    d().protocolCode = *code;

    at = in_.Offset();
    auto sizes = in_.Take(4);
    if (!sizes) return Quietly(ReadSection::IecSizes, at);
    r_.iecSizes = IecFieldSizes{(*sizes)[0], (*sizes)[1], (*sizes)[3], (*sizes)[2]};

    at = in_.Offset();
    auto high = in_.U8();
    if (!high) return Quietly(ReadSection::AddressHigh, at);
    r_.deviceAddress = static_cast<uint16_t>(low_ + *high * 256);
    r_.addressToBox = true;

    at = in_.Offset();
    if (!in_.Skip(2)) return Quietly(ReadSection::GroupCodes, at);
    for (size_t i = 0; i < d().entries.size(); ++i) {
      at = in_.Offset();
      auto g = in_.U8();
      if (!g) return Quietly(ReadSection::GroupCodes, at);
      d().groupCodes.push_back(*g);
    }

    r_.protocolStep = true;
    r_.protocolText = SerialProtocolText(d().protocolCode);
    return true;
  }

  bool ReadRatedPart(size_t& nonClock) {
    size_t at = in_.Offset();
    if (!in_.Skip(10)) return Quietly(ReadSection::RatedValues, at);

    NominalPresentation nom;
    if (options_.displayMode != DisplayMode::PhysicalUnits) {
      nom.voltage = r_.headerNominalVoltage / 1000;
      nom.current = r_.headerNominalCurrent / 1000;
    }
    nom.voltageText = FormatFixed(nom.voltage, 0);
    nom.currentText = FormatFixed(nom.current, 0);
    r_.nominals = nom;

    if (auto inserted = CompleteDateColumns(d())) {
      r_.dateColumnInserted = true;
      r_.entryRecord.insert(r_.entryRecord.begin() + static_cast<std::ptrdiff_t>(*inserted), -1);
    }

    r_.ratedValues.assign(d().entries.size(), std::nullopt);
    for (size_t i = 0; i < d().entries.size(); ++i) {
      const auto& e = d().entries[i];
      if (IsTimeColumn(e.name)) continue;
      ++nonClock;
      at = in_.Offset();
      auto raw = in_.Take(4);
      if (!raw) return Quietly(ReadSection::RatedValues, at);
      const std::span<const uint8_t, 4> four(raw->data(), 4);
      r_.ratedValues[i] = DecodeRatedValue(four, IsRatedCurrent(e.name));
      AddRatedActions(e, four, r_.ratedActions);
    }
    return true;
  }

  void ReadNetworkPart(size_t nonClock) {
    size_t at = in_.Offset();
    if (!in_.Skip(18 + 4 * nonClock) || !in_.Skip(3)) return Quiet(ReadSection::NetworkProtocol, at);
    at = in_.Offset();
    auto net = in_.U8();
    if (!net) return Quiet(ReadSection::NetworkProtocol, at);
    r_.networkProtocolCode = *net;
    at = in_.Offset();
    if (!in_.Skip(16)) return Quiet(ReadSection::NetworkMarker, at);
    in_.Skip(2);  // a cut here still lets the marker be tried

    at = in_.Offset();
    std::string marker;
    if (in_.Text(marker) != TextStatus::Ok) return Quiet(ReadSection::NetworkMarker, at);
    if (!Contains(marker, "IPconf:")) return;
    at = in_.Offset();
    auto ip = in_.U32();
    if (!ip) return Quiet(ReadSection::IpAddress, at);
    NetworkSection ns;
    ns.ipAddress = *ip;
    ns.protocolText = NetworkProtocolText(*net);
    r_.network = ns;
    at = in_.Offset();
    if (!in_.Skip(12)) return Quiet(ReadSection::TcpPort, at);
    at = in_.Offset();
    auto port = in_.U16();
    if (!port) return Quiet(ReadSection::TcpPort, at);
    r_.network->tcpPort = *port;
    r_.network->tcpPortGiven = true;
  }

  ByteReader in_;
  const LoadOptions& options_;
  DescriptionLoad r_;
  uint8_t low_ = 0;
};

}  // namespace

DescriptionLoad ReadDeviceDescription(std::span<const uint8_t> bytes, const DeviceDescription& previous,
                                      const LoadOptions& options) {
  return Loader(bytes, previous, options).Run();
}

}  // namespace tessvar

#include "monitor/pcap_writer.h"

#include "link/modbus_codec.h"

namespace tessvar::monitor {

namespace {

constexpr uint32_t kPcapMagic = 0xA1B2C3D4;
constexpr uint32_t kLinkTypeEthernet = 1;
constexpr uint32_t kSnapLength = 65535;
constexpr uint8_t kTcpSyn = 0x02, kTcpPsh = 0x08, kTcpAck = 0x10;
constexpr uint8_t kProtoTcp = 6, kProtoUdp = 17;
constexpr uint32_t kClientIsn = 0x10000000, kDeviceIsn = 0x20000000;

void Le32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Le16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Be16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}
void Be32(std::vector<uint8_t>& out, uint32_t v) {
  Be16(out, static_cast<uint16_t>(v >> 16));
  Be16(out, static_cast<uint16_t>(v));
}
void PutBe16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
  out[at] = static_cast<uint8_t>(v >> 8);
  out[at + 1] = static_cast<uint8_t>(v);
}

// The ones' complement sum of the internet checksum, over `bytes` added to `sum`.
uint32_t SumWords(std::span<const uint8_t> bytes, uint32_t sum) {
  for (size_t i = 0; i < bytes.size(); i += 2) {
    sum += static_cast<uint32_t>(bytes[i] << 8) | (i + 1 < bytes.size() ? bytes[i + 1] : 0);
  }
  return sum;
}
uint16_t Fold(uint32_t sum) {
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

struct Endpoints {
  uint32_t srcIp, dstIp;
  uint16_t srcPort, dstPort;
};

Endpoints EndpointsOf(const CapturedFrame& f, uint16_t devicePort, uint16_t clientPort) {
  const uint32_t device = f.deviceIpv4 != 0 && f.deviceIpv4 != kClientIpv4 ? f.deviceIpv4 : kDeviceIpv4;
  if (f.direction == FrameDirection::Sent) return {kClientIpv4, device, clientPort, devicePort};
  return {device, kClientIpv4, devicePort, clientPort};
}

// Ethernet and IPv4 around a transport header and payload (`transport`, its checksum
// still to be filled in by the caller).
std::vector<uint8_t> Ipv4Packet(const Endpoints& e, uint8_t protocol, std::span<const uint8_t> transport,
                                uint16_t id) {
  std::vector<uint8_t> p;
  p.reserve(34 + transport.size());
  const bool fromClient = e.srcIp == kClientIpv4;
  const uint8_t client[6] = {0x02, 0, 0, 0, 0, 0x01}, device[6] = {0x02, 0, 0, 0, 0, 0x02};
  p.insert(p.end(), fromClient ? device : client, (fromClient ? device : client) + 6);
  p.insert(p.end(), fromClient ? client : device, (fromClient ? client : device) + 6);
  Be16(p, 0x0800);
  const size_t ip = p.size();
  p.push_back(0x45);
  p.push_back(0);
  Be16(p, static_cast<uint16_t>(20 + transport.size()));
  Be16(p, id);
  Be16(p, 0x4000);  // don't fragment
  p.push_back(64);
  p.push_back(protocol);
  Be16(p, 0);
  Be32(p, e.srcIp);
  Be32(p, e.dstIp);
  PutBe16(p, ip + 10, Fold(SumWords(std::span(p).subspan(ip, 20), 0)));
  p.insert(p.end(), transport.begin(), transport.end());
  return p;
}

// The checksum over the pseudo header and the transport segment.
uint16_t TransportChecksum(const Endpoints& e, uint8_t protocol, std::span<const uint8_t> segment) {
  std::vector<uint8_t> pseudo;
  Be32(pseudo, e.srcIp);
  Be32(pseudo, e.dstIp);
  pseudo.push_back(0);
  pseudo.push_back(protocol);
  Be16(pseudo, static_cast<uint16_t>(segment.size()));
  return Fold(SumWords(segment, SumWords(pseudo, 0)));
}

std::vector<uint8_t> TcpSegment(const Endpoints& e, uint32_t seq, uint32_t ack, uint8_t flags,
                                std::span<const uint8_t> payload) {
  std::vector<uint8_t> s;
  Be16(s, e.srcPort);
  Be16(s, e.dstPort);
  Be32(s, seq);
  Be32(s, (flags & kTcpAck) ? ack : 0);
  s.push_back(0x50);  // 20-octet header
  s.push_back(flags);
  Be16(s, 65535);
  Be16(s, 0);
  Be16(s, 0);
  s.insert(s.end(), payload.begin(), payload.end());
  PutBe16(s, 16, TransportChecksum(e, kProtoTcp, s));
  return s;
}

// The binary unit of an ASCII frame without its LRC; empty when the characters are not a
// frame.
std::vector<uint8_t> AsciiUnit(std::span<const uint8_t> f) {
  if (f.size() < 3 || f.front() != ':' || f[f.size() - 2] != '\r' || f.back() != '\n') return {};
  const auto digits = f.subspan(1, f.size() - 3);
  if (digits.size() % 2 != 0 || digits.size() < 6) return {};
  std::vector<uint8_t> unit;
  for (size_t i = 0; i + 1 < digits.size(); i += 2) {
    const int hi = modbus::HexDigitValue(digits[i], modbus::HexCase::kEither);
    const int lo = modbus::HexDigitValue(digits[i + 1], modbus::HexCase::kEither);
    if (hi < 0 || lo < 0) return {};
    unit.push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
  unit.pop_back();  // the LRC
  return unit;
}

}  // namespace

std::vector<uint8_t> PcapFileHeader() {
  std::vector<uint8_t> h;
  Le32(h, kPcapMagic);
  Le16(h, 2);
  Le16(h, 4);
  Le32(h, 0);  // time zone
  Le32(h, 0);  // accuracy
  Le32(h, kSnapLength);
  Le32(h, kLinkTypeEthernet);
  return h;
}

void PcapEncoder::Record(int64_t utcMs, std::span<const uint8_t> packet, std::vector<uint8_t>& out) {
  const int64_t ms = utcMs < 0 ? 0 : utcMs;
  Le32(out, static_cast<uint32_t>(ms / 1000));
  Le32(out, static_cast<uint32_t>((ms % 1000) * 1000));
  Le32(out, static_cast<uint32_t>(packet.size()));
  Le32(out, static_cast<uint32_t>(packet.size()));
  out.insert(out.end(), packet.begin(), packet.end());
}

void PcapEncoder::AppendTcp(const CapturedFrame& f, std::span<const uint8_t> payload, uint16_t devicePort,
                            std::vector<uint8_t>& out) {
  const auto clientPort = static_cast<uint16_t>(kClientPortBase + f.connection % 10000);
  auto [it, opened] = flows_.try_emplace(f.connection);
  TcpFlow& flow = it->second;
  if (opened) {
    // The handshake the capture did not see, so that the dissectors follow the stream.
    CapturedFrame fromClient = f, fromDevice = f;
    fromClient.direction = FrameDirection::Sent;
    fromDevice.direction = FrameDirection::Received;
    const Endpoints c = EndpointsOf(fromClient, devicePort, clientPort);
    const Endpoints d = EndpointsOf(fromDevice, devicePort, clientPort);
    Record(f.utcMs, Ipv4Packet(c, kProtoTcp, TcpSegment(c, kClientIsn, 0, kTcpSyn, {}), ++ipId_), out);
    Record(f.utcMs, Ipv4Packet(d, kProtoTcp, TcpSegment(d, kDeviceIsn, kClientIsn + 1, kTcpSyn | kTcpAck, {}), ++ipId_),
           out);
    Record(f.utcMs, Ipv4Packet(c, kProtoTcp, TcpSegment(c, kClientIsn + 1, kDeviceIsn + 1, kTcpAck, {}), ++ipId_), out);
    flow.clientNext = kClientIsn + 1;
    flow.deviceNext = kDeviceIsn + 1;
  }
  const Endpoints e = EndpointsOf(f, devicePort, clientPort);
  const bool sent = f.direction == FrameDirection::Sent;
  uint32_t& seq = sent ? flow.clientNext : flow.deviceNext;
  const uint32_t ack = sent ? flow.deviceNext : flow.clientNext;
  Record(f.utcMs, Ipv4Packet(e, kProtoTcp, TcpSegment(e, seq, ack, kTcpPsh | kTcpAck, payload), ++ipId_), out);
  seq += static_cast<uint32_t>(payload.size());
}

void PcapEncoder::AppendUdp(const CapturedFrame& f, std::span<const uint8_t> payload, uint16_t devicePort,
                            std::vector<uint8_t>& out) {
  const Endpoints e = EndpointsOf(f, devicePort, kClientPortBase);
  std::vector<uint8_t> d;
  Be16(d, e.srcPort);
  Be16(d, e.dstPort);
  Be16(d, static_cast<uint16_t>(8 + payload.size()));
  Be16(d, 0);
  d.insert(d.end(), payload.begin(), payload.end());
  uint16_t sum = TransportChecksum(e, kProtoUdp, d);
  PutBe16(d, 6, sum == 0 ? 0xFFFF : sum);
  Record(f.utcMs, Ipv4Packet(e, kProtoUdp, d, ++ipId_), out);
}

void PcapEncoder::Append(const CapturedFrame& f, std::vector<uint8_t>& out) {
  const std::span<const uint8_t> bytes(f.bytes);
  switch (f.format.protocol) {
    case FrameProtocol::ModbusTcp:
      AppendTcp(f, bytes, f.devicePort != 0 ? f.devicePort : 502, out);
      break;
    case FrameProtocol::Iec104:
      AppendTcp(f, bytes, f.devicePort != 0 ? f.devicePort : 2404, out);
      break;
    case FrameProtocol::Ft12:
      AppendTcp(f, bytes, kFt12TcpPort, out);
      break;
    case FrameProtocol::ModbusRtu:
      AppendUdp(f, bytes, kRtuUdpPort, out);
      break;
    case FrameProtocol::ModbusAscii: {
      if (f.direction == FrameDirection::Sent) ++transaction_;
      const std::vector<uint8_t> unit = AsciiUnit(bytes);
      if (unit.empty()) {  // not a frame: the characters as they came
        AppendUdp(f, bytes, kAsciiUdpPort, out);
        break;
      }
      std::vector<uint8_t> mbap;
      Be16(mbap, transaction_);
      Be16(mbap, 0);
      Be16(mbap, static_cast<uint16_t>(unit.size()));
      mbap.insert(mbap.end(), unit.begin(), unit.end());
      AppendUdp(f, mbap, kAsciiUdpPort, out);
      break;
    }
  }
}

bool WritePcapFile(const std::string& path, const std::vector<CapturedFrame>& frames, std::string& error) {
  PcapStream stream;
  if (!stream.Open(path)) {
    error = "Не удалось создать файл " + path;
    return false;
  }
  for (const auto& f : frames) stream.Write(f);
  if (!stream.Good()) {
    error = "Ошибка записи в файл " + path;
    return false;
  }
  return true;
}

bool PcapStream::Open(const std::string& path) {
  file_.open(path, std::ios::binary | std::ios::trunc);
  if (!file_) return false;
  const auto header = PcapFileHeader();
  file_.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
  file_.flush();
  return file_.good();
}

void PcapStream::Write(const CapturedFrame& frame) {
  if (!file_.is_open()) return;
  buffer_.clear();
  encoder_.Append(frame, buffer_);
  file_.write(reinterpret_cast<const char*>(buffer_.data()), static_cast<std::streamsize>(buffer_.size()));
  file_.flush();
}

}  // namespace tessvar::monitor

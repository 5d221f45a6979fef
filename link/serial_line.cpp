#include "link/serial_line.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace tessvar {
namespace {

std::string WithoutBlanks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != ' ' && c != '\t') out.push_back(c);
  }
  return out;
}

std::optional<SerialParity> ParityOf(std::string_view field) {
  // The words of the settings page stand for their letters; the longer word is tried
  // first, as "НЕЧЕТ" is not "НЕТ" but both begin alike.
  if (field.starts_with("НЕЧЕТ")) return SerialParity::Odd;
  if (field.starts_with("НЕТ")) return SerialParity::None;
  if (field.starts_with("ЧЕТ")) return SerialParity::Even;
  if (field.empty()) return std::nullopt;
  switch (field.front()) {
    case 'N': return SerialParity::None;
    case 'O': return SerialParity::Odd;
    case 'E': return SerialParity::Even;
    case 'M': return SerialParity::Mark;
    case 'S': return SerialParity::Space;
    default: return std::nullopt;
  }
}

}  // namespace

std::optional<SerialConfig> ParseSerialSettingsText(std::string_view rawText) {
  const std::string text = WithoutBlanks(rawText);
  const size_t comma1 = text.find(',');
  if (comma1 == std::string::npos) return std::nullopt;
  const size_t comma2 = text.find(',', comma1 + 1);
  if (comma2 == std::string::npos) return std::nullopt;

  SerialConfig config;
  const std::string_view baudText = std::string_view(text).substr(0, comma1);
  uint32_t baud = 0;
  const auto [end, ec] = std::from_chars(baudText.data(), baudText.data() + baudText.size(), baud);
  if (ec != std::errc() || end != baudText.data() + baudText.size() || baud == 0) {
    return std::nullopt;
  }
  config.baudRate = baud;

  const auto parity = ParityOf(std::string_view(text).substr(comma1 + 1, comma2 - comma1 - 1));
  if (!parity) return std::nullopt;
  config.parity = *parity;

  // One digit of data bits; the separator after it is skipped unexamined.
  if (comma2 + 1 >= text.size()) return std::nullopt;
  const char bits = text[comma2 + 1];
  if (bits < '5' || bits > '8') return std::nullopt;
  config.dataBits = static_cast<uint8_t>(bits - '0');

  const std::string_view stop =
      comma2 + 3 <= text.size() ? std::string_view(text).substr(comma2 + 3) : std::string_view();
  if (stop == "1") {
    config.stopBits = SerialStopBits::One;
  } else if (stop == "1.5") {
    config.stopBits = SerialStopBits::OnePointFive;
  } else if (stop == "2") {
    config.stopBits = SerialStopBits::Two;
  } else {
    return std::nullopt;
  }
  config.dtr = false;
  config.rts = true;
  return config;
}

CSerialLine::CSerialLine(std::unique_ptr<SerialPort> port, Clock& clock)
    : port_(std::move(port)), clock_(clock) {}

CSerialLine::~CSerialLine() { Close(); }

bool CSerialLine::Open(std::string_view portName) {
  if (!port_) return false;
  if (port_->IsOpen()) port_->Close();
  return port_->Open(portName);
}

bool CSerialLine::IsOpen() const { return port_ && port_->IsOpen(); }

bool CSerialLine::Configure(std::string_view settingsText) {
  if (!IsOpen()) return false;
  const auto config = ParseSerialSettingsText(settingsText);
  if (!config) return false;
  return Configure(*config);
}

bool CSerialLine::Configure(const SerialConfig& config) {
  if (!IsOpen() || !port_->CurrentConfig()) return false;
  return port_->Configure(config);
}

bool CSerialLine::Write(std::span<const uint8_t> bytes) {
  if (!IsOpen()) return false;
  if (tap_) tap_->OnFrame(FrameDirection::Sent, clock_.MonotonicMs(), bytes);
  return port_->Write(bytes);
}

size_t CSerialLine::ReadQueued(std::span<uint8_t> buffer) {
  if (!IsOpen() || buffer.empty()) return 0;
  const size_t queued = port_->BytesQueued();
  if (queued == 0) return 0;
  return port_->Read(buffer.first(std::min(queued, buffer.size())));
}

size_t CSerialLine::ReadAvailable(std::span<uint8_t> buffer) { return ReadQueued(buffer); }

size_t CSerialLine::CollectReply(std::span<uint8_t> buffer) {
  return CollectReply(buffer, kScratchSize);
}

size_t CSerialLine::CollectReply(std::span<uint8_t> buffer, size_t scratchLimit) {
  size_t n = ReadQueued(buffer);
  if (n == 0) clock_.Sleep(kFirstByteGraceMs);
  clock_.Sleep(kQuietGapMs);
  // Each round either ends the reply or grows it by at least one byte, and a full buffer
  // ends it too, so a line that never falls quiet cannot hold the caller for ever.
  const size_t limit = std::max<size_t>(scratchLimit, 1);
  while (n < buffer.size()) {
    const size_t room = std::min(buffer.size() - n, limit);
    const size_t got = ReadQueued(buffer.subspan(n, room));
    if (got == 0) break;
    n += got;
    clock_.Sleep(kQuietGapMs);
  }
  if (tap_ && n > 0) tap_->OnFrame(FrameDirection::Received, clock_.MonotonicMs(), buffer.first(n));
  return n;
}

void CSerialLine::WaitTransmitted() {
  if (IsOpen()) port_->WaitTransmitted(kTransmitWaitMs);
}

void CSerialLine::Close() {
  if (port_ && port_->IsOpen()) port_->Close();
}

SerialPort* CSerialLine::Handle() { return IsOpen() ? port_.get() : nullptr; }

bool CSerialLine::HasIoError() const { return port_ && port_->HasIoError(); }

}  // namespace tessvar

#include "sim/modbus_session.h"

#include <algorithm>
#include <cstdio>

#include "link/modbus_checksum.h"

namespace tessvar::sim {
namespace {

std::string_view FramingName(ModbusFraming f) {
  switch (f) {
    case ModbusFraming::Rtu: return "rtu";
    case ModbusFraming::Ascii: return "ascii";
    case ModbusFraming::Tcp: return "tcp";
  }
  return "?";
}

std::string Hex4(uint16_t v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%04X", v);
  return buf;
}

std::string HexText(std::span<const uint8_t> bytes) {
  std::vector<uint8_t> text;
  for (uint8_t b : bytes) {
    if (!text.empty()) text.push_back(' ');
    AppendHex(text, b);
  }
  return std::string(text.begin(), text.end());
}

uint64_t NextNoise(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace

uint32_t RtuSilenceMs(uint32_t baud) {
  if (baud == 0 || baud > 19200) return 2;
  return static_cast<uint32_t>((38500 + baud - 1) / baud);
}

std::vector<uint8_t> ShapeReply(ModbusFraming framing, uint16_t transaction, uint8_t unit,
                                std::vector<uint8_t> pdu, const FaultDecision& d, uint64_t& noise) {
  if (d.exception && !pdu.empty()) pdu = BuildExceptionPdu(static_cast<uint8_t>(pdu[0] & 0x7F), d.exception);
  if (d.overcount && pdu.size() >= 2 && (pdu[0] == modbus_function::kReadInput || pdu[0] == modbus_function::kReadHolding)) {
    // Claim two bytes more than follow (one more register).
    pdu[1] = static_cast<uint8_t>(std::min<int>(pdu[1] + 2, 255));
  }
  if (d.wrongAddress) unit = static_cast<uint8_t>(unit == 255 ? 1 : unit + 1);
  std::vector<uint8_t> frame = FrameAdu(framing, transaction, unit, pdu);
  if (d.badChecksum) {
    if (framing == ModbusFraming::Rtu && frame.size() >= 2) {
      frame[frame.size() - 2] ^= 0x5A;
    } else if (framing == ModbusFraming::Ascii && frame.size() >= 5) {
      // The two LRC characters stand before CR LF: write LRC + 1 instead.
      std::vector<uint8_t> binary;
      DecodeHexPairs(std::span<const uint8_t>(frame).subspan(frame.size() - 4, 2), binary);
      std::vector<uint8_t> hex;
      AppendHex(hex, static_cast<uint8_t>(binary.empty() ? 0 : binary[0] + 1));
      frame[frame.size() - 4] = hex[0];
      frame[frame.size() - 3] = hex[1];
    }
  }
  if (d.truncate) frame.resize(std::max<size_t>(1, frame.size() / 2));
  for (uint32_t i = 0; i < d.garbage; ++i) frame.push_back(static_cast<uint8_t>(NextNoise(noise)));
  return frame;
}

ModbusSession::ModbusSession(ModbusSessionOptions options, Transducer& transducer, FaultInjector& faults,
                             SimStats& stats, LogSink log)
    : options_(options),
      transducer_(transducer),
      faults_(faults),
      stats_(stats),
      log_(std::move(log)),
      silenceMs_(RtuSilenceMs(options.baud)),
      noise_(0x5EED ^ options.address) {}

void ModbusSession::Log(const std::string& line) const {
  if (log_) log_(line);
}

void ModbusSession::Receive(std::span<const uint8_t> bytes, uint64_t nowMs) {
  if (bytes.empty() || closing_) return;
  if (options_.trace && log_) Log(std::string(FramingName(options_.framing)) + " rx " + HexText(bytes));
  if (options_.framing != ModbusFraming::Tcp) {
    if (wakeUp_.Feed(bytes, nowMs)) AnswerWakeUp(nowMs);
    // A wake-up octet on a quiet line is no frame: it is neither parsed nor counted.
    if (wakeUp_.LoneZero() && buffer_.empty()) return;
  }
  if (options_.framing == ModbusFraming::Rtu && !buffer_.empty() && nowMs - lastByteMs_ >= silenceMs_) {
    // The gap is only seen between two reads: when the loop itself was late, bytes that lay
    // in the driver's buffer look late too. If the old and the new bytes together make a
    // frame with a good CRC, they were one frame; otherwise the silence ended the old one.
    std::vector<uint8_t> joined = buffer_;
    joined.insert(joined.end(), bytes.begin(), bytes.end());
    const RequestParseResult r = ParseRtuRequest(joined, false);
    if (!(r.status == RequestStatus::Complete && r.consumed > buffer_.size())) Parse(true, nowMs);
  }
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  lastByteMs_ = nowMs;
  Parse(false, nowMs);
}

void ModbusSession::AnswerWakeUp(uint64_t nowMs) {
  // The answer leaves once the master has had time to switch to the answer rate.
  constexpr uint64_t kAnswerDelayMs = 10;
  const uint32_t rate = options_.lineRate ? options_.lineRate() : 0;
  auto answer = transducer_.ProbeAnswer(rate);
  Log("wake-up burst at " + (rate ? std::to_string(rate) + " baud" : std::string("an unknown rate")) +
      (answer ? " -> answered " + HexText(*answer) : std::string(" -> no answer")));
  if (answer) pending_.push_back({nowMs + kAnswerDelayMs, std::move(*answer)});
}

void ModbusSession::Tick(uint64_t nowMs) {
  if (options_.framing == ModbusFraming::Rtu && !buffer_.empty() && nowMs - lastByteMs_ >= silenceMs_)
    Parse(true, nowMs);
}

std::optional<uint64_t> ModbusSession::NextDeadline() const {
  std::optional<uint64_t> next;
  if (options_.framing == ModbusFraming::Rtu && !buffer_.empty()) next = lastByteMs_ + silenceMs_;
  if (!pending_.empty() && (!next || pending_.front().dueMs < *next)) next = pending_.front().dueMs;
  return next;
}

std::vector<uint8_t> ModbusSession::TakeDue(uint64_t nowMs) {
  std::vector<uint8_t> out;
  while (!pending_.empty() && pending_.front().dueMs <= nowMs) {
    out.insert(out.end(), pending_.front().bytes.begin(), pending_.front().bytes.end());
    pending_.pop_front();
  }
  return out;
}

void ModbusSession::Parse(bool frameEnded, uint64_t nowMs) {
  // Every pass consumes at least one byte or stops, so this ends.
  while (!buffer_.empty() && !closing_) {
    RequestParseResult r;
    switch (options_.framing) {
      case ModbusFraming::Rtu: r = ParseRtuRequest(buffer_, frameEnded); break;
      case ModbusFraming::Ascii: r = ParseAsciiRequest(buffer_); break;
      case ModbusFraming::Tcp: r = ParseTcpRequest(buffer_); break;
    }
    if (r.status == RequestStatus::Incomplete || r.consumed == 0) break;
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(r.consumed));
    switch (r.status) {
      case RequestStatus::Complete:
        Handle(r.request, nowMs);
        break;
      case RequestStatus::BadChecksum:
        ++stats_.dropped;
        if (log_) Log(std::string(FramingName(options_.framing)) + " dropped " + std::to_string(r.consumed) +
                      " bytes: bad checksum");
        break;
      case RequestStatus::Malformed:
        ++stats_.dropped;
        if (log_) Log(std::string(FramingName(options_.framing)) + " dropped " + std::to_string(r.consumed) +
                      " bytes: malformed frame");
        if (options_.framing == ModbusFraming::Tcp) closing_ = true;  // cannot resynchronise
        break;
      case RequestStatus::Incomplete:
        break;
    }
  }
}

std::string ModbusSession::Describe(const ModbusRequest& r) const {
  return std::string(FramingName(options_.framing)) + " unit=" + std::to_string(r.unit) +
         " fn=" + std::to_string(r.function) + " start=" + Hex4(r.start) +
         " count=" + std::to_string(r.quantity);
}

void ModbusSession::Handle(const ModbusRequest& req, uint64_t nowMs) {
  ++stats_.requests;
  const bool serial = options_.framing != ModbusFraming::Tcp;
  const bool broadcast = serial && req.unit == 0;
  if (serial && !broadcast && req.unit != options_.address) {
    ++stats_.ignored;
    if (log_) Log(Describe(req) + " -> ignored (not our address)");
    return;
  }

  std::vector<uint8_t> pdu;
  if (req.exception) {
    pdu = BuildExceptionPdu(req.function, req.exception);
  } else if (req.function == modbus_function::kReadInput || req.function == modbus_function::kReadHolding) {
    std::vector<uint16_t> values;
    const uint8_t ex = transducer_.ReadRegisters(req.start, req.quantity, values, nowMs);
    pdu = ex ? BuildExceptionPdu(req.function, ex) : BuildReadRegistersPdu(req.function, values);
  } else if (req.function == modbus_function::kWriteMultiple) {
    const uint8_t ex = transducer_.WriteRegisters(req.start, req.quantity, req.data);
    pdu = ex ? BuildExceptionPdu(req.function, ex) : BuildWriteMultipleReplyPdu(req.start, req.quantity);
  } else if (req.function == modbus_function::kRtcTest) {
    const uint8_t ex = transducer_.StartRtcTest(req.data);
    pdu = ex ? BuildExceptionPdu(req.function, ex) : BuildRtcTestReplyPdu(req.data);
  } else {
    pdu = BuildExceptionPdu(req.function, modbus_exception::kIllegalFunction);
  }

  if (broadcast) {
    ++stats_.ignored;
    if (log_) Log(Describe(req) + " -> broadcast, no reply");
    return;
  }

  const FaultDecision d = faults_.Next();
  const bool exceptionReply = d.exception || (pdu.size() == 2 && (pdu[0] & 0x80));
  auto result = [&] {
    std::string r = exceptionReply ? "exception " + std::to_string(d.exception ? d.exception : pdu[1]) : "ok";
    if (d.Any()) r += " [" + d.Describe() + "]";
    return r;
  };
  if (d.noReply) {
    if (log_) Log(Describe(req) + " -> " + result());
    return;
  }
  const std::string outcome = log_ ? result() : std::string();
  const uint8_t unit = options_.framing == ModbusFraming::Tcp ? req.unit : options_.address;
  std::vector<uint8_t> frame = ShapeReply(options_.framing, req.transaction, unit, std::move(pdu), d, noise_);
  ++stats_.replies;
  if (exceptionReply) ++stats_.exceptions;
  if (log_) Log(Describe(req) + " -> " + outcome + ", " + std::to_string(frame.size()) + " bytes");
  if (options_.trace && log_) Log(std::string(FramingName(options_.framing)) + " tx " + HexText(frame));
  pending_.push_back({nowMs + d.delayMs, std::move(frame)});
  ++repliesHere_;
  if (faults_.CloseAfter() && !serial && repliesHere_ >= faults_.CloseAfter()) {
    closing_ = true;
    faults_.CountClose();
  }
}

}  // namespace tessvar::sim

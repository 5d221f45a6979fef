#include "monitor/traffic_capture.h"

#include <algorithm>
#include <cstddef>
#include <chrono>

#include "link/iec104_apci.h"
#include "model/connection_settings.h"

namespace tessvar::monitor {

namespace {

constexpr size_t kMarksKept = 1024;

WallTime AddMs(const WallTime& base, uint64_t ms) {
  using namespace std::chrono;
  const sys_days day = year_month_day{year{base.year}, month{static_cast<unsigned>(base.month)},
                                      std::chrono::day{static_cast<unsigned>(base.day)}};
  const auto t = day + hours{base.hour} + minutes{base.minute} + seconds{base.second} +
                 milliseconds{base.millisecond} + milliseconds{ms};
  const sys_days newDay = floor<days>(t);
  const year_month_day ymd{newDay};
  const hh_mm_ss tod{floor<milliseconds>(t - newDay)};
  WallTime w;
  w.year = static_cast<int>(ymd.year());
  w.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  w.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  w.dayOfWeek = static_cast<int>(weekday{newDay}.c_encoding());
  w.hour = static_cast<int>(tod.hours().count());
  w.minute = static_cast<int>(tod.minutes().count());
  w.second = static_cast<int>(tod.seconds().count());
  w.millisecond = static_cast<int>(tod.subseconds().count());
  return w;
}

int64_t UnixMs(const WallTime& t) {
  using namespace std::chrono;
  const sys_days day = year_month_day{year{t.year}, month{static_cast<unsigned>(t.month)},
                                      std::chrono::day{static_cast<unsigned>(t.day)}};
  return day.time_since_epoch().count() * 86400000LL + t.hour * 3600000LL + t.minute * 60000LL +
         t.second * 1000LL + t.millisecond;
}

// The first cause octet of a received ASDU, when the frame carries one.
std::optional<uint8_t> CauseOctetOf(std::span<const uint8_t> f, const FrameFormat& format) {
  size_t at = 0;
  if (format.protocol == FrameProtocol::Iec104) {
    if (f.size() < iec104::kHeadOctets || iec104::FormatOf(f[2]) != iec104::ApduFormat::I) return std::nullopt;
    at = iec104::kHeadOctets + 2;
  } else if (format.protocol == FrameProtocol::Ft12) {
    if (f.size() < 4 || f[0] != 0x68) return std::nullopt;
    at = 4 + 1 + (format.linkAddressSize == 2 ? 2 : 1) + 2;
    if (at + 2 >= f.size()) return std::nullopt;  // the checksum and end octet are no ASDU
  } else {
    return std::nullopt;
  }
  if (at >= f.size()) return std::nullopt;
  return f[at];
}

std::string FailureLabel(uint8_t code) {
  const auto r = static_cast<LinkResult>(code);
  switch (r) {
    case LinkResult::kNoReply: return "Нет ответа";
    case LinkResult::kBadChecksum: return "Контрольная сумма";
    case LinkResult::kBadStart: return "Стартовый байт";
    case LinkResult::kBadStop: return "Стоповый байт";
    case LinkResult::kNegativeAck: return "Отрицательная квитанция";
    case LinkResult::kNotConfirmed: return "Не подтверждено";
    case LinkResult::kBadShortReply: return "Короткий ответ";
    case LinkResult::kNoDescription: return "Нет описания";
    case LinkResult::kUnknownType: return "Неизвестный тип";
    case LinkResult::kUnknownCause: return "Неизвестная причина";
    case LinkResult::kUnknownObjectAddress: return "Неизвестный адрес объекта";
    default:
      if (code > ToByte(LinkResult::kExceptionBase) && code < ToByte(LinkResult::kSingleCharAck)) {
        return "Исключение " + std::to_string(code - ToByte(LinkResult::kExceptionBase));
      }
      return "Ошибка " + std::to_string(code);
  }
}

}  // namespace

std::vector<std::string> CounterLines(const TrafficCounters& c) {
  std::vector<std::string> lines = {"Запросов: " + std::to_string(c.requests),
                                    "Принято кадров: " + std::to_string(c.received),
                                    "Удачных обменов: " + std::to_string(c.good)};
  for (const auto& [code, n] : c.failures) lines.push_back(FailureLabel(code) + ": " + std::to_string(n));
  for (const auto& [cause, n] : c.negativeCauses) {
    lines.push_back("Отрицательная причина " + std::to_string(cause) + ": " + std::to_string(n));
  }
  return lines;
}

FrameFormat FormatFor(const ConnectionSettings& s) {
  FrameFormat f;
  switch (s.protocol) {
    case ProtocolKind::ModbusAscii: f.protocol = FrameProtocol::ModbusAscii; break;
    case ProtocolKind::ModbusTcp: f.protocol = FrameProtocol::ModbusTcp; break;
    case ProtocolKind::Iec101: f.protocol = FrameProtocol::Ft12; break;
    case ProtocolKind::Iec104: f.protocol = FrameProtocol::Iec104; break;
    default: f.protocol = FrameProtocol::ModbusRtu; break;
  }
  if (f.protocol == FrameProtocol::Ft12) {
    f.asdu = AsduSizesFrom(s.iecSizes);
    f.linkAddressSize = f.asdu.commonAddress;
  }
  return f;
}

TrafficCapture::TrafficCapture(Clock& clock, size_t capacity)
    : clock_(clock), slots_(std::max<size_t>(capacity, 1)) {
  wallBaseMs_ = startMs_ = clock_.MonotonicMs();
  wallBase_ = clock_.LocalNow();
  utcBaseMs_ = UnixMs(clock_.UtcNow());
}

CapturedFrame* TrafficCapture::Slot(uint64_t sequence) {
  if (sequence < oldest_ || sequence >= next_) return nullptr;
  return &slots_[sequence % slots_.size()];
}

WallTime TrafficCapture::WallAt(uint64_t monotonicMs) const {
  return AddMs(wallBase_, monotonicMs >= wallBaseMs_ ? monotonicMs - wallBaseMs_ : 0);
}

void TrafficCapture::OnFrame(FrameDirection direction, uint64_t monotonicMs, std::span<const uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  const uint64_t seq = next_++;
  if (seq - oldest_ >= slots_.size()) oldest_ = seq - slots_.size() + 1;
  CapturedFrame& f = slots_[seq % slots_.size()];
  f.sequence = seq;
  f.sinceStartMs = monotonicMs >= startMs_ ? monotonicMs - startMs_ : 0;
  f.wall = WallAt(monotonicMs);
  f.utcMs = utcBaseMs_ + static_cast<int64_t>(monotonicMs >= wallBaseMs_ ? monotonicMs - wallBaseMs_ : 0);
  f.connection = connection_;
  f.deviceIpv4 = deviceIpv4_;
  f.devicePort = devicePort_;
  f.direction = direction;
  f.format = format_;
  f.bytes.assign(bytes.begin(), bytes.end());  // the slot's buffer is reused
  f.failure.reset();
  if (direction == FrameDirection::Sent) {
    ++counters_.requests;
    lastSent_ = seq;
    return;
  }
  ++counters_.received;
  lastReceived_ = seq;
  if (const auto cause = CauseOctetOf(bytes, format_); cause && IsNegative(*cause)) {
    ++counters_.negativeCauses[CauseBits(*cause)];
  }
}

void TrafficCapture::OnRunStart(const ConnectionSettings& settings, bool userStart) {
  const uint64_t now = clock_.MonotonicMs();
  const WallTime wall = clock_.LocalNow();
  const int64_t utc = UnixMs(clock_.UtcNow());
  std::lock_guard lock(mutex_);
  format_ = FormatFor(settings);
  wallBaseMs_ = now;
  wallBase_ = wall;
  utcBaseMs_ = utc;
  ++connection_;
  if (userStart) {
    startMs_ = now;
    counters_ = {};
  }
}

void TrafficCapture::OnConnected(uint32_t ipv4, uint16_t port) {
  std::lock_guard lock(mutex_);
  ++connection_;
  deviceIpv4_ = ipv4;
  devicePort_ = port;
}

void TrafficCapture::OnExchange(LinkResult result) {
  std::lock_guard lock(mutex_);
  if (result == LinkResult::kGood) {
    ++counters_.good;
    return;
  }
  ++counters_.failures[ToByte(result)];
  // The frame that ended the exchange: the reply to the latest request, or the request
  // itself when nothing came back.
  const uint64_t ended = lastReceived_ > lastSent_ ? lastReceived_ : lastSent_;
  CapturedFrame* f = Slot(ended);
  if (f == nullptr) return;
  f->failure = result;
  marks_.emplace_back(ended, result);
  if (marks_.size() > kMarksKept) marks_.erase(marks_.begin(), marks_.begin() + kMarksKept / 2);
  ++markCount_;
}

std::vector<CapturedFrame> TrafficCapture::FramesAfter(uint64_t after, size_t limit) const {
  std::lock_guard lock(mutex_);
  std::vector<CapturedFrame> out;
  const uint64_t first = std::max(after + 1, oldest_);
  if (first >= next_) return out;
  out.reserve(static_cast<size_t>(std::min<uint64_t>(next_ - first, limit)));
  for (uint64_t seq = first; seq < next_ && out.size() < limit; ++seq) out.push_back(slots_[seq % slots_.size()]);
  return out;
}

uint64_t TrafficCapture::MarkCount() const {
  std::lock_guard lock(mutex_);
  return markCount_;
}

std::vector<std::pair<uint64_t, LinkResult>> TrafficCapture::MarksAfter(uint64_t markCount) const {
  std::lock_guard lock(mutex_);
  const uint64_t missing = markCount_ - std::min(markCount, markCount_);
  const size_t take = static_cast<size_t>(std::min<uint64_t>(missing, marks_.size()));
  return {marks_.end() - static_cast<std::ptrdiff_t>(take), marks_.end()};
}

TrafficCounters TrafficCapture::Counters() const {
  std::lock_guard lock(mutex_);
  return counters_;
}

void TrafficCapture::ResetCounters() {
  std::lock_guard lock(mutex_);
  counters_ = {};
}

void TrafficCapture::Clear() {
  std::lock_guard lock(mutex_);
  oldest_ = next_;
  lastSent_ = lastReceived_ = 0;
}

size_t TrafficCapture::Size() const {
  std::lock_guard lock(mutex_);
  return static_cast<size_t>(next_ - oldest_);
}

size_t TrafficCapture::BufferBytes() const {
  std::lock_guard lock(mutex_);
  size_t total = 0;
  for (const auto& s : slots_) total += s.bytes.capacity();
  return total;
}

}  // namespace tessvar::monitor

#include "acquisition/clock_sync.h"

#include "acquisition/run_control_impl.h"
#include "acquisition/run_ids.h"
#include "acquisition/run_texts.h"
#include "link/link_result.h"
#include "ui/dialog.h"
#include "ui/window_host.h"

namespace tessvar {

namespace {
constexpr uint32_t kAsciiReplyWaitMs = 500;
constexpr uint32_t kRtuReplyWaitMs = 350;
constexpr int kLatestMillisecond = 10;

bool Contains(std::string_view name, std::string_view a, std::string_view b) {
  return name.find(a) != std::string_view::npos || name.find(b) != std::string_view::npos;
}
}  // namespace

std::vector<uint8_t> ClockWriteData(const WallTime& t, bool hasDateRegister) {
  const auto ms = static_cast<uint16_t>(t.second * 1000 + t.millisecond);
  const int weekday = t.dayOfWeek == 0 ? 7 : t.dayOfWeek;  // 1 Monday .. 7 Sunday
  const auto dayMonth = static_cast<uint8_t>(weekday * 32 + t.month);
  const auto year = static_cast<uint8_t>(t.year - 2000);
  std::vector<uint8_t> d = {0, static_cast<uint8_t>(hasDateRegister ? 4 : 3),
                            static_cast<uint8_t>(hasDateRegister ? 8 : 7),
                            static_cast<uint8_t>(ms >> 8), static_cast<uint8_t>(ms & 0xFF),
                            static_cast<uint8_t>(t.hour), static_cast<uint8_t>(t.minute)};
  if (hasDateRegister) {
    d.insert(d.end(), {static_cast<uint8_t>(t.day), dayMonth, 0, year});
  } else {
    d.insert(d.end(), {year, static_cast<uint8_t>(t.day), dayMonth});
  }
  return d;
}

void CRunControl::Impl::OnClockSync() {
  const ProtocolKind protocol = Protocol();
  const DescriptionEntry* tms = nullptr;
  bool hasDate = false;
  for (const auto& e : ctx.description.entries) {
    if (!tms && Contains(e.name, "Время (tms)", "Time (tms)")) tms = &e;
    if (Contains(e.name, "Время (tmd)", "Time (tmd)")) hasDate = true;
  }
  if (!tms) {
    ctx.host.MessageBox(run_texts::kNoClock, run_texts::kError);
    return;
  }
  // Let the reply to the last poll request arrive before the write.
  ctx.host.KillTimer(ctx.dialog, kPollTimer);
  ctx.clock.Sleep(ctx.pollPeriodMs);
  const auto start = static_cast<uint16_t>(ParseHexText(tms->address));
  const auto address = static_cast<uint8_t>(ctx.settings.deviceAddress & 0xFF);

  const auto restart = [this] {
    OnStart();
    if (file.IsOpen()) newFileNeeded = false;
  };
  if (protocol == ProtocolKind::Iec101 || protocol == ProtocolKind::Iec104) {
    ctx.host.MessageBox(run_texts::kIecNotAvailable, run_texts::kError);
    return;
  }
  if (protocol == ProtocolKind::NoProtocol) {
    ctx.host.MessageBox(run_texts::kLinkError, run_texts::kError);
    restart();
    return;
  }
  if (SerialProtocol(protocol) && !master.Serial().IsOpen()) {
    ctx.host.MessageBox(OpenFailureText(), run_texts::kError);
    return;
  }
  CTcpLink* link = protocol == ProtocolKind::ModbusTcp ? &tcp : nullptr;
  std::vector<uint8_t> discard;
  master.ReceiveAscii(discard, link);

  // The time sent lies within the first 10 ms of a second: wait for the next one if needed.
  WallTime t = Now();
  if (t.millisecond > kLatestMillisecond) {
    ctx.clock.Sleep(static_cast<uint32_t>(1000 - t.millisecond));
    t = Now();
  }
  const std::vector<uint8_t> data = ClockWriteData(t, hasDate);

  std::vector<uint8_t> reply;
  LinkResult result;
  if (protocol == ProtocolKind::ModbusAscii) {
    master.SendAscii(address, kModbusWriteMultipleRegisters, start, data);
    ctx.clock.Sleep(kAsciiReplyWaitMs);
    result = master.ReceiveAscii(reply);
  } else {
    master.SendRtu(address, kModbusWriteMultipleRegisters, start, data, link);
    ctx.clock.Sleep(kRtuReplyWaitMs);
    result = master.ReceiveRtu(reply, link);
  }
  // The reply echoes the start register and the quantity.
  const uint8_t echo[] = {static_cast<uint8_t>(start >> 8), static_cast<uint8_t>(start & 0xFF),
                          data[0], data[1]};
  bool echoed = reply.size() >= 6;
  for (size_t i = 0; echoed && i < 4; ++i) echoed = reply[2 + i] == echo[i];
  if (result != LinkResult::kGood && protocol == ProtocolKind::ModbusAscii) {
    ctx.host.MessageBox(run_texts::kLinkError, run_texts::kError);
  } else if (result != LinkResult::kGood || !echoed) {
    ctx.host.MessageBox(run_texts::kClockSyncFailed, run_texts::kError);
  }
  restart();
}

}  // namespace tessvar

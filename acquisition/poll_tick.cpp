#include <algorithm>

#include "acquisition/run_control_impl.h"
#include "acquisition/run_ids.h"
#include "acquisition/run_texts.h"
#include "link/link_result.h"
#include "platform/clock.h"
#include "ui/dialog.h"
#include "ui/window_host.h"

namespace tessvar {

namespace {
constexpr uint32_t kRestartPauseMs = 3000;

// Keeps a tick from running inside itself: a message box raised by the tick lets the
// window's timers run while it is open.
class TickGuard {
 public:
  explicit TickGuard(bool& flag) : flag_(flag), entered_(!flag) { flag_ = true; }
  ~TickGuard() {
    if (entered_) flag_ = false;
  }
  bool Entered() const { return entered_; }

 private:
  bool& flag_;
  bool entered_;
};
}  // namespace

WallTime CRunControl::Impl::Now() const {
  return ctx.settings.timeBase == TimeBase::Gmt ? ctx.clock.UtcNow() : ctx.clock.LocalNow();
}

void CRunControl::Impl::PollTick() {
  TickGuard guard(inTick);
  if (!guard.Entered()) return;

  const ProtocolKind protocol = Protocol();
  uint8_t result = LinkResult::kError;
  reply.clear();
  switch (protocol) {
    case ProtocolKind::ModbusAscii:
      if (master.Serial().IsOpen()) result = master.ReceiveAscii(reply);
      break;
    case ProtocolKind::ModbusRtu:
      if (master.Serial().IsOpen()) result = master.ReceiveRtu(reply);
      break;
    case ProtocolKind::ModbusTcp:
      if (tcp.IsOpen()) {
        // The reply may take up to 5 s; no tick may queue up behind it.
        ctx.host.KillTimer(ctx.dialog, kPollTimer);
        result = master.ReceiveRtu(reply, &tcp);
        ArmPollTimer();
      }
      break;
    default:
      break;
  }
  ctx.collect();
  if (ctx.description.fileName.empty()) result = LinkResult::kNoDescription;
  if (result != LinkResult::kGood) {
    FailAndRestart(result);
    return;
  }
  state.m_linkTrouble = false;
  if (newFileNeeded && ctx.save && recordingAllowed) OpenRecordFile();

  const bool decode = (lastCause == 1 || lastCause == 3 || lastCause == 5 ||
                       (lastCause >= 20 && lastCause <= 36)) &&
                      !reply.empty();
  if (decode) {
    const std::span<const uint8_t> data =
        std::span<const uint8_t>(reply).subspan(std::min<size_t>(2, reply.size()));
    if (!CompletesPass(entries, block)) {
      accumulation.insert(accumulation.end(), data.begin(), data.end());
    } else {
      accumulation.insert(accumulation.end(), data.begin(), data.end());
      std::vector<uint8_t> dataSet;
      dataSet.swap(accumulation);
      AfterDataSet(dataSet);
    }
  }

  ctx.show();
  newFileNeeded = false;
  if (ctx.description.protocolCode != 2) block = SelectNextBlock(entries, block.nextCursor);

  ctx.clock.Yield();
  const WallTime now = Now();
  SetField(run_ids::kComputerTime, computerTimeText);
  computerTimeText = ComputerTimeText(now);

  state.m_linkTrouble = false;
  SetStatus(run_texts::kRequesting);
  SendRequest(protocol);
  ctx.show();
}

void CRunControl::Impl::AfterDataSet(std::span<const uint8_t> dataSet) {
  DecodeOptions options;
  options.physicalUnits = ctx.settings.displayMode == DisplayMode::PhysicalUnits;
  options.iec = false;
  options.divisors = ctx.description.divisors;
  DecodeDataSet(entries, dataSet, options, raw);
  RawValues codes = raw;
  options.physicalUnits = false;
  DecodeDataSet(entries, dataSet, options, codes);
  counterCodes = CounterCodeTexts(codes);
  RefreshValues();
  if (file.IsOpen()) WriteRecordLine();
  ++dataSets;
  if (dataSetListener) dataSetListener();
}

void CRunControl::Impl::FailAndRestart(uint8_t result) {
  std::string_view text = LinkResultText(result);
  if (text.empty()) text = run_texts::kError;
  SetStatus(text);
  state.m_linkTrouble = true;
  ++state.m_failureCount;
  ShowFailureCount();
  ctx.show();
  ctx.clock.Sleep(kRestartPauseMs);
  if (!state.m_running) return;  // stopped while the pause ran
  // An adapter that reported an I/O error is gone; closing it lets the restart open it anew.
  if (master.Serial().HasIoError()) master.Serial().Close();
  OnStart();
  if (state.m_running && Protocol() == ProtocolKind::ModbusTcp && !tcp.IsOpen()) {
    ctx.host.KillTimer(ctx.dialog, kReconnectTimer);
    OnStart();
  }
  if (file.IsOpen()) newFileNeeded = false;
}

}  // namespace tessvar

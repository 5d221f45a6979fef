#include <algorithm>

#include "acquisition/iec_data_set.h"
#include "acquisition/run_control_impl.h"
#include "acquisition/run_texts.h"
#include "link/link_result.h"
#include "platform/clock.h"
#include "ui/window_host.h"

namespace tessvar {

namespace {
constexpr uint32_t kRestartPauseMs = 3000;
// Address and function of a MODBUS reply; two zeros ahead of an IEC image.
constexpr size_t kReplyHeadSize = 2;

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

  LinkEngine* link = Engine();
  CollectOutcome got;  // a closed link leaves the failure result
  reply.clear();
  if (link && link->IsOpen()) {
    // A collect that may wait for seconds must not have ticks queue up behind it.
    const bool holdTimer = link->CollectMayWait();
    if (holdTimer) ctx.view.KillTimer(kPollTimer);
    // A reply that keeps the window waiting longer than a poll period is said to be awaited.
    ArmLongWaitStatus(ctx.pollPeriodMs, run_texts::kAwaitingReply);
    got = link->Collect(reply);
    DisarmLongWaitStatus();
    if (holdTimer) ArmPollTimer();
  }
  // "Стоп" or the close box during the wait: nothing more is sent, the stop comes next.
  if (ctx.clock.Cancelled()) return;
  if (link) {
    if (const auto t = link->DecodedConverterTime()) raw.time = *t;
    if (const auto t = link->RequestTime(); t && got.showComputerTime) computerTimeText = ComputerTimeText(*t);
  }
  if (!got.message.empty()) ctx.host.MessageBox(got.message, run_texts::kError);
  if (got.showConverterTime) ctx.view.ShowText(RunText::kConverterTime, ConverterTimeText(raw.time));
  if (got.showComputerTime) ctx.view.ShowText(RunText::kComputerTime, computerTimeText);
  if (got.showConverterTime || got.showComputerTime) ctx.show();
  ctx.collect();
  LinkResult result = got.result;
  if (ctx.description.fileName.empty()) result = LinkResult::kNoDescription;
  if (observer) observer->OnExchange(result);
  if (result != LinkResult::kGood) {
    FailAndRestart(result);
    return;
  }
  state.m_linkTrouble = false;
  if (newFileNeeded && ctx.save && recordingAllowed) OpenRecordFile();

  if (got.passComplete) block.nextCursor = entries.size();
  if (link->ReplyHasData() && !reply.empty()) {
    // The two leading octets (address and function, or two zeros) carry no values.
    const std::span<const uint8_t> data =
        std::span<const uint8_t>(reply).subspan(std::min<size_t>(kReplyHeadSize, reply.size()));
    accumulation.insert(accumulation.end(), data.begin(), data.end());
    if (link->EachReplyIsDataSet() || CompletesPass(entries, block)) {
      std::vector<uint8_t> dataSet;
      dataSet.swap(accumulation);
      AfterDataSet(dataSet, link->EachReplyIsDataSet());
    }
  }

  ctx.show();
  newFileNeeded = false;
  if (ctx.description.protocolCode != kProtocolCodeFixedBlock) {
    block = SelectNextBlock(entries, block.nextCursor);
  }

  if (link->StampsRequestTime()) {
    ctx.clock.Yield();
    if (ctx.clock.Cancelled()) return;
    const WallTime now = Now();
    ctx.view.ShowText(RunText::kComputerTime, computerTimeText);
    computerTimeText = ComputerTimeText(now);
  }

  state.m_linkTrouble = false;
  SetStatus(run_texts::kRequesting);
  if (link->SendRequest(block) == AfterRequest::kSoftRestart) {
    // The link stays initialised; the restart only asks the device anew.
    state.m_softRestart = true;
    OnStart();
    if (file.IsOpen()) newFileNeeded = false;
    return;
  }
  ctx.show();
}

void CRunControl::Impl::AfterDataSet(std::span<const uint8_t> dataSet, bool iecImage) {
  DecodeOptions options;
  options.physicalUnits = ctx.settings.displayMode == DisplayMode::PhysicalUnits;
  options.iec = iecImage;
  options.divisors = ctx.description.divisors;
  const auto decode = [&](RawValues& into) {
    if (iecImage) {
      const LinkEngine* link = Engine();
      DecodeIecImage(entries, dataSet, link ? link->AwaitedEntries() : std::vector<bool>{}, options,
                     into);
    } else {
      DecodeDataSet(entries, dataSet, options, into);
    }
  };
  decode(raw);
  // The counters' own codes, whatever the display mode, for the energy check.
  RawValues codes = raw;
  options.physicalUnits = false;
  decode(codes);
  counterCodes = CounterCodeTexts(codes);
  const bool wasStale = state.m_valuesStale;
  state.m_valuesStale = false;
  RefreshValues();
  if (wasStale) ctx.view.Repaint();  // the grey goes
  if (file.IsOpen()) WriteRecordLine();
  ++dataSets;
  if (dataSetListener) dataSetListener();
}

void CRunControl::Impl::FailAndRestart(LinkResult result) {
  std::string_view text = LinkResultText(result);
  if (text.empty()) text = run_texts::kError;
  SetStatus(text);
  state.m_linkTrouble = true;
  state.m_valuesStale = true;
  NoteFailure(text);
  ++state.m_failureCount;
  ShowFailureCount();
  ctx.show();
  ctx.view.Repaint();  // the values turn grey
  ctx.clock.Sleep(kRestartPauseMs);
  // Stopped while the pause ran, or "Стоп" is about to: no restart.
  if (!state.m_running || ctx.clock.Cancelled()) return;
  // An adapter that reported an I/O error is gone; closing it lets the restart open it anew.
  if (serial.HasIoError()) serial.Close();
  OnStart();
  LinkEngine* link = Engine();
  if (state.m_running && link && link->AwaitsConnection() && !ctx.clock.Cancelled()) {
    ctx.view.KillTimer(kReconnectTimer);
    OnStart();
  }
  if (file.IsOpen()) newFileNeeded = false;
}

}  // namespace tessvar

#include "tests/soak/soak_run.h"

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>

#include "acquisition/iec101_engine.h"
#include "acquisition/run_control.h"
#include "acquisition/run_texts.h"
#include "app/control_ids.h"
#include "monitor/traffic_capture.h"
#include "link/link_result.h"
#include "tests/soak/record_check.h"
#include "ui/dialog.h"

namespace tessvar::soak {

namespace {

constexpr uint64_t kHourMs = 3600000;
constexpr uint64_t kStepMs = 1000;
constexpr uint32_t kRestartPauseMs = 3000;
constexpr uint32_t kRecordTimerMs = 500;
constexpr uint64_t kMemorySampleMs = 300000;
constexpr int64_t kMemorySlackBytes = 512 * 1024;
constexpr size_t kMaxProblemTexts = 20;

int64_t HeapInUse() { return static_cast<int64_t>(mallinfo2().uordblks); }

// Local wall time `ms` later (or earlier) than `t`.
WallTime Shift(const WallTime& t, int64_t ms) {
  using namespace std::chrono;
  const sys_days day = year_month_day{year{t.year}, month{static_cast<unsigned>(t.month)},
                                      std::chrono::day{static_cast<unsigned>(t.day)}};
  const int64_t at = duration_cast<milliseconds>(day.time_since_epoch()).count() +
                     ((t.hour * 60 + t.minute) * 60 + t.second) * 1000 + t.millisecond + ms;
  const sys_days d = floor<days>(sys_time<milliseconds>(milliseconds(at)));
  const year_month_day ymd(d);
  int64_t rest = at - duration_cast<milliseconds>(d.time_since_epoch()).count();
  WallTime w;
  w.year = static_cast<int>(ymd.year());
  w.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  w.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  w.dayOfWeek = static_cast<int>(weekday(d).c_encoding());
  w.millisecond = static_cast<int>(rest % 1000);
  rest /= 1000;
  w.second = static_cast<int>(rest % 60);
  w.minute = static_cast<int>(rest / 60 % 60);
  w.hour = static_cast<int>(rest / 3600);
  return w;
}

std::string LimitText(uint64_t ms) {
  const uint64_t s = ms / 1000;
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", static_cast<unsigned>(s / 3600),
                static_cast<unsigned>(s / 60 % 60), static_cast<unsigned>(s % 60));
  return text;
}

// The texts the status line may show for a failure.
std::set<std::string, std::less<>> FailureTexts() {
  std::set<std::string, std::less<>> texts = {
      std::string(run_texts::kError), std::string(run_texts::kReconnecting),
      std::string(kIecLinkInitFailed), std::string(kIecNotConfirmed)};
  for (int r = 0; r < 256; ++r) {
    const auto text = LinkResultText(static_cast<LinkResult>(r));
    if (!text.empty() && static_cast<LinkResult>(r) != LinkResult::kGood) texts.emplace(text);
  }
  return texts;
}

struct WallJump {
  uint64_t atMs;
  int64_t byMs;
};

class SoakRun final : public DialogObserver {
 public:
  explicit SoakRun(const SoakOptions& o)
      : options_(o), runMs_(static_cast<uint64_t>(std::llround(o.hours * kHourMs))),
        rng_(o.seed), failureTexts_(FailureTexts()) {
    presented_.reserve(runMs_ / 200 + 1024);
    files_.reserve(64);
    result_.problems.reserve(kMaxProblemTexts);
  }

  SoakResult Run() {
    const auto wallStart = std::chrono::steady_clock::now();
    target_ = MakeSoakTarget(options_.protocol);
    result_.resumeBoundMs = kRestartPauseMs + target_->DetectionMs() + 2 * PollPeriod() + 1000;
    Prepare();
    Drive();
    Settle();
    result_.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    target_.reset();
    return result_;
  }

 private:
  uint32_t PollPeriod() {
    const std::string text = target_->Window().GetDialog().Text(idc::kPollPeriod);
    const long v = std::strtol(text.c_str(), nullptr, 10);
    return v > 0 ? static_cast<uint32_t>(v) : 1000;
  }

  // TESSVAR_SOAK_TRACE=1 prints the schedule as it runs.
  void Trace(const std::string& text) const {
    if (!trace_) return;
    const uint64_t now = target_->Clock().MonotonicMs();
    std::fprintf(stderr, "%8.1f s  %s\n", static_cast<double>(now) / 1000, text.c_str());
  }

  void Problem(std::string text) {
    ++result_.problemCount;
    if (result_.problems.size() < kMaxProblemTexts) {
      result_.problems.push_back(std::to_string(target_->Clock().MonotonicMs() / 1000) + " s: " +
                                 std::move(text));
    }
  }

  // Wall time and the two jumps: a short run crosses midnight, jumps back over it and forward
  // over it again; a day starts at 23:05, crosses two midnights and jumps forward and back.
  void PlanWallClock() {
    WallTime start;
    start.year = 2026;
    start.month = 12;
    start.day = 8;
    start.hour = 23;
    if (runMs_ >= 24 * kHourMs) {
      start.minute = 5;
      jumps_ = {{23 * kHourMs + 30 * 60000, int64_t(kHourMs)},
                {23 * kHourMs + 58 * 60000, -int64_t(kHourMs)}};
      target_->Clock().SetLocal(start);
    } else {
      // Midnight at a fifth of the run, back over it at two fifths, forward again at three.
      start.day = 9;
      start.hour = 0;
      target_->Clock().SetLocal(Shift(start, -static_cast<int64_t>(runMs_ / 5)));
      jumps_ = {{runMs_ * 2 / 5, -int64_t(kHourMs)}, {runMs_ * 3 / 5, int64_t(kHourMs)}};
    }
  }

  void Prepare() {
    VirtualClock& clock = target_->Clock();
    CKrellonDlg& w = target_->Window();
    Dialog& d = w.GetDialog();
    PlanWallClock();
    d.UserClick(idc::kSave);
    target_->Host().fileAnswers.push_back((options_.recordDir / "soak.txt").string());
    d.UserClick(idc::kLimitTime);
    d.UserType(idc::kRecordingTime, LimitText(runMs_));
    w.RunControl().SetDataSetListener([this] { OnDataSet(); });
    clock.AddListener([this](uint64_t now) { Watch(now); });
    d.AddObserver(this);
    startMs_ = clock.MonotonicMs();
    d.UserClick(idc::kStart);
    running_ = w.Run().m_running;
    if (!running_) Problem("the run did not start: " + target_->Host().LastMessageText());
    nextFaultMs_ = startMs_ + Gap();
    nextSyncMs_ = startMs_ + 600000;
  }

  uint64_t Gap() { return std::uniform_int_distribution<uint64_t>(20000, 180000)(rng_); }

  void OnDataSet() {
    CKrellonDlg& w = target_->Window();
    const uint64_t now = target_->Clock().MonotonicMs();
    const std::string signature = PresentedSignature(w.GetDialog(), w.Marks());
    if (presented_.empty()) Trace("first data set " + signature);
    presented_.push_back(SignatureHash(signature));
    const std::string path = w.RunControl().RecordFilePath();
    if (!path.empty() && (files_.empty() || files_.back() != path)) files_.push_back(path);
    if (resumeFrom_) {
      const uint64_t took = now - *resumeFrom_;
      result_.maxResumeMs = std::max(result_.maxResumeMs, took);
      Trace("data again after " + std::to_string(took) + " ms");
      if (took > result_.resumeBoundMs) Problem("polling resumed " + std::to_string(took) + " ms after a fault");
      resumeFrom_.reset();
    }
  }

  // Every change of the status line and the failure counter: each failure is counted once,
  // after its text was shown, and only while a fault is on (or just over).
  void ControlChanged(int id) override {
    if (!target_) return;
    CKrellonDlg& w = target_->Window();
    if (id == idc::kStatusLine) {
      if (failureTexts_.count(w.GetDialog().Text(idc::kStatusLine))) failureTextShown_ = true;
      return;
    }
    const RunState& s = w.Run();
    if (id != idc::kFailureCount || s.m_failureCount == seenFailures_) return;
    const uint64_t now = target_->Clock().MonotonicMs();
    const int step = s.m_failureCount - seenFailures_;
    const std::string status = w.GetDialog().Text(idc::kStatusLine);
    Trace("failure " + std::to_string(s.m_failureCount) + " \"" + status + "\"");
    if (step != 1) Problem("the failure count moved by " + std::to_string(step));
    if (!failureTextShown_) Problem("a failure counted without its text (status \"" + status + "\")");
    if (!faultOn_ && now > faultEndMs_ + result_.resumeBoundMs)
      Problem("a failure with the peer well (status \"" + status + "\")");
    result_.failures += step > 0 ? static_cast<uint64_t>(step) : 0;
    seenFailures_ = s.m_failureCount;
    failureTextShown_ = false;
  }

  void Watch(uint64_t now) {
    if (running_ && !target_->Window().Run().m_running) {
      running_ = false;
      stopMs_ = now;
      Trace("the run stopped, status \"" + target_->Window().GetDialog().Text(idc::kStatusLine) + "\"");
    }
  }

  void StepFaults(uint64_t now) {
    if (faultOn_) {
      const bool over = disconnect_ ? now >= faultUntilMs_ : target_->FaultDone() || now >= faultUntilMs_;
      if (!over) return;
      target_->EndFault();
      Trace("fault over");
      faultOn_ = false;
      faultEndMs_ = now;
      resumeFrom_ = now;
      nextFaultMs_ = now + Gap();
      return;
    }
    if (now < nextFaultMs_ || now + 300000 > startMs_ + runMs_) return;
    disconnect_ = std::uniform_int_distribution<int>(0, 7)(rng_) == 0;
    const std::string what = target_->BeginFault(rng_, disconnect_);
    Trace("fault " + what);
    ++result_.faultEpisodes;
    faultOn_ = true;
    faultUntilMs_ = now + (disconnect_ ? std::uniform_int_distribution<uint64_t>(60000, 300000)(rng_)
                                       : 180000);
  }

  void StepWallClock(uint64_t now) {
    while (nextJump_ < jumps_.size() && now - startMs_ >= jumps_[nextJump_].atMs) {
      VirtualClock& clock = target_->Clock();
      clock.SetLocal(Shift(clock.LocalNow(), jumps_[nextJump_].byMs));
      Trace("wall clock jumped by " + std::to_string(jumps_[nextJump_].byMs / 60000) + " min");
      ++nextJump_;
    }
  }

  void StepMemory(uint64_t now) {
    // Warm-up: the first tenth of the run, and until the traffic monitor's ring of frames
    // is full (each of its slots keeps the storage of the last frame it held).
    const uint64_t warmUp = std::max<uint64_t>(600000, runMs_ / 10);
    const auto& traffic = target_->Window().Traffic();
    if (now - startMs_ < warmUp || traffic.Size() < traffic.Capacity() || now < nextMemoryMs_) return;
    nextMemoryMs_ = now + kMemorySampleMs;
    const int64_t heap = HeapInUse();
    if (!heapAfterWarmUp_) heapAfterWarmUp_ = heap;
    result_.memoryGrowthBytes = std::max(result_.memoryGrowthBytes, heap - *heapAfterWarmUp_);
  }

  // "Синхронизация RTC" now and then with the peer well and polling back after the last fault,
  // when it must say nothing and polling
  // must go on; and during a fault that only a synchronisation shows, when it may say what
  // went wrong. (A synchronisation the link refuses stops the run and starts it as "Старт"
  // does, which with a silent station ends in a message: the engineer is at the window.)
  void StepClockSync(uint64_t now) {
    const bool wanted = faultOn_ && target_->WantsClockSync();
    if (!wanted && (faultOn_ || resumeFrom_ || now < nextSyncMs_)) return;
    nextSyncMs_ = now + std::uniform_int_distribution<uint64_t>(1200000, 2400000)(rng_);
    test::ScriptedHost& host = target_->Host();
    host.messages.clear();
    Trace("clock sync");
    ++result_.clockSyncs;
    target_->Window().GetDialog().UserClick(idc::kClockSync);
    if (!host.messages.empty() && !faultOn_)
      Problem("clock synchronisation with the peer well: " + host.messages.back().text);
    if (!target_->Window().Run().m_running)
      Problem("the run did not go on after a clock synchronisation: " + target_->Host().LastMessageText());
    host.messages.clear();
  }

  void Drive() {
    VirtualClock& clock = target_->Clock();
    test::ScriptedHost& host = target_->Host();
    const uint64_t endMs = startMs_ + runMs_ + 60000;
    while (running_ && clock.MonotonicMs() < endMs) {
      host.RunFor(kStepMs);
      const uint64_t now = clock.MonotonicMs();
      // Only a fault the run must say in words may raise a message box.
      if (!host.messages.empty() && running_ && !(faultOn_ && target_->FaultIsToldInWords()))
        Problem("message box during the run: " + host.messages.back().text);
      host.messages.clear();
      host.questions.clear();
      target_->TrimTestLogs();
      StepFaults(now);
      if (running_) StepClockSync(now);
      StepWallClock(now);
      StepMemory(now);
    }
  }

  void Settle() {
    const uint64_t deadline = startMs_ + runMs_;
    if (running_) {
      Problem("the run went on past its recording-time limit");
      target_->Window().GetDialog().UserClick(idc::kStop);
    } else {
      result_.stopAfterDeadlineMs = static_cast<int64_t>(stopMs_) - static_cast<int64_t>(deadline);
      if (stopMs_ < deadline || stopMs_ > deadline + kRecordTimerMs + result_.resumeBoundMs)
        Problem("the run stopped " + std::to_string(result_.stopAfterDeadlineMs) + " ms after its deadline");
    }
    result_.dataSets = presented_.size();
    result_.faultsInjected = target_->FaultsApplied();
    result_.files = files_.size();
    std::vector<uint64_t> recorded;
    recorded.reserve(presented_.size() + 16);
    for (const auto& f : files_)
      for (const auto& sig : RecordedSignatures(ReadWholeFile(f))) {
        if (recorded.empty()) Trace("first line " + sig);
        recorded.push_back(SignatureHash(sig));
      }
    result_.linesRecorded = recorded.size();
    const LineAccount a = Account(presented_, recorded);
    result_.lost = a.lost;
    result_.duplicated = a.duplicated;
    if (a.lost || a.duplicated)
      Problem(std::to_string(a.lost) + " lines lost, " + std::to_string(a.duplicated) + " duplicated");
    if (result_.memoryGrowthBytes > kMemorySlackBytes)
      Problem("heap grew by " + std::to_string(result_.memoryGrowthBytes) + " bytes after warm-up");
  }

  SoakOptions options_;
  bool trace_ = std::getenv("TESSVAR_SOAK_TRACE") != nullptr;
  uint64_t runMs_;
  std::mt19937_64 rng_;
  std::set<std::string, std::less<>> failureTexts_;
  SoakResult result_;
  std::vector<uint64_t> presented_;
  std::vector<std::string> files_;
  std::vector<WallJump> jumps_;
  size_t nextJump_ = 0;
  uint64_t startMs_ = 0;
  uint64_t stopMs_ = 0;
  bool running_ = false;
  int seenFailures_ = 0;
  bool failureTextShown_ = false;
  bool faultOn_ = false;
  bool disconnect_ = false;
  uint64_t faultUntilMs_ = 0;
  uint64_t faultEndMs_ = 0;
  uint64_t nextFaultMs_ = 0;
  std::optional<uint64_t> resumeFrom_;
  uint64_t nextMemoryMs_ = 0;
  uint64_t nextSyncMs_ = 0;
  std::optional<int64_t> heapAfterWarmUp_;
  // Declared last, destroyed first: the window's listeners point into this run.
  std::unique_ptr<SoakTarget> target_;
};

}  // namespace

SoakResult RunSoak(const SoakOptions& options) { return SoakRun(options).Run(); }

}  // namespace tessvar::soak

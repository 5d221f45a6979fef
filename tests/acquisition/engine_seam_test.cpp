// A protocol the run has never seen, plugged in through the engine seam alone: the poll
// tick, the restart and the presentation work with it unchanged.
#include <gtest/gtest.h>

#include <deque>

#include "acquisition/link_engine.h"
#include "app/control_ids.h"
#include "tests/acquisition/window_fixture.h"
#include "ui/dialog.h"

namespace tessvar::test {
namespace {

// What the run asked of the fake engine, kept outside it (the run owns the engine).
struct EngineLog {
  int opens = 0;
  int drains = 0;
  int collects = 0;
  std::vector<uint32_t> requestStarts;
  std::deque<LinkResult> results;          // collect results to hand out first; then good
  std::deque<AfterRequest> afterRequests;  // answers to SendRequest; then continue
  bool pollTimer = true;
  std::function<void()> requestTick;
};

// Answers every request with `count` registers of value 7; shows its own ASDU text and
// decodes the converter time itself.
class FakeEngine final : public LinkEngine {
 public:
  FakeEngine(EngineLog& log, const EngineContext& context) : log_(log) {
    log_.requestTick = context.requestTick;
  }
  OpenOutcome OpenPort() override {
    ++log_.opens;
    return {};
  }
  void DrainStale() override { ++log_.drains; }
  bool WantsPollTimer() const override { return log_.pollTimer; }
  bool IsOpen() const override { return true; }
  CollectOutcome Collect(std::vector<uint8_t>& reply) override {
    ++log_.collects;
    CollectOutcome out;
    out.result = LinkResult::kGood;
    if (!log_.results.empty()) {
      out.result = log_.results.front();
      log_.results.pop_front();
    }
    reply = {0, 0};
    for (uint16_t i = 0; i < count_; ++i) reply.insert(reply.end(), {0, 7});
    return out;
  }
  AfterRequest SendRequest(const RequestBlock& block) override {
    log_.requestStarts.push_back(block.start);
    count_ = block.count;
    if (log_.afterRequests.empty()) return AfterRequest::kContinue;
    const AfterRequest next = log_.afterRequests.front();
    log_.afterRequests.pop_front();
    return next;
  }
  ClockWriteOutcome WriteClock(const ClockTarget&) override { return {}; }
  bool ConverterTimeFromRegisters() const override { return false; }
  std::string AsduFieldText() const override { return "fake"; }
  void Close(LinkClose) override {}

 private:
  EngineLog& log_;
  uint16_t count_ = 0;
};

// Every text the status line showed, in order.
class StatusLog : public DialogObserver {
 public:
  explicit StatusLog(Dialog& d) : d_(d) { d_.AddObserver(this); }
  ~StatusLog() override { d_.RemoveObserver(this); }
  void ControlChanged(int id) override {
    if (id == idc::kStatusLine) texts.push_back(d_.Text(id));
  }
  bool Saw(const std::string& t) const { return std::find(texts.begin(), texts.end(), t) != texts.end(); }
  std::vector<std::string> texts;

 private:
  Dialog& d_;
};

struct FakeRig {
  EngineLog log;
  WindowRig rig{"rtu-two-channel.dat", ModbusFraming::Rtu, {},
                [this](ProtocolKind, const EngineContext& c) {
                  return std::make_unique<FakeEngine>(log, c);
                }};
};

TEST(EngineSeam, ANewProtocolIsPolledAndPresentedByTheSameTick) {
  FakeRig f;
  const std::string converterBefore = f.rig.Text(idc::kConverterTime);
  f.rig.Click(idc::kStart);
  ASSERT_TRUE(f.rig.State().m_running);
  ASSERT_TRUE(f.rig.RunDataSets(2, 60000));
  EXPECT_EQ(f.rig.Text(idc::kAsduField), "fake");
  EXPECT_EQ(f.rig.Text(idc::kStatusLine), "Запрос данных");
  // The engine decodes the converter time itself: the registers' time is not shown.
  EXPECT_EQ(f.rig.Text(idc::kConverterTime), converterBefore);
  EXPECT_EQ(f.log.opens, 1);
  EXPECT_EQ(f.log.drains, 1);
  // Every pass asks for the same blocks in the same order.
  const auto& starts = f.log.requestStarts;
  ASSERT_GE(starts.size(), 2u);
  const auto again = std::find(starts.begin() + 1, starts.end(), starts.front());
  ASSERT_NE(again, starts.end());
  const auto perPass = static_cast<size_t>(again - starts.begin());
  for (size_t i = perPass; i < starts.size(); ++i) EXPECT_EQ(starts[i], starts[i - perPass]) << i;
}

TEST(EngineSeam, AFailedCollectAndASoftRestartGoThroughTheEngine) {
  struct Case {
    const char* what;
    std::deque<LinkResult> results;
    std::deque<AfterRequest> afterRequests;
    int failures, opens, drains;
    const char* status;
  };
  const Case cases[] = {
      {"negative acknowledgement", {LinkResult::kNegativeAck}, {}, 1, 2, 2,
       "Пришла отрицательная квитанция"},
      {"a code without a text of its own", {LinkResult::kSingleCharAck}, {}, 1, 2, 2, "Ошибка"},
      // The restart the engine asks for keeps the link: no drain, no failure.
      {"soft restart", {}, {AfterRequest::kContinue, AfterRequest::kSoftRestart}, 0, 2, 1,
       "Запрос данных"},
  };
  for (const Case& c : cases) {
    FakeRig f;
    f.log.results = c.results;
    f.log.afterRequests = c.afterRequests;
    StatusLog status(f.rig.window->GetDialog());
    f.rig.Click(idc::kStart);
    // One tick collects the first reply and sends the next request; the pause of a restart
    // after a failure runs on the virtual clock.
    f.rig.host.RunFor(10000, [&] { return f.log.collects >= 1; });
    ASSERT_EQ(f.log.collects, 1) << c.what;
    EXPECT_EQ(f.rig.State().m_failureCount, c.failures) << c.what;
    EXPECT_EQ(f.log.opens, c.opens) << c.what;
    EXPECT_EQ(f.log.drains, c.drains) << c.what;
    EXPECT_TRUE(status.Saw(c.status)) << c.what;
    EXPECT_EQ(f.rig.Text(idc::kStatusLine), "Запрос данных") << c.what << ": running again";
    EXPECT_TRUE(f.rig.State().m_running) << c.what;
  }
}

TEST(EngineSeam, AnEngineThatPacesItselfGetsNoPollTimer) {
  FakeRig f;
  f.log.pollTimer = false;
  f.rig.Click(idc::kStart);
  ASSERT_TRUE(f.rig.State().m_running);
  f.rig.Run(5000);
  EXPECT_EQ(f.log.collects, 0) << "no timer drives this engine";
  ASSERT_TRUE(f.log.requestTick);
  f.log.requestTick();
  f.rig.host.RunPosted();
  EXPECT_EQ(f.log.collects, 1);
  f.rig.Click(idc::kStop);
  f.log.requestTick();  // a tick that arrives after the run ended does nothing
  f.rig.host.RunPosted();
  EXPECT_EQ(f.log.collects, 1);
}

}  // namespace
}  // namespace tessvar::test

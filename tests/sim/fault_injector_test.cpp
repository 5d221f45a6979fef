#include "sim/fault_injector.h"

#include <gtest/gtest.h>

namespace tessvar::sim {
namespace {

TEST(FaultRules, ParseForms) {
  struct Case {
    const char* text;
    bool ok;
    FaultKind kind;
    uint32_t arg;
    FaultTrigger::Mode mode;
    uint32_t count, skip;
    double rate;
  };
  using M = FaultTrigger::Mode;
  const Case cases[] = {
      {"no-reply:2@3", true, FaultKind::NoReply, 0, M::Count, 2, 3, 0},
      {"no-reply:5", true, FaultKind::NoReply, 0, M::Count, 5, 0, 0},
      {"late=800:10%", true, FaultKind::LateReply, 800, M::Rate, 0, 0, 0.1},
      {"exception=2:always", true, FaultKind::Exception, 2, M::Rate, 0, 0, 1.0},
      {"garbage=7", true, FaultKind::Garbage, 7, M::Rate, 0, 0, 1.0},
      {"close-after=5", true, FaultKind::CloseAfter, 5, M::Count, 1, 0, 0},
      {"exception=5:1", false, {}, 0, {}, 0, 0, 0},
      {"exception:1", false, {}, 0, {}, 0, 0, 0},
      {"no-reply=3", false, {}, 0, {}, 0, 0, 0},
      {"late=x", false, {}, 0, {}, 0, 0, 0},
      {"bogus:1", false, {}, 0, {}, 0, 0, 0},
      {"truncate:150%", false, {}, 0, {}, 0, 0, 0},
      {"truncate:1@", false, {}, 0, {}, 0, 0, 0},
      {"close-after=2:1", false, {}, 0, {}, 0, 0, 0},
  };
  for (const auto& c : cases) {
    std::string error;
    const auto r = ParseFaultRule(c.text, error);
    ASSERT_EQ(r.has_value(), c.ok) << c.text;
    if (!c.ok) {
      EXPECT_FALSE(error.empty()) << c.text;
      continue;
    }
    EXPECT_EQ(r->kind, c.kind) << c.text;
    EXPECT_EQ(r->arg, c.arg) << c.text;
    if (c.kind == FaultKind::CloseAfter) continue;
    EXPECT_EQ(r->trigger.mode, c.mode) << c.text;
    if (c.mode == M::Count) {
      EXPECT_EQ(r->trigger.count, c.count) << c.text;
      EXPECT_EQ(r->trigger.skip, c.skip) << c.text;
    } else {
      EXPECT_DOUBLE_EQ(r->trigger.rate, c.rate) << c.text;
    }
  }
}

std::vector<int> Pattern(const char* text, uint64_t seed, int n) {
  std::string error;
  FaultInjector f({*ParseFaultRule(text, error)}, seed);
  std::vector<int> fired;
  for (int i = 1; i <= n; ++i)
    if (f.Next().Any()) fired.push_back(i);
  return fired;
}

TEST(FaultInjector, CountsAndRatesAreDeterministic) {
  EXPECT_EQ(Pattern("no-reply:2@3", 1, 10), (std::vector<int>{4, 5}));
  const auto a = Pattern("bad-checksum:30%", 9, 1000);
  EXPECT_EQ(a, Pattern("bad-checksum:30%", 9, 1000));
  EXPECT_NE(a, Pattern("bad-checksum:30%", 10, 1000));
  EXPECT_NEAR(static_cast<double>(a.size()), 300.0, 60.0);
  EXPECT_TRUE(Pattern("truncate:0%", 9, 100).empty());
}

TEST(FaultInjector, RulesCombineOnOneReply) {
  std::string e;
  FaultInjector f({*ParseFaultRule("late=100:1", e), *ParseFaultRule("late=50:1", e),
                   *ParseFaultRule("exception=3:1", e), *ParseFaultRule("garbage=2:1", e)},
                  1);
  const FaultDecision d = f.Next();
  EXPECT_EQ(d.delayMs, 150u);
  EXPECT_EQ(d.exception, 3);
  EXPECT_EQ(d.garbage, 2u);
  EXPECT_EQ(d.Describe(), "late=150,exception=3,garbage=2");
  EXPECT_FALSE(f.Next().Any());
}

}  // namespace
}  // namespace tessvar::sim

#include "acquisition/energy_check.h"

#include <limits>

namespace tessvar {
namespace {

std::string TwoDigits(unsigned v) {
  std::string s = std::to_string(v);
  return s.size() < 2 ? "0" + s : s;
}

}  // namespace

CounterTexts CounterCodeTexts(const RawValues& codes) {
  CounterTexts out;
  for (int k = 0; k < kCheckedCounters; ++k) {
    const int32_t v = codes.value[static_cast<size_t>(kCheckedCounterSlots[static_cast<size_t>(k)])];
    out[static_cast<size_t>(k)] = std::to_string(static_cast<uint32_t>(v));
  }
  return out;
}

std::string CheckTimeText(unsigned hour, unsigned minute, uint16_t milliseconds) {
  const unsigned hundredths = milliseconds / 10u;
  return TwoDigits(hour) + " : " + TwoDigits(minute) + " : " + std::to_string(hundredths / 100) +
         "." + TwoDigits(hundredths % 100);
}

int64_t ParseCodeText(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
  }
  return negative ? -value : value;
}

HourMinute SixMinutesLater(uint8_t hour, uint8_t minute) {
  int m = minute + 6;
  int h = hour;
  if (m > 59) {
    m -= 60;
    ++h;
  }
  if (h > 23) h = 0;
  return {static_cast<uint8_t>(h), static_cast<uint8_t>(m)};
}

CountdownEnd CountdownEndFrom(const WallTime& now) {
  CountdownEnd e{static_cast<uint16_t>(now.hour), static_cast<uint16_t>(now.minute + 6),
                 static_cast<uint16_t>(now.second)};
  if (e.minute > 59) {
    ++e.hour;
    e.minute = static_cast<uint16_t>(e.minute - 60);
  }
  if (e.hour > 23) e.hour = 0;
  return e;
}

std::optional<std::string> RemainingText(const CountdownEnd& end, const WallTime& now) {
  if (now.hour == end.hour && now.minute == end.minute && now.second >= end.second)
    return std::nullopt;
  // Borrows in 16-bit unsigned arithmetic: a part that went below zero wraps past 60 (24).
  uint16_t borrow = 0;
  auto s = static_cast<uint16_t>(end.second - now.second);
  if (s > 60) {
    s = static_cast<uint16_t>(s + 60);
    borrow = 1;
  }
  auto m = static_cast<uint16_t>(end.minute - now.minute - borrow);
  borrow = 0;
  if (m > 60) {
    m = static_cast<uint16_t>(m + 60);
    borrow = 1;
  }
  auto h = static_cast<uint16_t>(end.hour - now.hour - borrow);
  if (h > 24) h = static_cast<uint16_t>(h + 24);
  return TwoDigits(h) + " : " + TwoDigits(m) + " : " + TwoDigits(s);
}

EnergyCheckTracker::Step EnergyCheckTracker::OnSample(const CheckSample& sample) {
  if (finished_) return Step::Finished;
  final_ = sample.codes;
  if (!sample.time) return Step::Waiting;
  const ConverterTime& t = *sample.time;
  if (t.milliseconds == lastMs_) return Started() ? Step::Counting : Step::Waiting;

  Step step = Step::Counting;
  if (lastMs_ == kNoTime) {
    start_ = CheckTimeText(t.hour, t.minute, t.milliseconds);
    startText_ = start_;
    initial_ = sample.codes;
    endAt_ = SixMinutesLater(t.hour, t.minute);
    end_ = CheckTimeText(endAt_.hour, endAt_.minute, t.milliseconds);
    startMs_ = t.milliseconds;
    step = Step::Started;
  } else {
    for (size_t k = 0; k < kCheckedCounters; ++k)
      increment_[k] = std::to_string(ParseCodeText(final_[k]) - ParseCodeText(initial_[k]));
    if (t.minute == endAt_.minute) {
      endMinuteReached_ = true;
      if (startMs_ <= t.milliseconds + sample.pollPeriodMs / 2) step = Step::Finished;
    }
    if (endMinuteReached_ && t.minute != endAt_.minute) step = Step::Finished;
  }
  lastMs_ = t.milliseconds;
  finished_ = step == Step::Finished;
  return step;
}

}  // namespace tessvar

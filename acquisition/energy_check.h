#pragma once
// The six-minute check of the DC energy and charge counters, without its window: the
// start moment from the transducer's clock, the end six transducer minutes later, the
// increments of the four counters, and the countdown on the computer's clock. The check
// window (app/energy_check_dlg.h) drives it from its timers and shows its texts.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "acquisition/data_set.h"
#include "platform/clock.h"

namespace tessvar {

// The counters checked, in the order their texts are kept: Wdc1, Qdc1, Wdc2, Qdc2.
inline constexpr int kCheckedCounters = 4;
inline constexpr std::array<int, kCheckedCounters> kCheckedCounterSlots = {3, 5, 24, 26};
inline constexpr std::array<std::string_view, kCheckedCounters> kCheckedCounterNames = {
    "Wdc1", "Qdc1", "Wdc2", "Qdc2"};
using CounterTexts = std::array<std::string, kCheckedCounters>;

// The counters' output codes as decimal texts: the 32-bit codes as the transducer counts
// them (unsigned), from values decoded without any divisor.
CounterTexts CounterCodeTexts(const RawValues& codes);

// "hh : mm : s.ss": hours and minutes with two digits, the seconds without a leading zero
// and cut (not rounded) to hundredths, so 59.999 s never reads 60.00.
std::string CheckTimeText(unsigned hour, unsigned minute, uint16_t milliseconds);
// A decimal integer text with optional blanks and sign in front; text that does not start
// with a number is 0, digits beyond the range of 64 bits saturate.
int64_t ParseCodeText(std::string_view text);

struct HourMinute {
  uint8_t hour = 0;
  uint8_t minute = 0;
};
// Six minutes later on a 24-hour dial (23:57 -> 00:03).
HourMinute SixMinutesLater(uint8_t hour, uint8_t minute);

// The local computer time at which the countdown reaches zero.
struct CountdownEnd {
  uint16_t hour = 0, minute = 0, second = 0;
};
CountdownEnd CountdownEndFrom(const WallTime& localNow);
// The time left as "hh : mm : ss", or nothing once the end second has been reached.
std::optional<std::string> RemainingText(const CountdownEnd& end, const WallTime& localNow);

// What one sampling tick sees of the main window.
struct CheckSample {
  CounterTexts codes;
  // Nothing until a data set has been presented since the check began: a time left over
  // from before must not become the start moment.
  std::optional<ConverterTime> time;
  uint32_t pollPeriodMs = 0;
};

class EnergyCheckTracker {
 public:
  enum class Step : uint8_t {
    Waiting,   // no new transducer time yet
    Started,   // this sample was the start moment
    Counting,  // a later sample, the end not reached
    Finished,  // this sample ended the check
  };
  static constexpr uint16_t kNoTime = 0xFFFF;

  Step OnSample(const CheckSample& sample);

  bool Started() const { return startText_.has_value(); }
  bool Finished() const { return finished_; }
  const CounterTexts& Initial() const { return initial_; }
  const CounterTexts& Final() const { return final_; }
  const CounterTexts& Increment() const { return increment_; }
  const std::string& StartText() const { return start_; }
  const std::string& EndText() const { return end_; }

 private:
  CounterTexts initial_{"0", "0", "0", "0"};
  CounterTexts final_{"0", "0", "0", "0"};
  CounterTexts increment_{"0", "0", "0", "0"};
  std::optional<std::string> startText_;
  std::string start_, end_;
  uint16_t lastMs_ = kNoTime;
  uint16_t startMs_ = 0;
  HourMinute endAt_;
  bool endMinuteReached_ = false;
  bool finished_ = false;
};

}  // namespace tessvar

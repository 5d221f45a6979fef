#pragma once
// What the "Тренд" window plots, without a toolkit: after every data set the main window
// presented, the number in each value box (the current display mode's text, read back), on
// a time axis of its own that runs on across restarts of the run; and the times failures
// were counted. Polled by the window's timer; each series keeps a bounded number of points.
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessvar {

class CKrellonDlg;
class Clock;

struct TrendPoint {
  double seconds;  // since the recorder began
  double value;
};

// The number a value box shows ("12.5", "-0.031", "1 500"), or none for a text that is not
// one (empty, "---").
std::optional<double> ParsePresentedNumber(std::string_view text);

class TrendRecorder {
 public:
  static constexpr size_t kMaxPoints = 20000;  // per quantity: over 5 h at one data set a second

  TrendRecorder(CKrellonDlg& window, Clock& clock, size_t maxPoints = kMaxPoints);

  // Samples the value boxes when a data set was presented since the last poll, and notes a
  // failure when the failure count grew (or was reset and grew again). True when anything
  // was added.
  bool Poll();
  void Clear();

  size_t QuantityCount() const { return names_.size(); }
  const std::string& Name(size_t quantity) const { return names_[quantity]; }
  const std::deque<TrendPoint>& Series(size_t quantity) const { return series_[quantity]; }
  const std::deque<double>& Failures() const { return failures_; }
  double Now() const;

 private:
  CKrellonDlg& window_;
  Clock& clock_;
  size_t maxPoints_;
  uint64_t startMs_;
  std::vector<int> fields_;  // value box of each quantity
  std::vector<std::string> names_;
  std::vector<std::deque<TrendPoint>> series_;
  std::deque<double> failures_;
  uint64_t lastDataSets_ = 0;
  int lastFailures_ = 0;
};

}  // namespace tessvar

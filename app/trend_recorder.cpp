#include "app/trend_recorder.h"

#include <algorithm>
#include <charconv>

#include "acquisition/presentation.h"
#include "app/krellon_dlg.h"
#include "app/main_window_template.h"
#include "platform/clock.h"

namespace tessvar {

std::optional<double> ParsePresentedNumber(std::string_view text) {
  std::string digits;
  for (char c : text) {
    if (c == ' ') continue;
    digits += c == ',' ? '.' : c;
  }
  if (digits.empty()) return std::nullopt;
  double v = 0;
  const char* end = digits.data() + digits.size();
  const auto [ptr, ec] = std::from_chars(digits.data(), end, v);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return v;
}

TrendRecorder::TrendRecorder(CKrellonDlg& window, Clock& clock, size_t maxPoints)
    : window_(window), clock_(clock), maxPoints_(std::max<size_t>(maxPoints, 1)), startMs_(clock.MonotonicMs()) {
  for (const PresentedSlot& p : PresentedSlots()) {
    const ValueFieldBinding* b = FindValueField(p.slot);
    if (!b) continue;
    fields_.push_back(b->fieldId);
    names_.emplace_back(p.name);
  }
  series_.resize(fields_.size());
  lastDataSets_ = window_.RunControl().DataSetsPresented();
  lastFailures_ = window_.Run().m_failureCount;
}

double TrendRecorder::Now() const { return static_cast<double>(clock_.MonotonicMs() - startMs_) / 1000.0; }

bool TrendRecorder::Poll() {
  const uint64_t sets = window_.RunControl().DataSetsPresented();
  const int failures = window_.Run().m_failureCount;
  bool added = false;
  const double now = Now();
  if (failures != lastFailures_) {
    // "RST" sets the count back: a count below the last one is a reset, not a failure.
    if (failures > lastFailures_) {
      failures_.push_back(now);
      if (failures_.size() > maxPoints_) failures_.pop_front();
      added = true;
    }
    lastFailures_ = failures;
  }
  if (sets == lastDataSets_) return added;
  lastDataSets_ = sets;
  const Dialog& d = window_.GetDialog();
  for (size_t q = 0; q < fields_.size(); ++q) {
    const auto v = ParsePresentedNumber(d.Text(fields_[q]));
    if (!v) continue;
    series_[q].push_back({now, *v});
    if (series_[q].size() > maxPoints_) series_[q].pop_front();
    added = true;
  }
  return added;
}

void TrendRecorder::Clear() {
  for (auto& s : series_) s.clear();
  failures_.clear();
}

}  // namespace tessvar

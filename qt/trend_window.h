#pragma once
// The "Тренд" window: the quantities ticked in the list plotted over the last N minutes with
// Qt Charts, autoscaled, with a pause that freezes the picture (recording goes on) and the
// failures marked on the time axis. Its own timer polls the toolkit-free TrendRecorder.
#include <QWidget>
#include <map>
#include <memory>

#include "app/trend_recorder.h"

class QChart;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTimer;

namespace tessvar::qt {

class TrendWindow : public QWidget {
 public:
  static constexpr int kPollMs = 500;

  TrendWindow(CKrellonDlg& window, Clock& clock, QWidget* parent = nullptr);
  ~TrendWindow() override;

  TrendRecorder& Recorder() { return *recorder_; }
  QListWidget* Quantities() const { return list_; }
  // One poll and redraw now (the timer does it every kPollMs).
  void PollNow();

 private:
  void Redraw();
  QLineSeries* SeriesOf(int quantity);

  std::unique_ptr<TrendRecorder> recorder_;
  QListWidget* list_ = nullptr;
  QPushButton* pause_ = nullptr;
  QSpinBox* minutes_ = nullptr;
  QChart* chart_ = nullptr;
  QValueAxis* axisX_ = nullptr;
  QValueAxis* axisY_ = nullptr;
  QScatterSeries* failures_ = nullptr;
  std::map<int, QLineSeries*> series_;
  QTimer* timer_ = nullptr;
};

}  // namespace tessvar::qt

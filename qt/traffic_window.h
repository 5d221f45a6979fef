#pragma once
// The "Обмен" window: a table of the run's frames over the toolkit-free TrafficMonitor,
// polled on a timer of its own (it never touches the run), with pause, clear, the filter,
// copy, save as text or pcap, and the counters beside with their reset.
#include <QAbstractTableModel>
#include <QWidget>
#include <functional>
#include <memory>

#include "app/traffic_monitor.h"

class QCheckBox;
class QComboBox;
class QListWidget;
class QPushButton;
class QTableView;
class QTimer;
class QVBoxLayout;

namespace tessvar::qt {

class TrafficTableModel : public QAbstractTableModel {
 public:
  explicit TrafficTableModel(TrafficMonitor& monitor, QObject* parent = nullptr)
      : QAbstractTableModel(parent), monitor_(monitor) {}
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // Polls the monitor and tells the view what changed.
  void Poll();
  // The filter changed or the rows were cleared: everything anew.
  void Reset(const std::function<void()>& change);

 private:
  TrafficMonitor& monitor_;
};

class TrafficWindow : public QWidget {
 public:
  static constexpr int kPollMs = 250;

  explicit TrafficWindow(monitor::TrafficCapture& capture, QWidget* parent = nullptr);
  ~TrafficWindow() override;

  TrafficMonitor& Monitor() { return *monitor_; }
  QTableView* Table() const { return table_; }
  // One poll now (the timer does it every kPollMs).
  void PollNow();

 private:
  void BuildToolbar(QVBoxLayout* layout);
  void ApplyFilter();
  void CopySelection();
  void SaveText();
  void SavePcap();
  void RefreshCounters();

  std::unique_ptr<TrafficMonitor> monitor_;
  TrafficTableModel* model_ = nullptr;
  QTableView* table_ = nullptr;
  QListWidget* counters_ = nullptr;
  QPushButton* pause_ = nullptr;
  QComboBox* direction_ = nullptr;
  QCheckBox* data_ = nullptr;
  QCheckBox* control_ = nullptr;
  QCheckBox* faults_ = nullptr;
  QTimer* timer_ = nullptr;
  bool follow_ = true;         // keep the newest row in view
  bool autoScrolling_ = false;  // the window itself is moving the scroll bar
};

}  // namespace tessvar::qt

#include "qt/trend_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <limits>

namespace tessvar::qt {

TrendWindow::TrendWindow(CKrellonDlg& window, Clock& clock, QWidget* parent)
    : QWidget(parent, Qt::Window), recorder_(std::make_unique<TrendRecorder>(window, clock)) {
  setWindowTitle(QStringLiteral("Тренд"));
  auto* layout = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  pause_ = new QPushButton(QStringLiteral("Пауза"), this);
  pause_->setCheckable(true);
  auto* clear = new QPushButton(QStringLiteral("Очистить"), this);
  minutes_ = new QSpinBox(this);
  minutes_->setRange(1, 120);
  minutes_->setValue(5);
  minutes_->setSuffix(QStringLiteral(" мин"));
  bar->addWidget(pause_);
  bar->addWidget(clear);
  bar->addWidget(new QLabel(QStringLiteral("Последние"), this));
  bar->addWidget(minutes_);
  bar->addStretch();
  layout->addLayout(bar);

  auto* splitter = new QSplitter(this);
  list_ = new QListWidget(splitter);
  for (size_t q = 0; q < recorder_->QuantityCount(); ++q) {
    auto* item = new QListWidgetItem(QString::fromStdString(recorder_->Name(q)), list_);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  chart_ = new QChart;
  chart_->legend()->setAlignment(Qt::AlignBottom);
  axisX_ = new QValueAxis(chart_);
  axisX_->setTitleText(QStringLiteral("с"));
  axisX_->setLabelFormat(QStringLiteral("%.0f"));
  axisY_ = new QValueAxis(chart_);
  axisY_->setLabelFormat(QStringLiteral("%.4g"));
  chart_->addAxis(axisX_, Qt::AlignBottom);
  chart_->addAxis(axisY_, Qt::AlignLeft);
  failures_ = new QScatterSeries(chart_);
  failures_->setName(QStringLiteral("Сбой"));
  failures_->setColor(Qt::red);
  failures_->setMarkerSize(9);
  chart_->addSeries(failures_);
  failures_->attachAxis(axisX_);
  failures_->attachAxis(axisY_);
  auto* view = new QChartView(chart_, splitter);
  view->setRenderHint(QPainter::Antialiasing);
  list_->setMaximumWidth(220);
  splitter->setStretchFactor(0, 0);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({150, 750});
  layout->addWidget(splitter);

  connect(list_, &QListWidget::itemChanged, this, [this] { Redraw(); });
  connect(minutes_, &QSpinBox::valueChanged, this, [this] { Redraw(); });
  connect(pause_, &QPushButton::toggled, this, [this](bool on) {
    if (!on) Redraw();
  });
  connect(clear, &QPushButton::clicked, this, [this] {
    recorder_->Clear();
    Redraw();
  });
  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, [this] { PollNow(); });
  timer_->start(kPollMs);
  resize(900, 480);
  Redraw();
}

TrendWindow::~TrendWindow() = default;

void TrendWindow::PollNow() {
  const bool added = recorder_->Poll();
  if (!pause_->isChecked() && added) Redraw();
}

QLineSeries* TrendWindow::SeriesOf(int quantity) {
  auto& s = series_[quantity];
  if (!s) {
    s = new QLineSeries(chart_);
    s->setName(list_->item(quantity)->text());
    chart_->addSeries(s);
    s->attachAxis(axisX_);
    s->attachAxis(axisY_);
  }
  return s;
}

void TrendWindow::Redraw() {
  const double now = recorder_->Now();
  const double from = std::max(0.0, now - minutes_->value() * 60.0);
  double low = std::numeric_limits<double>::max(), high = std::numeric_limits<double>::lowest();
  for (int q = 0; q < list_->count(); ++q) {
    const bool ticked = list_->item(q)->checkState() == Qt::Checked;
    if (!ticked) {
      if (auto it = series_.find(q); it != series_.end()) {
        chart_->removeSeries(it->second);
        delete it->second;
        series_.erase(it);
      }
      continue;
    }
    QList<QPointF> points;
    for (const TrendPoint& p : recorder_->Series(static_cast<size_t>(q))) {
      if (p.seconds < from) continue;
      points.append({p.seconds, p.value});
      low = std::min(low, p.value);
      high = std::max(high, p.value);
    }
    SeriesOf(q)->replace(points);
  }
  if (low > high) low = 0, high = 1;
  const double margin = high > low ? (high - low) * 0.05 : std::max(1.0, std::abs(high) * 0.05);
  axisY_->setRange(low - margin, high + margin);
  axisX_->setRange(from, std::max(now, from + 1.0));
  QList<QPointF> marks;
  for (double t : recorder_->Failures()) {
    if (t >= from) marks.append({t, low - margin});
  }
  failures_->replace(marks);
}

}  // namespace tessvar::qt

#include "qt/traffic_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <set>

namespace tessvar::qt {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

int TrafficTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(monitor_.VisibleCount());
}

int TrafficTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kTrafficColumnCount; }

QVariant TrafficTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || static_cast<size_t>(index.row()) >= monitor_.VisibleCount()) return {};
  const auto row = static_cast<size_t>(index.row());
  switch (role) {
    case Qt::DisplayRole: return Q(monitor_.Cell(row, index.column()));
    case Qt::ForegroundRole:
      if (monitor_.Visible(row).Faulty()) return QColor(Qt::red);
      return {};
    case Qt::TextAlignmentRole:
      if (index.column() == 0 || index.column() == 3) return int(Qt::AlignRight | Qt::AlignVCenter);
      return {};
    default: return {};
  }
}

QVariant TrafficTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= kTrafficColumnCount) return {};
  return QString::fromUtf8(kTrafficColumns[section]);
}

void TrafficTableModel::Poll() {
  const size_t before = monitor_.VisibleCount();
  // The rows a poll drops and appends are told to the view around the change itself; the
  // counts are known only afterwards, so the view hears a reset when both happen at once.
  const auto change = monitor_.Poll();
  if (!change.Any()) return;
  if (change.droppedFront == 0 && !change.marked) {
    const int first = static_cast<int>(before);
    beginInsertRows({}, first, first + static_cast<int>(change.appended) - 1);
    endInsertRows();
    return;
  }
  beginResetModel();
  endResetModel();
}

void TrafficTableModel::Reset(const std::function<void()>& change) {
  beginResetModel();
  change();
  endResetModel();
}

TrafficWindow::TrafficWindow(monitor::TrafficCapture& capture, QWidget* parent)
    : QWidget(parent, Qt::Window), monitor_(std::make_unique<TrafficMonitor>(capture)) {
  setWindowTitle(QStringLiteral("Обмен"));
  auto* layout = new QVBoxLayout(this);
  BuildToolbar(layout);

  auto* splitter = new QSplitter(this);
  table_ = new QTableView(splitter);
  model_ = new TrafficTableModel(*monitor_, this);
  table_->setModel(model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setWordWrap(false);
  table_->verticalHeader()->setVisible(false);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  const int widths[] = {64, 104, 28, 44, 360};
  for (int c = 0; c < 5; ++c) table_->setColumnWidth(c, widths[c]);

  auto* side = new QWidget(splitter);
  auto* sideLayout = new QVBoxLayout(side);
  sideLayout->setContentsMargins(0, 0, 0, 0);
  counters_ = new QListWidget(side);
  auto* reset = new QPushButton(QStringLiteral("Сбросить счетчики"), side);
  sideLayout->addWidget(counters_);
  sideLayout->addWidget(reset);
  connect(reset, &QPushButton::clicked, this, [this] {
    monitor_->ResetCounters();
    RefreshCounters();
  });
  splitter->setStretchFactor(0, 4);
  splitter->setStretchFactor(1, 1);
  layout->addWidget(splitter);

  // The table follows new rows until the user scrolls away from the end, and again once
  // they scroll back to it.
  QScrollBar* bar = table_->verticalScrollBar();
  connect(bar, &QScrollBar::valueChanged, this, [this, bar](int v) {
    if (!autoScrolling_) follow_ = v >= bar->maximum();
  });
  auto* copy = new QShortcut(QKeySequence::Copy, table_);
  connect(copy, &QShortcut::activated, this, [this] { CopySelection(); });

  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, [this] { PollNow(); });
  timer_->start(kPollMs);
  resize(1100, 480);
  PollNow();
}

TrafficWindow::~TrafficWindow() = default;

void TrafficWindow::BuildToolbar(QVBoxLayout* layout) {
  auto* bar = new QHBoxLayout;
  pause_ = new QPushButton(QStringLiteral("Пауза"), this);
  pause_->setCheckable(true);
  auto* clear = new QPushButton(QStringLiteral("Очистить"), this);
  direction_ = new QComboBox(this);
  direction_->addItems({QStringLiteral("Все кадры"), QStringLiteral("Отправленные"), QStringLiteral("Принятые")});
  data_ = new QCheckBox(QStringLiteral("Данные"), this);
  control_ = new QCheckBox(QStringLiteral("Служебные"), this);
  faults_ = new QCheckBox(QStringLiteral("Ошибки"), this);
  for (QCheckBox* b : {data_, control_, faults_}) b->setChecked(true);
  auto* copy = new QPushButton(QStringLiteral("Копировать"), this);
  auto* saveText = new QPushButton(QStringLiteral("Сохранить как текст"), this);
  auto* savePcap = new QPushButton(QStringLiteral("Сохранить как pcap"), this);
  for (QWidget* w : std::initializer_list<QWidget*>{pause_, clear, direction_, data_, control_, faults_}) bar->addWidget(w);
  bar->addStretch();
  for (QWidget* w : {copy, saveText, savePcap}) bar->addWidget(w);
  layout->addLayout(bar);

  connect(pause_, &QPushButton::toggled, this, [this](bool on) { monitor_->SetPaused(on); });
  connect(clear, &QPushButton::clicked, this, [this] { model_->Reset([this] { monitor_->Clear(); }); });
  connect(direction_, &QComboBox::currentIndexChanged, this, [this] { ApplyFilter(); });
  for (QCheckBox* b : {data_, control_, faults_}) connect(b, &QCheckBox::toggled, this, [this] { ApplyFilter(); });
  connect(copy, &QPushButton::clicked, this, [this] { CopySelection(); });
  connect(saveText, &QPushButton::clicked, this, [this] { SaveText(); });
  connect(savePcap, &QPushButton::clicked, this, [this] { SavePcap(); });
}

void TrafficWindow::PollNow() {
  model_->Poll();
  if (follow_ && !monitor_->Paused()) {
    autoScrolling_ = true;
    table_->scrollToBottom();
    autoScrolling_ = false;
  }
  RefreshCounters();
}

void TrafficWindow::ApplyFilter() {
  TrafficFilter f;
  f.direction = static_cast<DirectionFilter>(std::max(0, direction_->currentIndex()));
  f.data = data_->isChecked();
  f.control = control_->isChecked();
  f.faults = faults_->isChecked();
  model_->Reset([this, f] { monitor_->SetFilter(f); });
}

void TrafficWindow::CopySelection() {
  std::set<size_t> rows;
  for (const QModelIndex& i : table_->selectionModel()->selectedIndexes()) rows.insert(static_cast<size_t>(i.row()));
  if (rows.empty()) return;
  QApplication::clipboard()->setText(Q(monitor_->RowsText({rows.begin(), rows.end()})));
}

void TrafficWindow::SaveText() {
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить как текст"), QStringLiteral("обмен.txt"),
                                                    QStringLiteral("Текст (*.txt)"));
  if (path.isEmpty()) return;
  std::string error;
  if (!monitor_->SaveText(path.toStdString(), error)) QMessageBox::warning(this, QStringLiteral("Ошибка"), Q(error));
}

void TrafficWindow::SavePcap() {
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить как pcap"), QStringLiteral("обмен.pcap"),
                                                    QStringLiteral("Wireshark (*.pcap)"));
  if (path.isEmpty()) return;
  std::string error;
  if (!monitor_->SavePcap(path.toStdString(), error)) QMessageBox::warning(this, QStringLiteral("Ошибка"), Q(error));
}

void TrafficWindow::RefreshCounters() {
  const auto lines = monitor_->CounterLines();
  if (counters_->count() == static_cast<int>(lines.size())) {
    for (int i = 0; i < counters_->count(); ++i) counters_->item(i)->setText(Q(lines[static_cast<size_t>(i)]));
    return;
  }
  counters_->clear();
  for (const auto& l : lines) counters_->addItem(Q(l));
}

}  // namespace tessvar::qt

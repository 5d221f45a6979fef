// The "Обмен" window on the offscreen platform: rows reach the table on a poll, a failed
// exchange is drawn red, the kind filter and the copy act on what the table shows.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "model/connection_settings.h"
#include "platform/virtual_clock.h"
#include "qt/traffic_window.h"

using namespace tessvar;

class TrafficWindowTest : public QObject {
  Q_OBJECT

  template <class W>
  W* Child(qt::TrafficWindow& w, const char* text) {
    for (W* c : w.findChildren<W*>())
      if (c->text() == QString::fromUtf8(text)) return c;
    return nullptr;
  }

 private slots:
  void RowsFaultsFilterAndCopy() {
    VirtualClock clock;
    monitor::TrafficCapture capture(clock);
    ConnectionSettings s;
    s.protocol = ProtocolKind::ModbusRtu;
    capture.OnRunStart(s, true);
    const std::vector<uint8_t> request = {0x01, 0x04, 0x00, 0x00, 0x00, 0x0A, 0x70, 0x0D};
    const std::vector<uint8_t> exception = {0x01, 0x84, 0x02, 0xC2, 0xC1};
    qt::TrafficWindow w(capture);
    w.show();
    QCOMPARE(w.Table()->model()->rowCount(), 0);
    capture.OnFrame(FrameDirection::Sent, 10, request);
    capture.OnFrame(FrameDirection::Received, 20, exception);
    capture.OnExchange(LinkResult::kIllegalDataAddress);
    capture.OnFrame(FrameDirection::Sent, 30, request);
    w.PollNow();
    QAbstractItemModel* m = w.Table()->model();
    QCOMPARE(m->rowCount(), 3);
    QCOMPARE(m->data(m->index(0, 4)).toString(), QStringLiteral("01 04 00 00 00 0A 70 0D"));
    QCOMPARE(m->data(m->index(1, 0, {}), Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
    QVERIFY(!m->data(m->index(0, 0), Qt::ForegroundRole).isValid());
    QVERIFY(m->data(m->index(1, 5)).toString().contains(QStringLiteral("exception 2 Illegal data address")));

    QCheckBox* faults = Child<QCheckBox>(w, "Ошибки");
    QVERIFY(faults);
    faults->setChecked(false);
    QCOMPARE(m->rowCount(), 2);
    faults->setChecked(true);

    QPushButton* pause = Child<QPushButton>(w, "Пауза");
    QVERIFY(pause);
    pause->setChecked(true);
    capture.OnFrame(FrameDirection::Received, 40, exception);
    w.PollNow();
    QCOMPARE(m->rowCount(), 3);
    pause->setChecked(false);
    w.PollNow();
    QCOMPARE(m->rowCount(), 4);

    w.Table()->selectRow(1);
    Child<QPushButton>(w, "Копировать")->click();
    const QString copied = QApplication::clipboard()->text();
    QVERIFY2(copied.startsWith(QStringLiteral("20\t")), qPrintable(copied));
    QVERIFY(copied.contains(QStringLiteral("Адрес данных")));

    Child<QPushButton>(w, "Очистить")->click();
    QCOMPARE(m->rowCount(), 0);
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  TrafficWindowTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "traffic_window_test.moc"

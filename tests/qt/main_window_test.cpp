// The real main window on the Qt host: its template as widgets, a refused start, the pages
// over the window, and a run against the simulator program over loopback TCP. PNGs of the
// window before and during the run and of each page go to the build folder.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/control_ids.h"
#include "app/file_page.h"
#include "app/krellon_dlg.h"
#include "ui/pages/iec_property_page.h"
#include "ui/pages/rs485_page.h"
#include "platform/posix/file_settings_store.h"
#include "platform/posix/posix_serial_port.h"
#include "platform/posix/posix_tcp_socket.h"
#include "platform/posix/real_clock.h"
#include "qt/control_widgets.h"
#include "qt/qt_clock.h"
#include "qt/qt_window_host.h"
#include "tools/make_samples/sample_set.h"

using namespace tessvar;

namespace {

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QString SourceDir() { return qEnvironmentVariable("TESSVAR_SOURCE_DIR", QStringLiteral(".")); }
QString ShotDir() {
  const QString dir = qEnvironmentVariable("TESSVAR_BINARY_DIR", QStringLiteral(".")) +
                      QStringLiteral("/screenshots");
  QDir().mkpath(dir);
  return dir;
}

void Shot(QWidget* w, const QString& name) {
  QApplication::processEvents();
  w->grab().save(ShotDir() + QLatin1Char('/') + name + QStringLiteral(".png"));
}

// Closes the next message box and keeps its text.
void AnswerNextMessageBox(QString* text) {
  auto* poll = new QTimer(qApp);  // deletes itself once done
  auto tries = std::make_shared<int>(0);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, text, tries] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box || ++*tries > 300) {
      poll->stop();
      poll->deleteLater();
    }
    if (box) {
      *text = box->text();
      box->button(QMessageBox::Ok)->click();
    }
  });
  poll->start(10);
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

  QTemporaryDir home_;
  RealClock real_;
  std::unique_ptr<qt::QtWindowHost> host_;
  std::unique_ptr<qt::QtClock> clock_;
  std::unique_ptr<FileSettingsStore> store_;
  std::unique_ptr<CKrellonDlg> dlg_;
  qt::DialogView* view_ = nullptr;

  Dialog& D() { return dlg_->GetDialog(); }
  template <class W>
  W* Get(int id) {
    return qobject_cast<W*>(view_->Control(id));
  }
  // Loads a description through the "Файл" page, as the user does.
  void Load(const QString& path) {
    QTest::mouseClick(view_->Control(idc::kFileTab), Qt::LeftButton);
    COpenFile* page = dlg_->FilePage();
    QVERIFY(page);
    host_->PresetOpenAnswer(path.toStdString());
    QVERIFY(page->LoadDescriptionFile());
  }

 private slots:
  void init() {
    host_ = std::make_unique<qt::QtWindowHost>();
    clock_ = std::make_unique<qt::QtClock>(real_, *host_);
    store_ = std::make_unique<FileSettingsStore>(home_.filePath(QStringLiteral("settings")).toStdString());
    KrellonSeams seams;
    seams.enumerateSerialPorts = [] { return std::vector<std::string>{}; };
    seams.makeSerialPort = [] { return MakePosixSerialPort(); };
    seams.makeTcpSocket = [] { return MakePosixTcpSocket(); };
    seams.configureSerial = [](std::string_view) {};
    dlg_ = std::make_unique<CKrellonDlg>(*host_, *clock_, *store_, std::move(seams));
    dlg_->OnInitDialog();
    for (const SystemMenuItem& item : dlg_->SystemMenu())
      if (item.command != 0) host_->SetMenuCommand(Q(item.text), item.command);
    view_ = &host_->AttachMain(D());
    view_->show();
    QVERIFY(QTest::qWaitForWindowExposed(view_));
  }
  void cleanup() {
    if (dlg_) dlg_->OnDestroy();
    host_->DetachAll();
    dlg_.reset();
    host_.reset();
    clock_.reset();
  }

  void everyControlOfTheTemplateIsThereWithItsState() {
    Shot(view_, QStringLiteral("main-idle"));
    for (int id : D().Ids()) {
      const ControlState& s = D().State(id);
      QWidget* w = view_->Control(id);
      QVERIFY2(w, qPrintable(QString::number(id)));
      QCOMPARE(w->isVisibleTo(view_), s.visible);
      QCOMPARE(w->isEnabled(), s.enabled);
      if (auto* l = qobject_cast<QLabel*>(w)) QCOMPARE(l->text(), Q(s.text));
      if (auto* e = qobject_cast<QLineEdit*>(w)) {
        QCOMPARE(e->text(), Q(s.text));
        QCOMPARE(e->isReadOnly(), s.readOnly);
      }
      if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        QCOMPARE(b->text().simplified(), Q(s.text).simplified());
        if (b->isCheckable()) QCOMPARE(b->isChecked(), s.checked);
      }
      if (auto* c = qobject_cast<QComboBox*>(w)) {
        QCOMPARE(c->count(), static_cast<int>(s.items.size()));
        QCOMPARE(c->currentIndex(), s.selection);
      }
    }
    QCOMPARE(Get<QPushButton>(idc::kStart)->text(), QStringLiteral("Старт"));
    QVERIFY(!Get<QPushButton>(idc::kStop)->isEnabled());
    QCOMPARE(Get<QPushButton>(idc::kDisplayMode)->text(), QStringLiteral("Физ. ед"));
    QVERIFY(Get<QPushButton>(idc::kDisplayMode)->isChecked());
    QCOMPARE(Get<QLabel>(idc::kStatusLine)->text(), QStringLiteral("Ожидание"));
    QCOMPARE(Get<QComboBox>(idc::kTimeBaseList)->currentText(), QStringLiteral("Local"));
    QVERIFY(!Get<QPushButton>(idc::kRtcCheck)->isVisible());
    // Every visible caption fits its control: no clipped Cyrillic.
    for (int id : D().Ids()) {
      auto* l = qobject_cast<QLabel*>(view_->Control(id));
      if (!l || !l->isVisibleTo(view_) || l->text().isEmpty()) continue;
      QVERIFY2(l->heightForWidth(l->width()) <= l->height() + 2 ||
                   l->fontMetrics().horizontalAdvance(l->text()) <= l->width(),
               qPrintable(l->text()));
    }
  }

  void startingWithoutADescriptionIsRefusedWithAMessage() {
    QString text;
    AnswerNextMessageBox(&text);
    QTest::mouseClick(Get<QPushButton>(idc::kStart), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!text.isEmpty(), 5000);
    QCOMPARE(text, QStringLiteral("Загрузите файл конфигурации"));
    QVERIFY(!dlg_->Run().m_running);
    QVERIFY(Get<QPushButton>(idc::kStart)->isEnabled());
  }

  void pagesOpenOverTheWindowAndCloseWhenTheFocusLeaves() {
    QTest::mouseClick(view_->Control(idc::kFileTab), Qt::LeftButton);
    QVERIFY(dlg_->FilePage());
    qt::DialogView* page = host_->ViewOf(dlg_->FilePage()->GetDialog());
    QVERIFY(page);
    QTRY_VERIFY_WITH_TIMEOUT(page->isVisible(), 3000);
    const QRect owner = view_->frameGeometry();
    QCOMPARE(page->mapToGlobal(QPoint(0, 0)), owner.topLeft() + QPoint(10, 60));
    Shot(page, QStringLiteral("page-file"));
    view_->activateWindow();
    view_->Control(idc::kPollPeriod)->setFocus();
    QTRY_VERIFY_WITH_TIMEOUT(host_->ViewOf(dlg_->FilePage() ? dlg_->FilePage()->GetDialog()
                                                            : D()) != page,
                             3000);

    // The serial and IEC pages open once a protocol that has them is chosen, take the focus
    // into one of their lists, stay while it moves between them and close when it moves to
    // a control of the window.
    D().UserSelect(idc::kProtocolList, D().FindExact(idc::kProtocolList, "МЭК-101"));
    struct PageCase {
      int tab;
      std::function<Dialog*()> page;
      int first, second;
      const char* shot;
    };
    const PageCase cases[] = {
        {idc::kSerialTab,
         [this]() -> Dialog* { return dlg_->SerialPage() ? &dlg_->SerialPage()->GetDialog() : nullptr; },
         idc::kParityList, idc::kBaudList, "page-rs485"},
        {idc::kIecTab,
         [this]() -> Dialog* { return dlg_->IecPage() ? &dlg_->IecPage()->GetDialog() : nullptr; },
         idc::kCommonAddressSize, idc::kCauseSize, "page-iec101"},
    };
    for (const PageCase& c : cases) {
      QTest::mouseClick(view_->Control(c.tab), Qt::LeftButton);
      QApplication::processEvents();
      QTest::qWait(50);
      Dialog* opened = c.page();
      QVERIFY2(opened, c.shot);
      qt::DialogView* pv = host_->ViewOf(*opened);
      QVERIFY(pv && pv->isVisible());
      QCOMPARE(qt::DialogView::ViewOwning(QApplication::focusWidget()), pv);
      QCOMPARE(opened->Focus(), c.first);
      pv->Control(c.second)->setFocus(Qt::TabFocusReason);
      QApplication::processEvents();
      QCOMPARE(c.page(), opened);
      Shot(pv, QString::fromLatin1(c.shot));
      view_->Control(idc::kPollPeriod)->setFocus(Qt::MouseFocusReason);
      QTRY_VERIFY_WITH_TIMEOUT(c.page() == nullptr, 3000);
    }
    Shot(view_, QStringLiteral("main-iec101"));
  }

  void enterValidatesTheFieldsAndEscapeEndsTheWindow() {
    auto* poll = Get<QLineEdit>(idc::kPollPeriod);
    poll->setFocus();
    poll->selectAll();
    QTest::keyClicks(poll, QStringLiteral("abc"));
    QString text;
    AnswerNextMessageBox(&text);
    QTest::keyClick(poll, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(!text.isEmpty(), 5000);
    QCOMPARE(text, QStringLiteral("Enter a positive integer."));
    QVERIFY(view_->isVisible());
    QVERIFY(!D().Ended());

    // The spin beside the device address steps the address box.
    poll->selectAll();
    QTest::keyClicks(poll, QStringLiteral("500"));
    auto* spin = dynamic_cast<qt::SpinArrows*>(view_->Control(idc::kDeviceAddressSpin));
    QVERIFY(spin);
    QTest::mouseClick(spin->Up(), Qt::LeftButton);
    QCOMPARE(Get<QLineEdit>(idc::kDeviceAddress)->text(), QStringLiteral("2"));

    QTest::keyClick(view_, Qt::Key_Escape);
    QVERIFY(D().Ended());
    QVERIFY(!view_->isVisible());
  }

  void f1AndTheContextMenuCommandOpenTheAboutBox() {
    QTest::keyClick(view_, Qt::Key_F1);
    Dialog* about = dlg_->AboutBox();
    QVERIFY(about);
    qt::DialogView* box = host_->ViewOf(*about);
    QVERIFY(box);
    QVERIFY(QTest::qWaitForWindowExposed(box));
    QCOMPARE(box->windowTitle(), QStringLiteral("About Tessvar"));
    bool versionShown = false;
    for (auto* l : box->findChildren<QLabel*>())
      versionShown = versionShown || l->text() == QStringLiteral("Tessvar Version 1.1");
    QVERIFY(versionShown);
    Shot(box, QStringLiteral("about"));
    QTest::mouseClick(qobject_cast<QPushButton*>(box->Control(1)), Qt::LeftButton);
    QVERIFY(about->Ended());
  }

  void theEnergyCheckWindowComesFromItsTemplateCentredOnTheMainWindow() {
    // Opened from the window menu: no description, so the run refuses to start (its box is
    // answered) and the check window waits; its texts are then set as at a check's end.
    QString refusal;
    AnswerNextMessageBox(&refusal);
    D().UserCommand(idc::kEnergyCheckCommand);
    QTRY_VERIFY(!refusal.isEmpty());
    qt::DialogView* check = nullptr;
    QList<QWidget*> widgets = view_->findChildren<QWidget*>();
    widgets << QApplication::topLevelWidgets();
    for (QWidget* w : widgets) {
      auto* v = dynamic_cast<qt::DialogView*>(w);
      if (v && v != view_ && v->isVisible() && v->Model() && v->Model()->Template().id == 142) check = v;
    }
    QVERIFY(check);
    QVERIFY(QTest::qWaitForWindowExposed(check));
    QCOMPARE(check->windowTitle(), QStringLiteral("Проверка подсчета энергии и количества электричества"));
    const QPoint mainCentre = view_->frameGeometry().center();
    const QPoint checkCentre = check->frameGeometry().center();
    QVERIFY2((mainCentre - checkCentre).manhattanLength() <= 4,
             qPrintable(QStringLiteral("%1,%2 vs %3,%4").arg(mainCentre.x()).arg(mainCentre.y())
                            .arg(checkCentre.x()).arg(checkCentre.y())));
    Dialog& d = *check->Model();
    const char* end[][3] = {{"43405", "47005", "3600"}, {"2671213", "2674813", "3600"},
                            {"9997", "13597", "3600"}, {"6055213", "6058813", "3600"}};
    const int ids[][3] = {{1216, 1218, 1222}, {1219, 1221, 1223}, {1224, 1226, 1230}, {1227, 1229, 1231}};
    for (int k = 0; k < 4; ++k)
      for (int j = 0; j < 3; ++j) d.SetText(ids[k][j], end[k][j]);
    d.SetText(1148, "18 : 19 : 48.52");
    d.SetText(1149, "18 : 25 : 48.52");
    d.SetText(1150, "00 : 00 : 00");
    for (int k = 0; k < 4; ++k)
      for (int j = 0; j < 3; ++j) {
        auto* edit = qobject_cast<QLineEdit*>(check->Control(ids[k][j]));
        QVERIFY(edit);
        QVERIFY(edit->isReadOnly());
        QCOMPARE(edit->text(), QString::fromLatin1(end[k][j]));
      }
    QVERIFY(!check->Control(1)->isVisibleTo(check));
    QVERIFY(!check->Control(2)->isVisibleTo(check));
    QStringList groups;
    for (auto* g : check->findChildren<QGroupBox*>()) groups << g->title();
    for (const char* title : {"Значение выходного кода", "Wdc1", "Qdc1", "Wdc2", "Qdc2", "Время счета"})
      QVERIFY2(groups.contains(QString::fromUtf8(title)), title);
    Shot(check, QStringLiteral("energy-check-end"));
    d.UserClose();
    QTRY_VERIFY(!check->isVisible());
  }

  void aRunAgainstTheSimulatorShowsTheValues() {
    const QString sim = QStringLiteral(TESSVAR_SIM_PATH);
    if (!QFile::exists(sim)) QSKIP("the simulator is not built");
    QProcess server;
    server.start(sim, {QStringLiteral("--dat"), SourceDir() + QStringLiteral("/samples/tcp-two-channel.dat"),
                       QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:0")});
    QVERIFY(server.waitForStarted(5000));
    QString line;
    for (int i = 0; i < 50 && !line.contains(QLatin1Char('\n')); ++i) {
      server.waitForReadyRead(100);
      line += QString::fromUtf8(server.readAllStandardOutput());
    }
    const auto m = QRegularExpression(QStringLiteral("listening 127\\.0\\.0\\.1:(\\d+)")).match(line);
    QVERIFY2(m.hasMatch(), qPrintable(line));
    const uint16_t port = static_cast<uint16_t>(m.captured(1).toUInt());

    // The bundled description, pointed at the port the simulator got.
    samples::DescriptionLayout layout;
    for (auto& s : samples::SampleSet())
      if (s.fileName == "tcp-two-channel.dat") layout = s.layout;
    QVERIFY(layout.network.has_value());
    layout.network->port = port;
    const auto bytes = samples::WriteDescription(layout);
    const QString path = home_.filePath(QStringLiteral("tcp-two-channel.dat"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    f.close();

    Load(path);
    view_->activateWindow();
    view_->Control(idc::kPollPeriod)->setFocus();
    QCOMPARE(Get<QComboBox>(idc::kProtocolList)->currentText(), QStringLiteral("MODBUS TCP/IP"));
    const int portItem = D().FindExact(idc::kPortList, std::to_string(port));
    QVERIFY(portItem >= 0);
    D().UserSelect(idc::kPortList, portItem);
    QVERIFY(view_->windowTitle().contains(QStringLiteral("tcp-two-channel.dat")));

    const int voltageField = 1031;  // U1av of channel 1
    const QString before = Get<QLineEdit>(voltageField)->text();
    QTest::mouseClick(Get<QPushButton>(idc::kStart), Qt::LeftButton);
    QVERIFY(dlg_->Run().m_running);
    QTRY_VERIFY_WITH_TIMEOUT(Get<QLineEdit>(voltageField)->text() != before &&
                                 !Get<QLineEdit>(voltageField)->text().isEmpty(),
                             10000);
    QVERIFY(!Get<QPushButton>(idc::kStart)->isEnabled() || dlg_->Run().m_running);
    QTest::qWait(600);
    // Numbers keep the point whatever the locale (the ctest run under ru_RU has a comma).
    for (auto* e : view_->findChildren<QLineEdit*>())
      QVERIFY2(!e->text().contains(QLatin1Char(',')), qPrintable(e->text()));
    Shot(view_, QStringLiteral("main-running"));
    QTest::mouseClick(Get<QPushButton>(idc::kStop), Qt::LeftButton);
    QVERIFY(!dlg_->Run().m_running);
    server.terminate();
    if (!server.waitForFinished(3000)) server.kill();
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setStyle(QStringLiteral("Fusion"));
  MainWindowTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "main_window_test.moc"

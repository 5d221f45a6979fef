// The Qt window host: message boxes, file dialogs, window timers, pages and posted closures,
// and the clock whose waits keep the window painted without re-entering a tick.
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>

#include "platform/posix/real_clock.h"
#include "qt/localisation.h"
#include "qt/qt_clock.h"
#include "qt/qt_window_host.h"
#include "tests/qt/test_template.h"

using namespace tessvar;
using tessvar::qt::QtWindowHost;

namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

// Runs `inspect` on the next modal window of class W that opens (which must close it).
template <class W>
void WhenModalOpens(std::function<void(W*)> inspect) {
  auto* poll = new QTimer(qApp);  // deletes itself once done
  auto tries = std::make_shared<int>(0);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, inspect, tries] {
    if (auto* w = qobject_cast<W*>(QApplication::activeModalWidget())) {
      poll->stop();
      poll->deleteLater();
      inspect(w);
    } else if (++*tries > 1000) {
      poll->stop();
      poll->deleteLater();
    }
  });
  poll->start(10);
}

// Paint events a widget receives.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
};

}  // namespace

class WindowHostTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QtWindowHost> host_;
  std::unique_ptr<Dialog> main_;
  RealClock real_;

 private slots:
  void init() {
    host_ = std::make_unique<QtWindowHost>();
    main_ = std::make_unique<Dialog>(test::kAllKindsDialog);
    host_->AttachMain(*main_).show();
    QVERIFY(QTest::qWaitForWindowExposed(host_->ViewOf(*main_)));
  }
  void cleanup() {
    host_.reset();
    main_.reset();
  }

  void messageBoxIsOkOnlyWithTheIconAsked() {
    QString text, caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    WhenModalOpens<QMessageBox>([&](QMessageBox* box) {
      text = box->text();
      caption = box->windowTitle();
      icon = box->icon();
      buttons = static_cast<int>(box->buttons().size());
      box->button(QMessageBox::Ok)->click();
    });
    host_->MessageBox("Для правильной работы программы необходим файл конфигурации", "Ошибка",
                      MessageIcon::Exclamation);
    QCOMPARE(text, Q("Для правильной работы программы необходим файл конфигурации"));
    QCOMPARE(caption, Q("Ошибка"));
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(buttons, 1);

    WhenModalOpens<QMessageBox>([&](QMessageBox* box) {
      icon = box->icon();
      text = box->text();
      box->button(QMessageBox::Ok)->click();
    });
    host_->MessageBox("RTC <b>ok</b>", "RTC test", MessageIcon::None);
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(text, Q("RTC <b>ok</b>"));
  }

  void saveDialogFiltersAppendsTheExtensionAndAsksBeforeOverwriting() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QStringList filters;
    bool confirms = false, saves = false;
    WhenModalOpens<QFileDialog>([&](QFileDialog* d) {
      filters = d->nameFilters();
      confirms = !d->testOption(QFileDialog::DontConfirmOverwrite);
      saves = d->acceptMode() == QFileDialog::AcceptSave;
      // Typed as a user types it; closed as "Save" does (accept() could ask a question of
      // its own that nobody answers).
      if (auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        name->setText(dir.filePath(QStringLiteral("запись")));
      static_cast<QDialog*>(d)->done(saves ? QDialog::Accepted : QDialog::Rejected);
    });
    const auto path = host_->SaveFileDialog({"Текстовые файлы", "*.txt"}, "txt");
    QCOMPARE(filters, QStringList{Q("Текстовые файлы (*.txt)")});
    QVERIFY(confirms);
    QVERIFY(saves);
    QVERIFY(path.has_value());
    QCOMPARE(QString::fromStdString(*path), dir.filePath(Q("запись.txt")));

    WhenModalOpens<QFileDialog>([&](QFileDialog* d) {
      filters = d->nameFilters();
      d->reject();
    });
    QVERIFY(!host_->OpenFileDialog({"Файлы конфигурации (*.dat)", "*.dat"}).has_value());
    QCOMPARE(filters, QStringList{Q("Файлы конфигурации (*.dat)")});
  }

  void fileDialogsStartInTheSamplesThenInTheLastFolderAndSpeakRussian() {
    QTemporaryDir samples, records;
    QVERIFY(samples.isValid() && records.isValid());
    QVERIFY(QDir().mkpath(records.filePath(QStringLiteral("день"))));
    host_->SetStartFolder(samples.path());
    QVERIFY(qt::InstallRussianTranslations(*qApp));  // qt6-translations-l10n
    struct Step {
      bool save;
      QString opensIn;
      QString choose;  // empty: cancel
    };
    const QString recordFile = records.filePath(Q("день/запись.txt"));
    const Step steps[] = {
        {false, samples.path(), {}},                        // the samples at first
        {true, samples.path(), recordFile},                 // a cancel does not move it
        {false, records.filePath(Q("день")), {}},           // where the last choice was
        {true, records.filePath(Q("день")), {}},
    };
    for (const Step& st : steps) {
      QString openedIn, cancelText;
      WhenModalOpens<QFileDialog>([&](QFileDialog* d) {
        openedIn = d->directory().absolutePath();
        if (auto* box = d->findChild<QDialogButtonBox*>())
          if (QPushButton* b = box->button(QDialogButtonBox::Cancel)) cancelText = b->text();
        if (st.choose.isEmpty()) {
          d->reject();
        } else {
          // Typed as a user types it (a full path goes to the folder it names).
          if (auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            name->setText(st.choose);
          static_cast<QDialog*>(d)->done(QDialog::Accepted);
        }
      });
      const auto chosen = st.save ? host_->SaveFileDialog({"Текстовые файлы", "*.txt"}, "txt")
                                  : host_->OpenFileDialog({"Файлы конфигурации", "*.dat"});
      QCOMPARE(openedIn, QDir(st.opensIn).absolutePath());
      QCOMPARE(chosen.has_value(), !st.choose.isEmpty());
      QCOMPARE(cancelText.remove(QLatin1Char('&')), Q("Отмена"));
    }
  }

  void timersTickByIdAndStopWhenKilled() {
    std::vector<int> ticks;
    main_->OnTimer([&](int id) { ticks.push_back(id); });
    host_->SetTimer(*main_, 1, 5);
    host_->SetTimer(*main_, 7, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 3, 5000);
    QVERIFY(std::all_of(ticks.begin(), ticks.end(), [](int id) { return id == 1; }));
    host_->KillTimer(*main_, 1);
    QVERIFY(!host_->HasTimer(*main_, 1));
    QVERIFY(host_->HasTimer(*main_, 7));
    const size_t after = ticks.size();
    QTest::qWait(30);
    QCOMPARE(ticks.size(), after);
    // Restarting an id takes the new period.
    host_->SetTimer(*main_, 7, 1);
    QTRY_VERIFY_WITH_TIMEOUT(ticks.size() > after, 5000);
    QCOMPARE(ticks.back(), 7);
    // A tick may kill its own timer.
    main_->OnTimer([&](int id) {
      ticks.push_back(id);
      host_->KillTimer(*main_, id);
    });
    const size_t before = ticks.size();
    QTRY_COMPARE_WITH_TIMEOUT(ticks.size(), before + 1, 5000);
    QTest::qWait(20);
    QCOMPARE(ticks.size(), before + 1);
  }

  void aWaitInsideATickPaintsButEntersNoSecondTick() {
    qt::QtClock clock(real_, *host_);
    int depth = 0, deepest = 0, ticks = 0;
    std::atomic<bool> postedRan{false};
    bool postedRanInsideWait = true;
    int paintsInsideWait = 0;
    PaintCounter counter;
    auto* view = host_->ViewOf(*main_);
    view->installEventFilter(&counter);
    main_->OnTimer([&](int) {
      ++ticks;
      deepest = std::max(deepest, ++depth);
      if (ticks == 1) {
        main_->SetText(51, "Подключение");  // must be painted during the wait
        std::thread([&] { host_->Post([&] { postedRan = true; }); }).join();
        const int paintsBefore = counter.paints;
        clock.Sleep(150);  // a reply wait, many timer periods long
        paintsInsideWait = counter.paints - paintsBefore;
        postedRanInsideWait = postedRan;
      }
      --depth;
    });
    host_->SetTimer(*main_, 1, 10);
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 3, 5000);
    host_->KillTimer(*main_, 1);
    QCOMPARE(deepest, 1);
    QVERIFY(paintsInsideWait > 0);
    QVERIFY(!postedRanInsideWait);
    QTRY_VERIFY_WITH_TIMEOUT(postedRan.load(), 2000);
    view->removeEventFilter(&counter);
  }

  void aClosurePostedDuringATickWaitsForItsEnd() {
    bool insideTick = false, ranInsideTick = false, ran = false;
    main_->OnTimer([&](int id) {
      host_->KillTimer(*main_, id);
      insideTick = true;
      std::thread([&] { host_->Post([&] { ran = true, ranInsideTick = insideTick; }); }).join();
      // A message box runs an event loop of its own inside the tick.
      WhenModalOpens<QMessageBox>([](QMessageBox* box) {
        QTimer::singleShot(50, box, [box] { box->button(QMessageBox::Ok)->click(); });
      });
      host_->MessageBox("Ошибка", "Ошибка", MessageIcon::Exclamation);
      insideTick = false;
    });
    host_->SetTimer(*main_, 1, 1);
    QTRY_VERIFY_WITH_TIMEOUT(ran, 5000);
    QVERIFY(!ranInsideTick);
  }

  void dialogsMayGoOnceTheirViewsAreDetached() {
    auto page = std::make_unique<Dialog>(test::kPage);
    host_->ShowModeless(*page, *main_);
    host_->SetTimer(*page, 3, 10);
    QPointer<qt::DialogView> view = host_->ViewOf(*page);
    host_->DetachAll();
    QVERIFY(!host_->HasTimer(*page, 3));
    QVERIFY(view && view->Model() == nullptr && !view->isVisible());
    page.reset();
    main_.reset();
    host_.reset();  // deletes the views without touching the dialogs
    QVERIFY(view.isNull());
  }

  void postRunsOnTheWindowThreadInOrder() {
    std::vector<int> ran;
    QThread* windowThread = QThread::currentThread();
    std::atomic<bool> onWindowThread{true};
    std::thread worker([&] {
      for (int i = 0; i < 50; ++i)
        host_->Post([&, i] {
          if (QThread::currentThread() != windowThread) onWindowThread = false;
          ran.push_back(i);
        });
    });
    worker.join();
    QTRY_COMPARE_WITH_TIMEOUT(ran.size(), size_t{50}, 5000);
    QVERIFY(std::is_sorted(ran.begin(), ran.end()));
    QVERIFY(onWindowThread.load());
  }

  void aPageOpensOverItsOwnerAndClosesWhenTheFocusLeaves() {
    Dialog page(test::kPage);
    page.OnKillFocus(200, [&] {
      if (page.Focus() < 0) page.EndDialog(0);
    });
    host_->ShowModeless(page, *main_);
    auto* pageView = host_->ViewOf(page);
    QVERIFY(pageView);
    QVERIFY(QTest::qWaitForWindowExposed(pageView));
    QCOMPARE(pageView->parentWidget(), host_->ViewOf(*main_));
    // Drawn inside its owner's window: no window manager can take its focus away.
    QVERIFY(pageView->IsInnerPage() && !pageView->isWindow());
    // The page's first list has the focus at once, not a label (that would count as leaving).
    QCOMPARE(QApplication::focusWidget(), pageView->Control(200));

    const ScreenRect owner = host_->WindowRect(*main_);
    const ScreenRect before = host_->WindowRect(page);
    host_->MoveWindow(page, owner.left + 10, owner.top + 60);
    const ScreenRect placed = host_->WindowRect(page);
    QCOMPARE(placed.left, owner.left + 10);
    QCOMPARE(placed.top, owner.top + 60);
    QCOMPARE(placed.Width(), before.Width());
    QCOMPARE(placed.Height(), before.Height());

    auto* edit = qobject_cast<QLineEdit*>(pageView->Control(200));
    pageView->activateWindow();
    edit->setFocus();
    QTRY_COMPARE_WITH_TIMEOUT(page.Focus(), 200, 2000);
    // The page's own list keeps it open...
    pageView->Control(201)->setFocus();
    QTRY_COMPARE_WITH_TIMEOUT(page.Focus(), 201, 2000);
    edit->setFocus();
    QTRY_COMPARE_WITH_TIMEOUT(page.Focus(), 200, 2000);
    QVERIFY(!page.Ended());
    // ...a control of the main window closes it.
    auto* mainView = host_->ViewOf(*main_);
    mainView->activateWindow();
    mainView->Control(60)->setFocus();
    QTRY_VERIFY_WITH_TIMEOUT(page.Ended(), 2000);
    QVERIFY(host_->ViewOf(page) == nullptr);
  }

  void aModalDialogReturnsWhenItEnds() {
    static constexpr std::array kAbout{
        ControlTemplate{-1, ControlKind::Icon, "", {11, 17, 20, 20}},
        ControlTemplate{-1, ControlKind::Text, "Tessvar Version 1.1", {40, 10, 119, 8}},
        ControlTemplate{1, ControlKind::DefaultPushButton, "OK", {178, 7, 50, 14}},
    };
    static constexpr DialogTemplate kAboutBox{100, "About Tessvar", 235, 55, "MS Sans Serif", 8,
                                              dlg::kSystemMenu, kAbout};
    Dialog about(kAboutBox);
    about.OnClick(1, [&] { about.EndDialog(1); });
    QTimer::singleShot(50, [&] {
      if (auto* v = host_->ViewOf(about)) qobject_cast<QPushButton*>(v->Control(1))->click();
    });
    host_->RunModal(about, main_.get());
    QVERIFY(about.Ended());
    QCOMPARE(about.Result(), 1);
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setStyle(QStringLiteral("Fusion"));
  WindowHostTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "window_host_test.moc"

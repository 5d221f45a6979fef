// The generic view: widgets built from a template, the model mirrored into them and the
// user's input handed back, on the offscreen platform.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QToolButton>
#include <map>
#include <memory>

#include "qt/control_widgets.h"
#include "qt/dialog_view.h"
#include "qt/scaled_style.h"
#include "tests/qt/test_template.h"

using namespace tessvar;
using tessvar::qt::DialogView;

namespace {
QString Q(const char* utf8) { return QString::fromUtf8(utf8); }
}  // namespace

class DialogViewTest : public QObject {
  Q_OBJECT

  std::unique_ptr<Dialog> dialog_;
  std::unique_ptr<DialogView> view_;
  std::map<std::string, int> calls_;

  template <class W>
  W* Get(int id) {
    auto* w = dynamic_cast<W*>(view_->Control(id));
    if (!w) qWarning("control %d missing or of another class", id);
    return w;
  }

 private slots:
  void init() {
    dialog_ = std::make_unique<Dialog>(test::kAllKindsDialog);
    calls_.clear();
    for (int id : {10, 11, 20, 22, 23, 30, 31, 40, 41, 42})
      dialog_->OnClick(id, [this, id] { ++calls_["click" + std::to_string(id)]; });
    dialog_->OnSelChange(70, [this] { ++calls_["sel70"]; });
    dialog_->OnEditChange(60, [this] { ++calls_["edit60"]; });
    dialog_->OnEditChange(90, [this] { ++calls_["edit90"]; });
    dialog_->OnKillFocus(60, [this] { ++calls_["kill60"]; });
    dialog_->OnOk([this] { ++calls_["ok"]; });
    dialog_->OnCancel([this] { ++calls_["cancel"]; });
    dialog_->OnClose([this] { ++calls_["close"]; });
    dialog_->OnCommand(16, [this] { ++calls_["about"]; });
    dialog_->SetSpinRange(81, 1, 65535);
    dialog_->SetSpinPos(81, 1);
    view_ = std::make_unique<DialogView>(*dialog_);
    view_->SetMenuCommand(QStringLiteral("&About Tessvar"), 16);
    view_->show();
    QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
  }
  void cleanup() {
    view_.reset();
    dialog_.reset();
  }

  void everyControlHasItsCaptionAndState() {
    struct Row {
      int id;
      const char* cls;
      const char* text;
      bool enabled, visible, checked;
    };
    const Row rows[] = {
        {10, "QLabel", "Файл", true, true, false},
        {11, "QLabel", "RS-485", false, true, false},
        {20, "QPushButton", "Старт", true, true, false},
        {21, "QPushButton", "Default", true, false, false},
        {23, "QPushButton", "RST", true, false, false},
        {30, "QCheckBox", "Сохранить", true, true, false},
        {31, "QPushButton", "Код", true, true, true},
        {40, "QRadioButton", "Опрос группы", false, true, false},
        {41, "QRadioButton", "Чтение (102)", true, true, false},
        {50, "QLabel", "Состояние:", true, true, false},
        {51, "QLabel", "Ожидание", true, true, false},
        {60, "QLineEdit", "500", true, true, false},
        {61, "QLineEdit", "00 : 00 : 15", true, true, false},
    };
    for (const Row& r : rows) {
      QWidget* w = view_->Control(r.id);
      QVERIFY2(w, qPrintable(QString::number(r.id)));
      QVERIFY2(w->inherits(r.cls), qPrintable(QString::number(r.id)));
      QString text;
      if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
      else if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
      else if (auto* e = qobject_cast<QLineEdit*>(w)) text = e->text();
      QCOMPARE(text, Q(r.text));
      QCOMPARE(w->isEnabled(), r.enabled);
      QCOMPARE(w->isVisible(), r.visible);
      if (auto* b = qobject_cast<QAbstractButton*>(w); b && b->isCheckable())
        QCOMPARE(b->isChecked(), r.checked);
    }
    QVERIFY(dynamic_cast<qt::ClickableLabel*>(view_->Control(10)));
    QVERIFY(Get<QLineEdit>(61)->isReadOnly());
    QVERIFY(!Get<QLineEdit>(60)->isReadOnly());
    QVERIFY(Get<QRadioButton>(42)->isChecked());
    // Two-line captions are broken at a space so that they fit their button.
    QVERIFY(Get<QPushButton>(22)->text().contains(QLatin1Char('\n')));
    QCOMPARE(Get<QPushButton>(22)->text().simplified(), Q("Определение запаздывания"));
    QVERIFY(Get<QRadioButton>(42)->text().contains(QLatin1Char('\n')));
    // The unnamed group box and icon are built as well.
    const auto groups = view_->findChildren<QGroupBox*>();
    QCOMPARE(groups.size(), 1);
    QCOMPARE(groups.front()->title(), Q("Режим"));
    QCOMPARE(view_->windowTitle(), Q("Tessvar"));
    for (const QLabel* l : view_->findChildren<QLabel*>())  // hidden without an id, too
      QVERIFY(!(l->text() == QLatin1String("Isa") && l->isVisible()));
    QVERIFY(dynamic_cast<qt::SpinArrows*>(view_->Control(81)));
    QVERIFY(dynamic_cast<qt::Ipv4Edit*>(view_->Control(90)));
  }

  void geometryFollowsTheFontAtAnyScale() {
    const qt::DialogUnits& u = view_->Units();
    QCOMPARE(view_->size(), QSize(u.X(300), u.Y(200)));
    QCOMPARE(view_->Control(20)->geometry(), u.ToPixels({200, 10, 45, 12}));
    // Neighbouring controls meet: the right edge of one is next to the left of the other.
    QCOMPARE(u.ToPixels({0, 0, 10, 10}).right() + 1, u.ToPixels({10, 0, 10, 10}).left());

    // The same template with a font of twice the size is (within rounding) twice as large,
    // as it is on a screen scaled to 200 %.
    QFont big = view_->font();
    big.setPointSizeF(big.pointSizeF() * 2);
    const qt::DialogUnits u2(big);
    QVERIFY(std::abs(u2.BaseX() - 2 * u.BaseX()) <= 1);
    QVERIFY(std::abs(u2.BaseY() - 2 * u.BaseY()) <= 2);
    const qt::DialogUnits fixed(6, 13);
    QCOMPARE(fixed.ToPixels({540 - 4, 405 - 8, 4, 8}), QRect(QPoint(804, 645), QPoint(809, 657)));
  }

  void aWindowTooLargeForTheScreenGetsASmallerFont() {
    // The main window's size in dialog units, on screens of 1600 x 1000 scaled to 100, 150
    // and 200 % (the screen in pixels of the scaled coordinates) and on one far too small.
    static constexpr DialogTemplate kMain{102, "Tessvar", 540, 405, "MS Sans Serif", 8, 0, {}};
    QFont font = qt::TemplateFont(kMain);
    font.setPointSizeF(8);
    const QSize frame(12, 40);
    struct Case {
      QSize screen;
      bool shrinks;
    };
    const Case cases[] = {
        {{1600, 1000}, false}, {{1066, 666}, true}, {{800, 500}, true}, {{200, 150}, true}};
    for (const Case& c : cases) {
      const QFont fitted = qt::FitFont(font, kMain, c.screen, frame);
      const qt::DialogUnits u(fitted);
      QCOMPARE(fitted.pointSizeF() < font.pointSizeF(), c.shrinks);
      QVERIFY(fitted.pointSizeF() >= 5.0);
      if (fitted.pointSizeF() > 5.0) {
        QVERIFY(u.X(540) + frame.width() <= c.screen.width());
        QVERIFY(u.Y(405) + frame.height() <= c.screen.height());
      }
    }
  }

  void modelChangesReachTheWidgets() {
    dialog_->SetText(51, "Буфер обмена пуст");
    QCOMPARE(Get<QLabel>(51)->text(), Q("Буфер обмена пуст"));
    dialog_->SetColors(51, Rgb{204, 0, 0}, std::nullopt);
    QCOMPARE(Get<QLabel>(51)->palette().color(QPalette::Active, QPalette::WindowText),
             QColor(204, 0, 0));
    dialog_->SetColors(51, std::nullopt, std::nullopt);
    QVERIFY(Get<QLabel>(51)->palette().color(QPalette::WindowText) != QColor(204, 0, 0));

    dialog_->SetColors(61, std::nullopt, Rgb{0, 0, 0});  // an absent quantity: a black box
    QCOMPARE(Get<QLineEdit>(61)->palette().color(QPalette::Base), QColor(0, 0, 0));
    const QImage shot = view_->grab().toImage();
    const QPoint inside = Get<QLineEdit>(61)->geometry().center();
    QVERIFY(QColor(shot.pixel(inside * shot.devicePixelRatio())).lightness() < 40);

    dialog_->Enable(20, false);
    QVERIFY(!Get<QPushButton>(20)->isEnabled());
    dialog_->Show(23, true);
    QVERIFY(Get<QPushButton>(23)->isVisible());
    dialog_->SetReadOnly(61, false);
    QVERIFY(!Get<QLineEdit>(61)->isReadOnly());
    dialog_->SetCheck(31, false);
    QVERIFY(!Get<QPushButton>(31)->isChecked());
    dialog_->CheckRadio(41);
    QVERIFY(Get<QRadioButton>(41)->isChecked());
    QVERIFY(!Get<QRadioButton>(42)->isChecked());

    for (const char* p : {"MODBUS ASCII", "MODBUS RTU", "MODBUS TCP/IP"}) dialog_->AddItem(70, p);
    dialog_->SetSelection(70, 2);
    QCOMPARE(Get<QComboBox>(70)->count(), 3);
    QCOMPARE(Get<QComboBox>(70)->currentText(), Q("MODBUS TCP/IP"));
    dialog_->SetSelection(70, -1);
    QCOMPARE(Get<QComboBox>(70)->currentIndex(), -1);
    for (const char* p : {"НЕТ", "COM2", "COM10"}) dialog_->AddItem(71, p);
    QCOMPARE(Get<QComboBox>(71)->itemText(0), Q("COM10"));
    QCOMPARE(Get<QComboBox>(71)->itemText(2), Q("НЕТ"));
    dialog_->ResetContent(71);
    QCOMPARE(Get<QComboBox>(71)->count(), 0);

    dialog_->SetIpv4(90, 0xC0A80A01u);
    auto* ip = Get<qt::Ipv4Edit>(90);
    QCOMPARE(ip->Octet(0)->text(), QStringLiteral("192"));
    QCOMPARE(ip->Octet(3)->text(), QStringLiteral("1"));

    dialog_->SetTitle("Tessvar (tcp-two-channel.dat)");
    QCOMPARE(view_->windowTitle(), Q("Tessvar (tcp-two-channel.dat)"));
    dialog_->SetFocus(60);
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), view_->Control(60), 2000);
  }

  void userInputReachesTheModel() {
    auto* poll = Get<QLineEdit>(60);
    poll->setFocus();
    poll->selectAll();
    QTest::keyClicks(poll, QStringLiteral("250"));
    QCOMPARE(dialog_->Text(60), std::string("250"));
    QCOMPARE(calls_["edit60"], 3);

    QTest::keyClicks(Get<QLineEdit>(61), QStringLiteral("9"));  // read-only: refused
    QCOMPARE(dialog_->Text(61), std::string("00 : 00 : 15"));

    QTest::mouseClick(Get<QPushButton>(20), Qt::LeftButton);
    QCOMPARE(calls_["click20"], 1);
    dialog_->Enable(20, false);
    QTest::mouseClick(Get<QPushButton>(20), Qt::LeftButton);
    QCOMPARE(calls_["click20"], 1);

    QTest::mouseClick(view_->Control(10), Qt::LeftButton);
    QCOMPARE(calls_["click10"], 1);
    QTest::mouseClick(view_->Control(11), Qt::LeftButton);  // a disabled tab
    QCOMPARE(calls_["click11"], 0);

    QTest::mouseClick(Get<QCheckBox>(30), Qt::LeftButton);
    QVERIFY(dialog_->IsChecked(30));
    QTest::mouseClick(Get<QPushButton>(31), Qt::LeftButton);
    QVERIFY(!dialog_->IsChecked(31));
    QVERIFY(!Get<QPushButton>(31)->isChecked());

    QTest::mouseClick(Get<QRadioButton>(41), Qt::LeftButton);
    QCOMPARE(dialog_->RadioIndex(40), 1);
    QVERIFY(!Get<QRadioButton>(42)->isChecked());
    QTest::mouseClick(Get<QRadioButton>(41), Qt::LeftButton);  // clicking it again keeps it
    QVERIFY(Get<QRadioButton>(41)->isChecked());
    QCOMPARE(dialog_->RadioIndex(40), 1);

    for (const char* p : {"MODBUS ASCII", "MODBUS RTU", "МЭК-104"}) dialog_->AddItem(70, p);
    dialog_->SetSelection(70, 0);
    Get<QComboBox>(70)->setFocus();
    QTest::keyClick(Get<QComboBox>(70), Qt::Key_Down);
    QCOMPARE(dialog_->Selection(70), 1);
    QCOMPARE(calls_["sel70"], 1);

    auto* ip = Get<qt::Ipv4Edit>(90);
    dialog_->SetIpv4(90, 0xFFFFFFFFu);
    ip->Octet(0)->setFocus();
    ip->Octet(0)->selectAll();
    for (QChar c : QStringLiteral("127.0.0.1"))  // as typed: the focus moves on by itself
      QTest::keyClicks(QApplication::focusWidget(), QString(c));
    QCOMPARE(dialog_->Ipv4(90), 0x7F000001u);
    QVERIFY(calls_["edit90"] > 0);
  }

  void theSpinStepsItsEdit() {
    auto* spin = Get<qt::SpinArrows>(81);
    QTest::mouseClick(spin->Up(), Qt::LeftButton);
    QCOMPARE(dialog_->Text(80), std::string("2"));
    QCOMPARE(dialog_->SpinPos(81), 2);
    QTest::mouseClick(spin->Down(), Qt::LeftButton);
    QTest::mouseClick(spin->Down(), Qt::LeftButton);  // stops at the bottom of the range
    QCOMPARE(dialog_->Text(80), std::string("1"));

    // It steps from what was typed, and keeps within its range.
    auto* edit = Get<QLineEdit>(80);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("65534"));
    QTest::keyClick(edit, Qt::Key_Up);
    QTest::keyClick(edit, Qt::Key_Up);
    QCOMPARE(dialog_->Text(80), std::string("65535"));
    QTest::keyClick(edit, Qt::Key_Down);
    QCOMPARE(edit->text(), QStringLiteral("65534"));
    dialog_->Enable(81, false);
    QTest::keyClick(edit, Qt::Key_Up);
    QCOMPARE(edit->text(), QStringLiteral("65534"));
  }

  void keysAndWindowCommandsReachTheHandlers() {
    Get<QLineEdit>(60)->setFocus();
    QTest::keyClick(Get<QLineEdit>(60), Qt::Key_Return);
    QCOMPARE(calls_["ok"], 1);
    Get<QPushButton>(20)->setFocus();  // Enter presses a focused push button
    QTest::keyClick(Get<QPushButton>(20), Qt::Key_Return);
    QCOMPARE(calls_["click20"], 1);
    QCOMPARE(calls_["ok"], 1);
    QTest::keyClick(view_.get(), Qt::Key_Escape);
    QCOMPARE(calls_["cancel"], 1);
    QTest::keyClick(view_.get(), Qt::Key_F1);
    QCOMPARE(calls_["about"], 1);
    view_->close();
    QCOMPARE(calls_["close"], 1);
    QVERIFY(view_->isVisible());  // the handler did not end the dialog
    dialog_->EndDialog(2);
    QVERIFY(!view_->isVisible());
    QVERIFY(view_->Model() == nullptr);
  }

  void theContextMenuCarriesTheAboutCommand() {
    QString item;
    auto* poll = new QTimer(view_.get());
    QObject::connect(poll, &QTimer::timeout, poll, [poll, &item] {
      if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        poll->stop();
        item = menu->actions().value(0) ? menu->actions().value(0)->text() : QString();
        if (!menu->actions().isEmpty()) menu->actions().first()->trigger();
        menu->close();
      }
    });
    poll->start(10);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 150), view_->mapToGlobal(QPoint(5, 150)));
    QApplication::sendEvent(view_.get(), &event);
    QCOMPARE(item, QStringLiteral("&About Tessvar"));
    QCOMPARE(calls_["about"], 1);
  }

  void theContextMenuListsEveryCommandAndF1RunsTheFirst() {
    dialog_->OnCommand(32, [this] { ++calls_["rtc"]; });
    dialog_->OnCommand(48, [this] { ++calls_["energy"]; });
    view_->SetMenuCommand(QStringLiteral("Проверка RTC"), 32);
    view_->SetMenuCommand(QStringLiteral("Проверка подсчета"), 48);
    view_->SetMenuCommand(QStringLiteral("Проверка подсчета энергии"), 48);  // renamed, not added
    QStringList items;
    auto* poll = new QTimer(view_.get());
    QObject::connect(poll, &QTimer::timeout, poll, [poll, &items] {
      if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        poll->stop();
        for (QAction* a : menu->actions()) items << a->text();
        if (menu->actions().size() == 3) menu->actions().at(2)->trigger();
        menu->close();
      }
    });
    poll->start(10);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 150), view_->mapToGlobal(QPoint(5, 150)));
    QApplication::sendEvent(view_.get(), &event);
    QCOMPARE(items, (QStringList{QStringLiteral("&About Tessvar"), QStringLiteral("Проверка RTC"),
                                 QStringLiteral("Проверка подсчета энергии")}));
    QCOMPARE(calls_["energy"], 1);
    QTest::keyClick(view_.get(), Qt::Key_F1);
    QCOMPARE(calls_["about"], 1);
    QCOMPARE(calls_["rtc"], 0);
  }

  void leavingAFieldNotifiesTheModel() {
    Get<QLineEdit>(60)->setFocus();
    QTRY_COMPARE_WITH_TIMEOUT(dialog_->Focus(), 60, 2000);
    Get<QLineEdit>(80)->setFocus();
    QTRY_COMPARE_WITH_TIMEOUT(dialog_->Focus(), 80, 2000);
    QCOMPARE(calls_["kill60"], 1);
  }

  // A list that takes typed text: what is typed reaches the model, a chosen item shows in
  // the edit, and a text the list lacks stays shown.
  void anEditableListTakesTypedText() {
    int typed = 0;
    dialog_->OnEditChange(72, [&] { ++typed; });
    for (const char* p : {"ttyS0", "ttyUSB0"}) dialog_->AddItem(72, p);
    auto* box = Get<QComboBox>(72);
    QVERIFY(box->isEditable());
    QVERIFY(!Get<QComboBox>(70)->isEditable());
    box->lineEdit()->setFocus();
    box->lineEdit()->clear();
    QTest::keyClicks(box->lineEdit(), QStringLiteral("/dev/pts/3"));
    QCOMPARE(dialog_->Text(72), std::string("/dev/pts/3"));
    QCOMPARE(typed, 10);
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    QCOMPARE(box->count(), 2);  // typed text is not added to the list
    dialog_->SetSelection(72, 1);
    QCOMPARE(box->currentText(), QStringLiteral("ttyUSB0"));
    QCOMPARE(dialog_->Text(72), std::string("ttyUSB0"));
    dialog_->SetSelection(72, -1);
    dialog_->SetText(72, "/dev/serial/by-id/usb-FTDI");
    QCOMPARE(box->currentText(), QStringLiteral("/dev/serial/by-id/usb-FTDI"));
  }

  // A caption wider than its rectangle grows to the right into free room, but never over
  // the next control nor out of its frame.
  void aWideCaptionTakesFreeRoomOnly() {
    const qt::DialogUnits& u = view_->Units();
    struct Case {
      int id;
      DialogRect rect;  // of the template
      const char* text;
      int rightLimit;  // pixels: the next control or the frame, -1 for the window's edge
    };
    const int nextControl = u.ToPixels({70, 32, 60, 30}).left() - 2;  // the multiline radio
    const Case cases[] = {
        {30, {200, 80, 50, 10}, "Сохранить в файл с длинным именем", -1},
        {41, {10, 44, 55, 10}, "Чтение (102) с длинным текстом", nextControl},
        // Its rectangle already reaches the next control: it keeps it.
        {40, {10, 32, 60, 10}, "Опрос группы с длинным текстом", nextControl},
    };
    for (const Case& c : cases) {
      dialog_->SetText(c.id, c.text);
      QWidget* w = view_->Control(c.id);
      const QRect base = u.ToPixels(c.rect);
      const int limit = std::max(base.right(), c.rightLimit < 0 ? view_->width() - 1 : c.rightLimit);
      QVERIFY2(w->geometry().right() <= limit, c.text);
      QVERIFY2(w->width() > base.width() || base.right() == limit, c.text);
      QCOMPARE(w->width(), std::max(base.width(), std::min(w->sizeHint().width(), limit - w->x() + 1)));
    }
    // A short caption again: back to its own rectangle.
    dialog_->SetText(30, "Сохранить");
    QCOMPARE(view_->Control(30)->width(), std::max(u.ToPixels({200, 80, 50, 10}).width(),
                                                   view_->Control(30)->sizeHint().width()));
  }

  // Indicators and list arrows shrink with a font shrunk to fit the screen.
  void theScaledStyleShrinksIndicatorsAndArrows() {
    QStyle* half = qt::ScaledStyle::For(0.5);
    QCOMPARE(qt::ScaledStyle::For(0.5), half);
    QVERIFY(qt::ScaledStyle::For(0.75) != half);
    const QStyle* app = QApplication::style();
    for (QStyle::PixelMetric m : {QStyle::PM_IndicatorWidth, QStyle::PM_ExclusiveIndicatorHeight}) {
      const int full = app->pixelMetric(m);
      QVERIFY(half->pixelMetric(m) < full);
      QVERIFY(std::abs(half->pixelMetric(m) - std::max(7, (full + 1) / 2)) <= 1);
    }
    QComboBox box;
    box.resize(200, 30);
    QStyleOptionComboBox option;
    option.initFrom(&box);
    option.rect = QRect(0, 0, 200, 30);
    const QRect wide = app->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow);
    const QRect narrow = half->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow);
    const QRect field = half->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField);
    QVERIFY(narrow.width() < wide.width());
    QCOMPARE(narrow.right(), wide.right());
    QVERIFY(field.right() < narrow.left());
  }

  void linesAreDrawnInDialogUnits() {
    dialog_->SetLines({{0, 150, 300, 150, Rgb{255, 0, 0}}});
    const QImage shot = view_->grab().toImage();
    const qt::DialogUnits& u = view_->Units();
    const QPoint p = QPoint(u.X(280), u.Y(150)) * shot.devicePixelRatio();
    QCOMPARE(QColor(shot.pixel(p)), QColor(255, 0, 0));
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setStyle(QStringLiteral("Fusion"));
  DialogViewTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "dialog_view_test.moc"

#include "qt/dialog_view.h"

#include <QApplication>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>
#include <charconv>

#include "qt/app_icon.h"
#include "qt/control_widgets.h"
#include "qt/scaled_style.h"

namespace tessvar::qt {

namespace {

QString FromUtf8(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QColor ToQColor(const Rgb& c) { return QColor(c.r, c.g, c.b); }

// What a window manager adds around a window (title bar and borders), before the window
// is shown and the real frame is known.
constexpr QSize kFrameReserve(12, 40);

bool IsButtonKind(ControlKind k) {
  return k == ControlKind::PushButton || k == ControlKind::DefaultPushButton;
}

// A page without a title bar lives inside its owner's window, over its client area, rather
// than as a window of its own: focus then moves between controls of one window, so no
// window manager (or focus-stealing prevention) can take the focus away from a page that
// was just shown, and the page stays until the user moves the focus out of it.
bool InnerPageTemplate(const DialogTemplate& t, bool owned) { return owned && (t.flags & dlg::kNoTitle); }

Qt::WindowFlags FlagsFor(const DialogTemplate& t, bool owned) {
  if (InnerPageTemplate(t, owned)) return Qt::Widget;
  Qt::WindowFlags f = Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint |
                      Qt::MSWindowsFixedSizeDialogHint;
  if (t.flags & dlg::kSystemMenu) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (t.flags & dlg::kMinimizeBox) f |= Qt::WindowMinimizeButtonHint;
  if (owned) f |= Qt::Dialog;
  return f;
}

}  // namespace

DialogView::DialogView(Dialog& dialog, QWidget* parent)
    : QWidget(parent, FlagsFor(dialog.Template(), parent != nullptr)), dialog_(&dialog) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  setWindowIcon(AppIcon());
  innerPage_ = InnerPageTemplate(dialog.Template(), parent != nullptr);
  if (innerPage_) {
    setAutoFillBackground(true);
    hide();  // a child would otherwise show with its owner
  }
  Build();
  dialog_->AddObserver(this);
  focusConnection_ = connect(qApp, &QApplication::focusChanged, this,
          [this](QWidget* old, QWidget* now) { OnFocusChanged(old, now); });
}

DialogView::~DialogView() {
  // The window closes only after this body, and its focus goes away then: nothing of
  // that may reach the Dialog any more.
  disconnect(focusConnection_);
  if (dialog_) dialog_->RemoveObserver(this);
  dialog_ = nullptr;
}

void DialogView::Build() {
  const DialogTemplate& t = dialog_->Template();
  const QFont asked = TemplateFont(t);
  QFont font = asked;
  if (auto* owner = dynamic_cast<const DialogView*>(parentWidget()); owner && innerPage_) {
    // A page inside its owner shrinks with it.
    font.setPointSizeF(asked.pointSizeF() * owner->fontScale_);
  } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    // A window of its own must fit the screen it opens on, whatever the scaling.
    font = FitFont(asked, t, screen->availableGeometry().size(), kFrameReserve);
  }
  fontScale_ = asked.pointSizeF() > 0 ? font.pointSizeF() / asked.pointSizeF() : 1.0;
  // The style's indicators and arrows keep their pixel size whatever the font; with a font
  // shrunk to fit they would take the room of the captions beside them.
  if (fontScale_ < 0.97) controlStyle_ = ScaledStyle::For(fontScale_);
  setFont(font);
  units_ = DialogUnits(font);
  setFixedSize(units_.X(t.width), units_.Y(t.height));
  setWindowTitle(FromUtf8(dialog_->Title()));

  std::vector<QWidget*> groups;
  for (const ControlTemplate& c : t.controls) {
    QWidget* w = Create(c);
    if (!w) continue;
    if (controlStyle_) w->setStyle(controlStyle_);
    if (c.kind == ControlKind::GroupBox) groups.push_back(w);
    if (c.id >= 0 && dialog_->Has(c.id) && !widgets_.count(c.id)) {
      w->setObjectName(QStringLiteral("ctl_%1").arg(c.id));
      widgets_[c.id] = w;
      basePalettes_[c.id] = w->palette();
    } else {
      // Controls without an id have no live state: their template flags are all they get.
      if (c.flags & ctl::kHidden) w->setVisible(false);
      if (c.flags & ctl::kDisabled) w->setEnabled(false);
    }
  }
  // Frames stay behind the controls they surround whatever the template order.
  for (QWidget* g : groups) g->lower();
  for (const auto& [id, w] : widgets_) Mirror(id);
}

QWidget* DialogView::Control(int id) const {
  auto it = widgets_.find(id);
  return it == widgets_.end() ? nullptr : it->second;
}

DialogView* DialogView::ViewOwning(const QWidget* w) {
  for (const QWidget* p = w; p; p = p->parentWidget())
    if (auto* v = dynamic_cast<const DialogView*>(p)) return const_cast<DialogView*>(v);
  return nullptr;
}

int DialogView::IdOf(const QWidget* w) const {
  // A page inside this window is another dialog: its controls are not this one's.
  if (ViewOwning(w) != this) return -1;
  for (const QWidget* p = w; p && p != this; p = p->parentWidget()) {
    for (const auto& [id, cw] : widgets_)
      if (cw == p) return id;
    // Another window (a page, a message box) is not part of this one; popups of a
    // control (the list of a drop-down) are.
    if (p->isWindow() && p->windowType() != Qt::Popup) return -1;
  }
  return -1;
}

void DialogView::SetMenuCommand(const QString& text, int command) {
  for (auto& item : menu_) {
    if (item.second == command) {
      item.first = text;
      return;
    }
  }
  menu_.emplace_back(text, command);
}

void DialogView::ControlChanged(int id) {
  if (widgets_.count(id)) Mirror(id);
}

void DialogView::DialogChanged() {
  if (!dialog_) return;
  const QString title = FromUtf8(dialog_->Title());
  if (windowTitle() != title) setWindowTitle(title);
  const int focus = dialog_->Focus();
  if (QWidget* w = Control(focus); w && IdOf(QApplication::focusWidget()) != focus) w->setFocus();
  update();
}

void DialogView::Detach() {
  if (!dialog_) return;
  dialog_->RemoveObserver(this);
  dialog_ = nullptr;
  hide();
}

void DialogView::DialogEnded() {
  if (!dialog_) return;
  Detach();
  if (onEnded) {
    auto ended = std::move(onEnded);
    ended();
  }
}

void DialogView::Mirror(int id) {
  if (!dialog_ || !dialog_->Has(id)) return;
  QWidget* w = Control(id);
  if (!w) return;
  const ControlState& s = dialog_->State(id);
  const ControlKind kind = s.tmpl->kind;
  const QString text = FromUtf8(s.text);
  const bool multiline = (s.tmpl->flags & ctl::kMultiline) != 0;
  switch (kind) {
    case ControlKind::PushButton:
    case ControlKind::DefaultPushButton:
    case ControlKind::PushLikeCheckBox:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton: {
      auto* b = static_cast<QAbstractButton*>(w);
      // Check boxes and radios give the box itself some room; buttons their bevel.
      const int room = IsButtonKind(kind) || kind == ControlKind::PushLikeCheckBox
                           ? 6
                           : b->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, b) +
                                 b->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, b) + 4;
      const QString shown = multiline ? WrapToWidth(text, b->fontMetrics(), w->width() - room) : text;
      if (b->text() != shown) b->setText(shown);
      if (b->isCheckable() || kind == ControlKind::CheckBox || kind == ControlKind::RadioButton)
        b->setChecked(s.checked);
      if ((kind == ControlKind::CheckBox || kind == ControlKind::RadioButton) && !multiline)
        FitCaption(w, *s.tmpl);
      break;
    }
    case ControlKind::GroupBox:
      static_cast<QGroupBox*>(w)->setTitle(text);
      break;
    case ControlKind::Text:
    case ControlKind::ClickableText: {
      auto* l = static_cast<QLabel*>(w);
      if (l->text() != text) l->setText(text);
      break;
    }
    case ControlKind::Edit: {
      auto* e = static_cast<QLineEdit*>(w);
      if (e->text() != text) {
        const int cursor = e->cursorPosition();
        e->setText(text);
        e->setCursorPosition(std::min<int>(cursor, static_cast<int>(text.size())));
      }
      e->setReadOnly(s.readOnly);
      break;
    }
    case ControlKind::DropDownList: {
      auto* box = static_cast<QComboBox*>(w);
      bool same = box->count() == static_cast<int>(s.items.size());
      for (int i = 0; same && i < box->count(); ++i)
        same = box->itemText(i) == FromUtf8(s.items[static_cast<size_t>(i)]);
      if (!same) {
        box->clear();
        for (const std::string& item : s.items) box->addItem(FromUtf8(item));
        // Long names (/dev/serial/by-id/…) are read whole in the open list.
        box->view()->setMinimumWidth(box->view()->sizeHintForColumn(0) + box->iconSize().width());
      }
      if (box->currentIndex() != s.selection) box->setCurrentIndex(s.selection);
      if (box->isEditable() && box->currentText() != text) box->setEditText(text);
      break;
    }
    case ControlKind::Spin:
      break;
    case ControlKind::IpAddress:
      static_cast<Ipv4Edit*>(w)->SetAddress(s.ipv4);
      break;
    case ControlKind::Icon:
      break;
  }
  if (const QString tip = FromUtf8(s.toolTip); w->toolTip() != tip) w->setToolTip(tip);
  if (w->isEnabled() != s.enabled) w->setEnabled(s.enabled);
  if (w->isVisibleTo(this) != s.visible) w->setVisible(s.visible);
  MirrorColors(w, s);
}

// The layout is in dialog units of the template's font; the font drawn may be wider (another
// family, a font shrunk to fit the screen), and a caption would then be cut. The caption
// grows to the right up to the next control or the edge of its frame, never over either.
void DialogView::FitCaption(QWidget* w, const ControlTemplate& t) {
  const QRect base = units_.ToPixels(t.rect);
  const int needed = w->sizeHint().width();
  int right = width() - 1;
  const QRect wanted(base.x(), base.y(), std::max(needed, base.width()), base.height());
  for (QObject* o : children()) {
    auto* other = qobject_cast<QWidget*>(o);
    if (!other || other == w || other->isWindow()) continue;
    const QRect g = other->geometry();
    if (qobject_cast<QGroupBox*>(other)) {
      if (g.contains(base)) right = std::min(right, g.right() - 2);  // stays in its frame
      continue;
    }
    if (g.intersects(wanted) && g.x() > base.x()) right = std::min(right, g.x() - 2);
  }
  const int fitted = std::clamp(needed, base.width(), std::max(base.width(), right - base.x() + 1));
  if (w->width() != fitted) w->resize(fitted, w->height());
}

void DialogView::MirrorColors(QWidget* w, const ControlState& s) {
  QPalette p = basePalettes_[s.tmpl->id];
  // A read-only edit looks like the window behind it, as it always has on the desktop.
  if (s.tmpl->kind == ControlKind::Edit && s.readOnly)
    p.setColor(QPalette::Base, p.color(QPalette::Window));
  if (s.textColor) {
    const QColor c = ToQColor(*s.textColor);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
      p.setColor(QPalette::Active, role, c), p.setColor(QPalette::Inactive, role, c);
  }
  if (s.backColor) {
    const QColor c = ToQColor(*s.backColor);
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button}) p.setColor(role, c);
  }
  const bool fill = s.backColor.has_value() &&
                    (s.tmpl->kind == ControlKind::Text || s.tmpl->kind == ControlKind::ClickableText);
  if (w->autoFillBackground() != fill) w->setAutoFillBackground(fill);
  if (w->palette() != p) w->setPalette(p);
}

void DialogView::paintEvent(QPaintEvent* e) {
  QWidget::paintEvent(e);
  if (innerPage_) {
    // The edge of a window without a title bar, so that the page stands out from the
    // window it lies on.
    QPainter frame(this);
    frame.setPen(palette().color(QPalette::Shadow));
    frame.drawRect(rect().adjusted(0, 0, -1, -1));
    frame.setPen(palette().color(QPalette::Light));
    frame.drawRect(rect().adjusted(1, 1, -2, -2));
  }
  if (!dialog_ || dialog_->Lines().empty()) return;
  QPainter painter(this);
  for (const DialogLine& l : dialog_->Lines()) {
    painter.setPen(QPen(ToQColor(l.color), 1));
    painter.drawLine(units_.ToPixels(l.x1, l.y1), units_.ToPixels(l.x2, l.y2));
  }
}

int DialogView::BuddyOf(int spinId) const {
  if (!dialog_) return -1;
  const auto& ids = dialog_->Ids();
  const auto it = std::find(ids.begin(), ids.end(), spinId);
  if (it == ids.begin() || it == ids.end()) return -1;
  return *(it - 1);
}

void DialogView::Step(int spinId, int delta) {
  if (!dialog_ || !dialog_->Has(spinId)) return;
  const ControlState& s = dialog_->State(spinId);
  int base = s.spinPos;
  // The position follows what the user typed into the edit, when it is a number.
  if (const int buddy = BuddyOf(spinId); buddy >= 0) {
    const std::string& t = dialog_->Text(buddy);
    int typed = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), typed);
    if (ec == std::errc() && end == t.data() + t.size()) base = typed;
  }
  const int lo = std::min(s.spinMin, s.spinMax), hi = std::max(s.spinMin, s.spinMax);
  const long long next = static_cast<long long>(base) + (s.spinMin <= s.spinMax ? delta : -delta);
  dialog_->UserSpin(spinId, static_cast<int>(std::clamp<long long>(next, lo, hi)));
}

bool DialogView::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && dialog_) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
      const int id = IdOf(qobject_cast<QWidget*>(watched));
      const auto& ids = dialog_->Ids();
      const auto it = std::find(ids.begin(), ids.end(), id);
      if (it != ids.end() && it + 1 != ids.end() &&
          dialog_->State(*(it + 1)).tmpl->kind == ControlKind::Spin) {
        const int spin = *(it + 1);
        if (dialog_->IsEnabled(spin)) Step(spin, key->key() == Qt::Key_Up ? +1 : -1);
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

void DialogView::keyPressEvent(QKeyEvent* e) {
  if (!dialog_) return;
  switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
      // Enter presses the focused push button; elsewhere it is the window's default command.
      const int id = IdOf(QApplication::focusWidget());
      if (id >= 0 && IsButtonKind(dialog_->State(id).tmpl->kind)) dialog_->UserClick(id);
      else dialog_->UserEnter();
      return;
    }
    case Qt::Key_Escape:
      dialog_->UserEscape();
      return;
    case Qt::Key_F1:
      RunMenuCommand();
      return;
    default:
      QWidget::keyPressEvent(e);
  }
}

void DialogView::RunMenuCommand() {
  if (dialog_ && !menu_.empty()) dialog_->UserCommand(menu_.front().second);
}

void DialogView::contextMenuEvent(QContextMenuEvent* e) {
  if (menu_.empty()) return;
  QMenu menu(this);
  for (const auto& [text, command] : menu_) {
    QAction* action = menu.addAction(text);
    connect(action, &QAction::triggered, this, [this, command = command] {
      if (dialog_) dialog_->UserCommand(command);
    });
  }
  menu.exec(e->globalPos());
}

void DialogView::closeEvent(QCloseEvent* e) {
  if (!dialog_) {
    e->accept();
    return;
  }
  // The Dialog decides; it ends itself (and hides this view) when it agrees.
  e->ignore();
  dialog_->UserClose();
}

void DialogView::OnFocusChanged(QWidget* old, QWidget* now) {
  if (!dialog_) return;
  const int idNow = IdOf(now);
  const bool oldHere = old && (old == this || IdOf(old) >= 0);
  const bool nowHere = now && (idNow >= 0 || ViewOwning(now) == this);
  // Focus within the window moves between controls; focus that leaves it (for a page, a
  // message box or another program) leaves the Dialog without a focused control.
  if (idNow >= 0) {
    dialog_->UserFocus(idNow);
  } else if (oldHere && !nowHere) {
    dialog_->UserFocus(-1);
  }
}

}  // namespace tessvar::qt

// The widgets a DialogView makes for its template's controls, each wired so that user input
// goes to the Dialog and the Dialog's answer (a refused click or text) shows at once.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

#include "qt/app_icon.h"
#include "qt/control_widgets.h"
#include "qt/dialog_view.h"

namespace tessvar::qt {

QWidget* DialogView::Create(const ControlTemplate& c) {
  const QRect r = units_.ToPixels(c.rect);
  QWidget* w = nullptr;
  switch (c.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefaultPushButton:
    case ControlKind::PushLikeCheckBox:
      w = CreateButton(c);
      break;
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
      w = CreateCheckOrRadio(c);
      break;
    case ControlKind::GroupBox: {
      auto* g = new QGroupBox(QString::fromUtf8(c.text.data(), static_cast<qsizetype>(c.text.size())), this);
      g->setFocusPolicy(Qt::NoFocus);
      w = g;
      break;
    }
    case ControlKind::Text:
    case ControlKind::ClickableText:
      w = CreateLabel(c);
      break;
    case ControlKind::Edit:
      w = CreateEdit(c.id);
      break;
    case ControlKind::DropDownList:
      return CreateDropDown(c, r);
    case ControlKind::Spin: {
      auto* s = new SpinArrows(this);
      s->onStep = [this, id = c.id](int delta) { Step(id, delta); };
      w = s;
      break;
    }
    case ControlKind::IpAddress:
      w = CreateIpAddress(c.id);
      break;
    case ControlKind::Icon: {
      auto* l = new QLabel(this);
      l->setPixmap(AppIcon().pixmap(32, 32));
      l->setGeometry(r.x(), r.y(), 32, 32);
      return l;
    }
  }
  if (w) w->setGeometry(r);
  return w;
}

QWidget* DialogView::CreateButton(const ControlTemplate& c) {
  auto* b = new QPushButton(this);
  b->setAutoDefault(false);
  b->setDefault(c.kind == ControlKind::DefaultPushButton);
  b->setCheckable(c.kind == ControlKind::PushLikeCheckBox);
  connect(b, &QPushButton::clicked, this, [this, id = c.id] {
    if (!dialog_) return;
    dialog_->UserClick(id);
    Mirror(id);  // a refused click leaves a push-like box as the Dialog has it
  });
  return b;
}

QWidget* DialogView::CreateCheckOrRadio(const ControlTemplate& c) {
  QAbstractButton* b = c.kind == ControlKind::CheckBox
                           ? static_cast<QAbstractButton*>(new QCheckBox(this))
                           : static_cast<QAbstractButton*>(new QRadioButton(this));
  b->setAutoExclusive(false);  // the Dialog keeps a radio group exclusive
  connect(b, &QAbstractButton::clicked, this, [this, id = c.id] {
    if (!dialog_) return;
    dialog_->UserClick(id);
    if (dialog_ && dialog_->Has(id)) Mirror(id);
  });
  return b;
}

QWidget* DialogView::CreateLabel(const ControlTemplate& c) {
  QLabel* l;
  if (c.kind == ControlKind::ClickableText) {
    auto* cl = new ClickableLabel(this);
    cl->setCursor(Qt::PointingHandCursor);
    // A click on a tab takes the focus, so an open page sees the focus leave for a
    // control of this window before the tab opens the next page.
    cl->setFocusPolicy(Qt::ClickFocus);
    cl->onClick = [this, id = c.id] {
      if (dialog_) dialog_->UserClick(id);
    };
    l = cl;
  } else {
    l = new QLabel(this);
  }
  l->setTextFormat(Qt::PlainText);
  l->setWordWrap(true);
  l->setAlignment(((c.flags & ctl::kCentered) ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
  l->setText(QString::fromUtf8(c.text.data(), static_cast<qsizetype>(c.text.size())));
  return l;
}

QWidget* DialogView::CreateEdit(int id) {
  auto* e = new QLineEdit(this);
  connect(e, &QLineEdit::textEdited, this, [this, id](const QString& s) {
    if (!dialog_) return;
    if (!dialog_->UserType(id, s.toStdString()) && dialog_) Mirror(id);
  });
  e->installEventFilter(this);  // arrow keys step an attached spin
  return e;
}

QWidget* DialogView::CreateDropDown(const ControlTemplate& c, const QRect& r) {
  const int id = c.id;
  auto* box = new QComboBox(this);
  box->setEditable((c.flags & ctl::kEditable) != 0);
  if (box->isEditable()) {
    box->setInsertPolicy(QComboBox::NoInsert);  // typed text is not added to the list
    connect(box->lineEdit(), &QLineEdit::textEdited, this, [this, id](const QString& s) {
      if (!dialog_) return;
      if (!dialog_->UserType(id, s.toStdString()) && dialog_) Mirror(id);
    });
  }
  box->setMaxVisibleItems(std::max(1, (r.height() / std::max(1, box->fontMetrics().height())) - 1));
  connect(box, QOverload<int>::of(&QComboBox::activated), this, [this, id](int index) {
    if (!dialog_) return;
    dialog_->UserSelect(id, index);
    if (dialog_) Mirror(id);
  });
  // The template height is that of the dropped-down list; the closed box is one line.
  box->setGeometry(r.x(), r.y(), r.width(), std::min(r.height(), box->sizeHint().height()));
  return box;
}

QWidget* DialogView::CreateIpAddress(int id) {
  auto* ip = new Ipv4Edit(this);
  ip->onEdited = [this, id](uint32_t a) {
    if (!dialog_) return;
    if (!dialog_->UserSetIpv4(id, a) && dialog_) Mirror(id);
  };
  return ip;
}

}  // namespace tessvar::qt

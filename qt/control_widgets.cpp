#include "qt/control_widgets.h"

#include <QFontMetrics>
#include <QIntValidator>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStringList>

namespace tessvar::qt {

void ClickableLabel::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && isEnabled() && onClick) {
    e->accept();
    onClick();
    return;
  }
  QLabel::mousePressEvent(e);
}

void ClickableLabel::keyPressEvent(QKeyEvent* e) {
  if ((e->key() == Qt::Key_Space) && onClick) {
    onClick();
    return;
  }
  QLabel::keyPressEvent(e);
}

SpinArrows::SpinArrows(QWidget* parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
  for (QToolButton* b : {up_, down_}) {
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
  }
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  QObject::connect(up_, &QToolButton::clicked, this, [this] {
    if (onStep) onStep(+1);
  });
  QObject::connect(down_, &QToolButton::clicked, this, [this] {
    if (onStep) onStep(-1);
  });
}

void SpinArrows::resizeEvent(QResizeEvent*) {
  const int half = height() / 2;
  up_->setGeometry(0, 0, width(), half);
  down_->setGeometry(0, half, width(), height() - half);
}

Ipv4Edit::Ipv4Edit(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Sunken);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Base);
  for (size_t i = 0; i < octets_.size(); ++i) {
    auto* e = new QLineEdit(this);
    e->setFrame(false);
    e->setAlignment(Qt::AlignCenter);
    e->setMaxLength(3);
    e->setValidator(new QIntValidator(0, 255, e));
    e->setObjectName(QStringLiteral("octet%1").arg(i));
    e->installEventFilter(this);
    QObject::connect(e, &QLineEdit::textEdited, this, [this, i](const QString& t) {
      // Three digits complete an octet; the caret moves on as in the classic control.
      if (t.size() == 3 && i + 1 < octets_.size()) {
        octets_[i + 1]->setFocus();
        octets_[i + 1]->selectAll();
      }
      if (onEdited) onEdited(Address());
    });
    octets_[i] = e;
  }
  for (auto& d : dots_) {
    d = new QLabel(QStringLiteral("."), this);
    d->setAlignment(Qt::AlignCenter);
  }
  setFocusProxy(octets_[0]);
}

void Ipv4Edit::SetAddress(uint32_t address) {
  for (size_t i = 0; i < octets_.size(); ++i) {
    const QString t = QString::number((address >> (24 - 8 * i)) & 0xFFu);
    if (octets_[i]->text() != t) octets_[i]->setText(t);
  }
}

uint32_t Ipv4Edit::Address() const {
  uint32_t a = 0;
  for (const QLineEdit* e : octets_) {
    bool ok = false;
    const uint32_t v = e->text().toUInt(&ok);
    a = (a << 8) | (ok ? std::min<uint32_t>(v, 255) : 0);
  }
  return a;
}

void Ipv4Edit::resizeEvent(QResizeEvent*) {
  // One pixel clear of the frame: on a screen scaled by a fraction the fields would
  // otherwise be rounded over the frame's lines and break it between the dots.
  const QRect inner = contentsRect().adjusted(1, 1, -1, -1);
  const int dot = std::max(3, fontMetrics().horizontalAdvance(QLatin1Char('.')) + 2);
  const int field = std::max(1, (inner.width() - 3 * dot) / 4);
  int x = inner.left();
  for (size_t i = 0; i < octets_.size(); ++i) {
    octets_[i]->setGeometry(x, inner.top(), field, inner.height());
    x += field;
    if (i < dots_.size()) {
      dots_[i]->setGeometry(x, inner.top(), dot, inner.height());
      x += dot;
    }
  }
}

bool Ipv4Edit::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    for (size_t i = 0; i < octets_.size(); ++i) {
      if (watched != octets_[i]) continue;
      // A dot ends an octet that has been typed into; right after the caret moved on by
      // itself (the field still wholly selected) it is swallowed, so "127.0.0.1" types as is.
      if (key->key() == Qt::Key_Period || key->key() == Qt::Key_Comma) {
        QLineEdit* e = octets_[i];
        const bool typed = !e->text().isEmpty() && e->selectedText() != e->text();
        if (typed && i + 1 < octets_.size()) {
          octets_[i + 1]->setFocus();
          octets_[i + 1]->selectAll();
        }
        return true;
      }
      if (key->key() == Qt::Key_Backspace && octets_[i]->cursorPosition() == 0 && i > 0) {
        octets_[i - 1]->setFocus();
        octets_[i - 1]->end(false);
        return true;
      }
    }
  }
  return QFrame::eventFilter(watched, event);
}

QString WrapToWidth(const QString& text, const QFontMetrics& fm, int width) {
  if (fm.horizontalAdvance(text) <= width) return text;
  const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
  QStringList lines;
  QString line;
  for (const QString& w : words) {
    const QString candidate = line.isEmpty() ? w : line + QLatin1Char(' ') + w;
    if (!line.isEmpty() && fm.horizontalAdvance(candidate) > width) {
      lines << line;
      line = w;
    } else {
      line = candidate;
    }
  }
  if (!line.isEmpty()) lines << line;
  return lines.join(QLatin1Char('\n'));
}

}  // namespace tessvar::qt

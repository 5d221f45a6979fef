#include "qt/app_icon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tessvar::qt {

namespace {

// Drawn in a 64 x 64 box; packaging/tessvar.svg is the same picture for the desktop.
void Draw(QPainter& p, const QRect& r) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.translate(r.topLeft());
  p.scale(r.width() / 64.0, r.height() / 64.0);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1f, 0x4e, 0x79));
  p.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);
  p.setBrush(QColor(0xf4, 0xf6, 0xf8));
  p.drawEllipse(QRectF(9, 9, 46, 46));
  QPainterPath sine;  // the AC channel
  sine.moveTo(14, 32);
  sine.cubicTo(20, 14, 26, 14, 32, 32);
  sine.cubicTo(38, 50, 44, 50, 50, 32);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0xd9, 0x3b, 0x2b), 3.5, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(sine);
  p.setPen(QPen(QColor(0x2e, 0x8b, 0x57), 3.5, Qt::SolidLine, Qt::RoundCap));  // DC
  p.drawLine(QPointF(14, 22), QPointF(50, 22));
  p.restore();
}

class DialEngine : public QIconEngine {
 public:
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
    Draw(*painter, rect);
  }
  QIconEngine* clone() const override { return new DialEngine; }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    paint(&p, QRect(QPoint(0, 0), size), mode, state);
    return pm;
  }
};

}  // namespace

QIcon AppIcon() {
  return QIcon(new DialEngine);  // the icon owns its engine
}

}  // namespace tessvar::qt

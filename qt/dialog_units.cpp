#include "qt/dialog_units.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QString>

namespace tessvar::qt {

namespace {
// Rounds to nearest, also for negative coordinates.
int Scale(int du, qreal base, int div) { return qRound(du * base / div); }
}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetricsF fm(font);
  static const QString kAlphabet =
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  baseX_ = std::max<qreal>(1, fm.horizontalAdvance(kAlphabet) / 52);
  baseY_ = std::max<qreal>(1, fm.height());
}

int DialogUnits::X(int du) const { return Scale(du, baseX_, 4); }
int DialogUnits::Y(int du) const { return Scale(du, baseY_, 8); }

QRect DialogUnits::ToPixels(const DialogRect& r) const {
  const int left = X(r.x), top = Y(r.y);
  // Both edges are mapped so that neighbouring controls meet without gaps.
  return QRect(QPoint(left, top), QPoint(X(r.x + r.width) - 1, Y(r.y + r.height) - 1));
}

QFont TemplateFont(const DialogTemplate& tmpl) {
  QFont font = QApplication::font();
  if (!tmpl.fontName.empty()) {
    QFont asked(QString::fromUtf8(tmpl.fontName.data(), static_cast<qsizetype>(tmpl.fontName.size())));
    if (QFontInfo(asked).family().compare(asked.family(), Qt::CaseInsensitive) == 0) font = asked;
  }
  if (tmpl.fontPoints > 0) font.setPointSize(tmpl.fontPoints);
  return font;
}

QFont FitFont(const QFont& font, const DialogTemplate& tmpl, const QSize& available,
              const QSize& frame) {
  constexpr qreal kSmallest = 5.0;  // points
  constexpr qreal kStep = 0.25;
  if (available.isEmpty()) return font;
  auto fits = [&](const QFont& f) {
    const DialogUnits u(f);
    return u.X(tmpl.width) + frame.width() <= available.width() &&
           u.Y(tmpl.height) + frame.height() <= available.height();
  };
  if (fits(font)) return font;
  QFont smaller = font;
  qreal points = font.pointSizeF() > 0 ? font.pointSizeF() : 8.0;
  while (points - kStep >= kSmallest) {
    points -= kStep;
    smaller.setPointSizeF(points);
    if (fits(smaller)) break;
  }
  return smaller;
}

}  // namespace tessvar::qt
